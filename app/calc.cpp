#include "app/calc.h"

#include <windows.h>
#include <commdlg.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <cwchar>
#include <vector>

#include "app/main.h"
#include "document/uniconv.h"
#include "document/xmlfile.h"
#include "hash/coders.h"
#include "hash/daycount.h"
#include "hash/misc.h"
#include "hash/registry.h"
#include "ui/app.h"
#include "ui/prompts.h"
#include "ui/strings.h"

namespace {

// Size texts come in the ANSI code page.
std::wstring FromAnsi(const std::string& Text) {
  return CodePageToWide(Text, CP_ACP);
}

constexpr double RedrawInterval = 1.0 / 345600;  // 0.25 second in days
constexpr int64_t MsPerDay = 86400000;

std::wstring DecimalSeparator() {
  wchar_t sep[8] = {};
  if (!GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, sep, 8) || !sep[0]) return L".";
  return sep;
}

std::wstring Trimmed(const std::wstring& s) {
  size_t b = 0, e = s.size();
  while (b < e && s[b] <= L' ') ++b;
  while (e > b && s[e - 1] <= L' ') --e;
  return s.substr(b, e - b);
}

void UpperAscii(std::wstring& s) {
  for (wchar_t& c : s)
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
}

std::wstring TwoDigits(int64_t n) {
  wchar_t buf[8];
  swprintf(buf, 8, L"%02d", static_cast<int>(n));
  return buf;
}

}  // namespace

double LocalNow() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  int64_t days = 0;
  TryEncodeDate(st.wYear, st.wMonth, st.wDay, days);
  int64_t ms = ((st.wHour * 60 + st.wMinute) * 60 + st.wSecond) * 1000 + st.wMilliseconds;
  return static_cast<double>(days) + static_cast<double>(ms) / MsPerDay;
}

std::wstring FormatDuration(double Days) {
  int64_t ms = std::llround(Days * MsPerDay);
  if (ms < 0) ms = 0;
  if (ms <= 3600000) {
    wchar_t buf[32];
    swprintf(buf, 32, L"%d:%02d.%03d", static_cast<int>(ms / 60000),
             static_cast<int>(ms / 1000 % 60), static_cast<int>(ms % 1000));
    return buf;
  }
  // Whole hours keep counting past a day: a slow drive can take that long.
  int64_t s = ms / 1000;
  return std::to_wstring(s / 3600) + L":" + TwoDigits(s / 60 % 60) + L":" + TwoDigits(s % 60);
}

std::wstring ShortSizeText(int64_t Size) {
  return FromAnsi(FormatSizeText(true, true, 0, Size, 0));
}

std::wstring FormatBytes(int64_t Bytes) {
  return FromAnsi(FormatSizeText(false, true, 0, Bytes, 0));
}

namespace {
void FillNameBox(ui::ComboBox& Box, int32_t (*Fill)(std::vector<std::string>&)) {
  std::vector<std::string> names;
  const int32_t index = Fill(names);
  Box.Clear();
  for (const std::string& n : names) Box.Add(ui::FromUtf8(n));
  Box.SetItemIndex(index);
}
}  // namespace

void FillHasherBox(ui::ComboBox& Box) {
  FillNameBox(Box, FillHasherNames);
}

void FillCoderBox(ui::ComboBox& Box) {
  FillNameBox(Box, FillCoderNames);
}

std::wstring PhysicalDriveText(int32_t Drive, int64_t Size) {
  return ui::Format(ui::LoadStr(IDS_CALC_PDITEM), {std::to_wstring(Drive), ShortSizeText(Size)});
}

TCalcForm::TCalcForm(HWND owner) : Dialog(IDD_CALC, owner), Now(LocalNow) {
  PDButton.OnClick = LVButton.OnClick = RFButton.OnClick = [this] { PDButtonClick(); };
  PDComboBox.OnDropDown = [this] { PDComboBoxDropDown(); };
  LVComboBox.OnDropDown = [this] { LVComboBoxDropDown(); };
  FileButton.OnClick = [this] { FileButtonClick(); };
  HashBox.OnChange = [this] { HashBoxClick(); };
  CodeBox.OnChange = [this] { CodeBoxClick(); };
  CalcButton.OnClick = [this] { CalcButtonClick(); };
  CompButton.OnClick = [this] { CompButtonClick(); };
}

TCalcForm::~TCalcForm() = default;

void TCalcForm::OnInitDialog() {
  FillHasherBox(HashBox);
  FillCoderBox(CodeBox);

  ProgressBar.SetRange(0, 1000);
  ProgressBar.SetVisible(false);
  RFButton.SetChecked(true);
  EnableControls();

  // The lists and the value fields take the width; the buttons keep to the right edge.
  const HWND grow[] = {PDComboBox.Handle(), LVComboBox.Handle(),  RFComboBox.Handle(),
                       HashEdit.Handle(),   ProgressBar.Handle(), CompEdit.Handle()};
  const HWND move[] = {FileButton.Handle(), CloseButton.Handle(), CalcButton.Handle(),
                       CompButton.Handle()};
  anchors_.Capture(Handle(), [&](HWND c, const RECT&) {
    if (std::find(std::begin(grow), std::end(grow), c) != std::end(grow))
      return unsigned{TAnchors::GrowRight};
    if (std::find(std::begin(move), std::end(move), c) != std::end(move))
      return unsigned{TAnchors::MoveRight};
    return 0u;
  });
}

bool TCalcForm::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  switch (msg) {
    case WM_SIZE:
      anchors_.Layout(Handle());
      return false;
    case WM_GETMINMAXINFO:
      TAnchors::SetLeastSize(lp, LeastSize);
      result = 0;
      return true;
  }
  return Dialog::OnMessage(msg, wp, lp, result);
}

bool TCalcForm::OnCloseQuery(int) {
  return !InRun;
}

void TCalcForm::EnableControls() {
  for (ui::Control* c : Controls()) c->SetEnabled(true);
  // The drive device paths exist only on the NT family.
  PDButton.SetEnabled(IsWideFilePlatform);
  LVButton.SetEnabled(IsWideFilePlatform);
  PDButtonClick();
}

void TCalcForm::PDButtonClick() {
  PDComboBox.SetEnabled(PDButton.Checked());
  LVComboBox.SetEnabled(LVButton.Checked());
  RFComboBox.SetEnabled(RFButton.Checked());
}

void TCalcForm::PDComboBoxDropDown() {
  PDComboBox.Clear();
  // Drive numbers run without gaps; the first that cannot be opened ends the list.
  for (int32_t n = 0;; ++n) {
    int64_t size = GetPhysicalDriveSize(n);
    if (size < 0) break;
    PDComboBox.Add(PhysicalDriveText(n, size));
  }
}

void TCalcForm::LVComboBoxDropDown() {
  LVComboBox.Clear();
  // An empty removable drive must not bring up the system's "insert a disk" box.
  UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS);
  DWORD mask = GetLogicalDrives();
  for (int i = 0; i < 26; ++i) {
    if (!(mask & (1u << i))) continue;
    wchar_t letter = static_cast<wchar_t>(L'A' + i);
    std::wstring root = std::wstring(1, letter) + L":\\";
    if (WideGetDriveType(root.c_str()) == DRIVE_NO_ROOT_DIR) continue;
    std::vector<wchar_t> label(1024, L'\0');
    if (!WideGetVolumeInformation(root.c_str(), label.data(), 1024, nullptr, nullptr, nullptr,
                                  nullptr, 0))
      label[0] = L'\0';
    LVComboBox.Add(root + L" " + label.data(), letter);
  }
  SetErrorMode(oldMode);
}

void TCalcForm::FileButtonClick() {
  ui::FileDialog dialog;
  dialog.Filter = ui::LoadStr(IDS_CALC_FILTER);
  dialog.Options =
      OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_ENABLESIZING;
  dialog.FileName = RFComboBox.Text();
  if (!dialog.Execute(Handle())) return;
  RFComboBox.SetText(dialog.FileName);
  HashEdit.SetText(L"");
}

void TCalcForm::HashBoxClick() {
  Hasher.reset();
  SetDefaultHasher(ui::ToUtf8(HashBox.Item(HashBox.ItemIndex())));
  HashEdit.SetText(L"");
}

void TCalcForm::CodeBoxClick() {
  SetDefaultCoder(ui::ToUtf8(CodeBox.Item(CodeBox.ItemIndex())));
  if (Hasher) ShowDigest();
}

void TCalcForm::ShowDigest() {
  std::string text;
  if (TCoderClass coder = GetDefaultCoder())
    coder->Encode(Hasher->DigestKey(), Hasher->DigestSize(), text);
  HashEdit.SetText(ui::FromUtf8(text));
}

void TCalcForm::CalcButtonClick() {
  if (Running) {
    if (ui::MessageDlg(Handle(), ui::LoadStr(IDS_CALC_ABORTQUERY), ui::MsgType::Confirmation,
                       ui::MsgButtons::YesNo) == IDYES) {
      Running = false;
      CalcButton.SetEnabled(false);
    }
    return;
  }
  // A click still queued when an aborted run unwinds must not start a run inside it.
  if (InRun) return;
  TotalSize = -1;
  std::wstring path;
  if (!ChooseSource(path)) return;
  Calculate(path);
}

bool TCalcForm::ChooseSource(std::wstring& Path) {
  auto askForDrive = [this](ui::ComboBox& list, UINT message) {
    ui::MessageDlg(Handle(), ui::LoadStr(message), ui::MsgType::Error, ui::MsgButtons::OK);
    list.SetFocus();
    // Dropping the list down fills it (CBN_DROPDOWN).
    SendMessageW(list.Handle(), CB_SHOWDROPDOWN, TRUE, 0);
  };
  if (PDButton.Checked()) {
    int drive = PDComboBox.ItemIndex();
    if (drive < 0) {
      askForDrive(PDComboBox, IDS_CALC_SELECTPD);
      return false;
    }
    Path = L"\\\\.\\PHYSICALDRIVE" + std::to_wstring(drive);
    TotalSize = GetPhysicalDriveSize(drive);
  } else if (LVButton.Checked()) {
    int index = LVComboBox.ItemIndex();
    if (index < 0) {
      askForDrive(LVComboBox, IDS_CALC_SELECTLV);
      return false;
    }
    std::wstring letter(1, static_cast<wchar_t>(LVComboBox.ItemData(index)));
    ULARGE_INTEGER available, total, free;
    if (WideGetDiskFreeSpaceEx((letter + L":\\").c_str(), &available, &total, &free))
      TotalSize = static_cast<int64_t>(total.QuadPart);
    Path = L"\\\\.\\" + letter + L":";
  } else {
    Path = RFComboBox.Text();
    TotalSize = GetFileSize64(Path);
  }
  return true;
}

void TCalcForm::Calculate(const std::wstring& Path) {
  THasherClass hasherClass = GetDefaultHasher();
  if (!hasherClass) return;
  Running = true;
  InRun = true;
  const std::wstring title = Caption(), calcCaption = CalcButton.Text(),
                     hashCaption = HashLabel.Text();
  CalcButton.SetText(ui::LoadStr(IDS_CALC_ABORT));
  HashLabel.SetText(ui::LoadStr(IDS_CALC_CALCULATING));
  for (ui::Control* c : Controls())
    if (c != &CalcButton && c != &HashLabel) c->SetEnabled(false);
  ProgressBar.SetPosition(0);
  RECT r = HashEdit.Bounds();
  ProgressBar.SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
  HashEdit.SetVisible(false);
  ProgressBar.SetVisible(true);

  auto restore = [&] {
    ProgressBar.SetVisible(false);
    HashEdit.SetVisible(true);
    SetCaption(title);
    CalcButton.SetText(calcCaption);
    HashLabel.SetText(hashCaption);
    EnableControls();
    Running = false;
    InRun = false;
  };
  try {
    Hasher = hasherClass->Create();
    DoneSize = 0;
    LastRedraw = 0;
    StartTime = Now();
    int32_t result = HashFile(Path, *Hasher,
                              [this](int32_t Bytes, bool Last) { return DoProgress(Bytes, Last); });
    if (result == 0) {
      StartTime = Now() - StartTime;
      ShowDigest();
      std::wstring message = ui::Format(ui::LoadStr(IDS_CALC_PROCESSED),
                                        {FormatBytes(DoneSize), FormatDuration(StartTime)});
      if (StartTime > 0) {
        double rate = static_cast<double>(DoneSize) / (StartTime * 86400);
        message =
            ui::Format(ui::LoadStr(IDS_CALC_RATE), {message, FormatBytes(std::llround(rate))});
      }
      ui::MessageDlg(Handle(), message, ui::MsgType::Information, ui::MsgButtons::OK);
    } else {
      Hasher.reset();
      HashEdit.SetText(L"");
      if (result != HashCancelled)
        ui::MessageDlg(Handle(), SystemErrorText(static_cast<unsigned long>(result)),
                       ui::MsgType::Error, ui::MsgButtons::OK);
    }
  } catch (...) {
    Hasher.reset();
    restore();
    throw;
  }
  restore();
}

bool TCalcForm::DoProgress(int32_t Bytes, bool Last) {
  DoneSize += Bytes;
  double now = Now();
  if (!Last && now - LastRedraw <= RedrawInterval) return true;
  std::wstring title = ui::Format(ui::LoadStr(IDS_CALC_TITLESIZE), {ShortSizeText(DoneSize)});
  if (TotalSize > 0) {
    int64_t perMille = 1000 * DoneSize / TotalSize;
    title += ui::Format(
        ui::LoadStr(IDS_CALC_TITLEPERCENT),
        {std::to_wstring(perMille / 10) + DecimalSeparator() + std::to_wstring(perMille % 10)});
    ProgressBar.SetPosition(perMille > 1000 ? 1000 : static_cast<int>(perMille));
  }
  LastRedraw = now;
  title += L" - " + FormatDuration(now - StartTime);
  SetCaption(title);
  ui::ProcessMessages();
  return Running;
}

void TCalcForm::CompButtonClick() {
  auto fail = [this](UINT message, ui::Control& focus) {
    ui::MessageDlg(Handle(), ui::LoadStr(message), ui::MsgType::Error, ui::MsgButtons::OK);
    focus.SetFocus();
  };
  std::wstring calculated = Trimmed(HashEdit.Text());
  if (calculated.empty()) return fail(IDS_CALC_NOHASH, CalcButton);
  std::wstring given = Trimmed(CompEdit.Text());
  if (given.size() != calculated.size()) return fail(IDS_CALC_BADLENGTH, CodeBox);
  TCoderClass coder = GetDefaultCoder();
  if (!coder) return;
  if (!coder->CaseSensitive()) {
    UpperAscii(calculated);
    UpperAscii(given);
  }
  const std::string bytes = ui::ToUtf8(given);
  if (!coder->IsValid(bytes.data(), static_cast<int32_t>(bytes.size()), true))
    return fail(IDS_CALC_BADVALUE, CompEdit);
  if (given == calculated)
    ui::MessageDlg(Handle(), ui::LoadStr(IDS_CALC_MATCH), ui::MsgType::Information,
                   ui::MsgButtons::OK);
  else
    ui::MessageDlg(Handle(), ui::LoadStr(IDS_CALC_DIFFER), ui::MsgType::Error, ui::MsgButtons::OK);
}

void TMainForm::ToolCalcActionExecute() {
  TCalcForm form(Handle());
  form.ShowModal();
}
