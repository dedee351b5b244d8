#include "app/process.h"

#include <algorithm>
#include <cmath>
#include <cwchar>

#include "app/calc.h"
#include "app/doccmds.h"
#include "hash/misc.h"
#include "ui/app.h"
#include "ui/prompts.h"
#include "ui/strings.h"

namespace {

// 0.25 second in days, compared in extended precision.
constexpr long double RedrawInterval = 0.25L / 86400;
constexpr int64_t MsPerDay = 86400000;
constexpr UINT WM_PROCESS_ACTIVATE = WM_APP + 108;

std::wstring LocaleText(LCTYPE Type, const wchar_t* Default) {
  wchar_t buf[8] = {};
  if (!GetLocaleInfoW(LOCALE_USER_DEFAULT, Type, buf, 8) || !buf[0]) return Default;
  return buf;
}

std::wstring TwoDigits(int64_t n) {
  wchar_t buf[8];
  swprintf(buf, 8, L"%02d", static_cast<int>(n));
  return buf;
}

// Runs a function when the scope ends, however it ends.
template <class F>
struct Finally {
  F f;
  ~Finally() { f(); }
};
template <class F>
Finally(F) -> Finally<F>;

}  // namespace

TProcessForm::TProcessForm(int TemplateId, HWND Owner) : Dialog(TemplateId, Owner), Now(LocalNow) {
  PathEdit.OnChange = [this] { PathEditChange(); };
  TreeList.OnChange = [this] { TreeListChange(); };
  StartButton.OnClick = [this] { StartButtonClick(); };
  StatusBar.OnDrawPanel = [this](int Panel, DRAWITEMSTRUCT& dis) {
    StatusBarDrawPanel(StatusBar, Panel, dis.rcItem, dis.hDC);
  };
}

TProcessForm::~TProcessForm() = default;

void TProcessForm::OnInitDialog() {
  StatusBar.Create(*this);
  StatusBar.SetPanels({100, -1});
  LOGFONTW lf{};
  auto font = reinterpret_cast<HFONT>(SendMessageW(Handle(), WM_GETFONT, 0, 0));
  if (font && GetObjectW(font, sizeof(lf), &lf))
    for (ui::Control* c :
         {&StatLabel, &FilesLabel, &BytesLabel, &TimesLabel, &FailsLabel, &StatusLabel})
      c->SetFont(lf.lfFaceName, std::abs(lf.lfHeight), true);
  SetInfoColors(static_cast<ui::Color>(0xFF000000u | COLOR_INFOBK), -1);

  // Sizing: the tree takes the new room, what lies right of it or below it moves along.
  const RECT tree = TreeList.Bounds();
  anchors_.Capture(
      Handle(),
      [&](HWND c, const RECT& r) {
        unsigned ties = 0;
        if (r.left >= tree.right) ties |= TAnchors::MoveRight;
        if (r.top >= tree.bottom) ties |= TAnchors::MoveDown;
        if (c == TreeList.Handle()) ties |= TAnchors::GrowRight | TAnchors::GrowDown;
        if (c == PathEdit.Handle()) ties |= TAnchors::GrowRight;
        return ties;
      },
      StatusBar.Handle());
  // Room for the status bar below the template's controls, and at least the minimum size.
  RECT window;
  GetWindowRect(Handle(), &window);
  const SIZE least = MinSize();
  SetWindowPos(Handle(), nullptr, 0, 0,
               std::max<int>(window.right - window.left, least.cx),
               std::max<int>(window.bottom - window.top + StatusBar.Height(), least.cy),
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool TProcessForm::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  switch (msg) {
    case WM_SIZE:
      StatusBar.AutoSize();
      anchors_.Layout(Handle(), StatusBar.Height());
      return false;
    case WM_GETMINMAXINFO:
      TAnchors::SetLeastSize(lp, MinSize());
      result = 0;
      return true;
    case WM_ACTIVATE:
      if (LOWORD(wp) != WA_INACTIVE && AutoStart) PostMessageW(Handle(), WM_PROCESS_ACTIVATE, 0, 0);
      return false;
    case WM_PROCESS_ACTIVATE:
      FormActivate();
      result = 0;
      return true;
  }
  return Dialog::OnMessage(msg, wp, lp, result);
}

void TProcessForm::OnShow() {
  // A window shown without activation (a scripted run) starts as well.
  if (AutoStart) PostMessageW(Handle(), WM_PROCESS_ACTIVATE, 0, 0);
}

bool TProcessForm::OnCloseQuery(int) {
  // Escape and Alt+F4 reach the dialog even while Close is disabled.
  return !inRun_;
}

std::wstring TProcessForm::StartFolder() {
  std::wstring folder = IsUpdate() ? Document->UpdateFolder : Document->VerifyFolder;
  if (folder.empty()) return Document->ListFolder;
  if (folder[0] == L'\\' || (folder.size() > 1 && folder[1] == L':')) return folder;
  std::wstring base = Document->ListFolder;
  if (base.empty() || base.back() != L'\\') base += L'\\';
  return base + folder;
}

void TProcessForm::Init(ui::ListView* AList, TFileList* ADocument, TNotifyEvent AOnDone,
                        bool AAutoStart) {
  Document = ADocument;
  List = AList;
  AutoStart = AAutoStart;
  OnDone = std::move(AOnDone);
  // The shell's tree cannot reach every folder (under Wine none of MAX_PATH characters or
  // more): the box names the start folder all the same, and the tree opens as near to it as it
  // reaches.
  const std::wstring start = StartFolder();
  if (!TreeList.BrowseTo(start, true, true)) {
    PathEdit.SetText(start);
    for (std::wstring up = start;;) {
      while (!up.empty() && up.back() == L'\\') up.pop_back();
      const std::wstring parent = FolderOf(up);
      if (parent.empty() || parent.size() >= up.size()) break;
      up = parent;
      if (TreeList.BrowseTo(up, true, false)) break;
    }
  } else if (PathEdit.Text().empty()) {
    PathEdit.SetText(start);
  }
  FilesSelected = FilesLeft = FilesDone = Fails = 0;
  BytesTotal = BytesLeft = BytesDone = 0;
  TimeTotal = TimeLeft = TimeElapsed = 0;
  UpdateFilesText();
  UpdateBytesText();
  UpdateTimesText();
  UpdateFailsText();
  StatusBar.SetPanelText(0, ui::LoadStr(IDS_PROCESS_READY));
  Document->OnProgress = [this](int32_t Bytes, bool Last) { return DoProgress(Bytes, Last); };
  Document->OnStatus = [this](const std::wstring& Text) { return DoStatus(Text); };
  Document->OnItemDone = [this](TFileItem* Item, bool Ok) { return DoItemDone(Item, Ok); };
  Document->OnScanError = [this](const std::wstring& Folder, uint32_t Code) {
    return DoScanError(Folder, Code);
  };
}

// --- Texts ---

std::wstring TProcessForm::FormatElapsedTime(double Time) {
  if (Time == 0 || std::isnan(Time)) return ui::LoadStr(IDS_PROCESS_NOTIME);
  if (Time >= 1.0) return ui::LoadStr(IDS_PROCESS_ONEDAY);
  // The time of day of the value, as a date-time format shows it (a negative value by its
  // fraction's size).
  int64_t ms = std::llround(std::fabs(std::fmod(Time, 1.0)) * MsPerDay) % MsPerDay;
  return std::to_wstring(ms / 3600000) + LocaleText(LOCALE_STIME, L":") +
         TwoDigits(ms / 60000 % 60) + L"." + TwoDigits(ms / 1000 % 60);
}

void TProcessForm::SetLabel(ui::Control& Label, const std::wstring& Text) {
  // Many small files redraw once each: unchanged texts cost nothing.
  if (Label.Text() != Text) Label.SetText(Text);
}

void TProcessForm::UpdateFilesText() {
  SetLabel(FilesText, std::to_wstring(FilesDone) + L"/" + std::to_wstring(Document->GetCount()) +
                          L"/" + std::to_wstring(FilesLeft));
}

// Sizes in these windows are always abbreviated and separated, whatever the list shows.
void TProcessForm::UpdateBytesText() {
  SetLabel(BytesText, ShortSizeText(BytesDone) + L"/" + ShortSizeText(BytesTotal) + L"/" +
                          ShortSizeText(BytesLeft));
}

void TProcessForm::UpdateTimesText() {
  SetLabel(TimesText, FormatElapsedTime(TimeElapsed) + L"/" + FormatElapsedTime(TimeTotal) + L"/" +
                          FormatElapsedTime(TimeLeft));
}

void TProcessForm::UpdateFailsText() {
  SetLabel(FailsText, std::to_wstring(Fails));
}

std::wstring TProcessForm::GetPercentText() const {
  if (BytesTotal <= 0) return {};
  wchar_t buf[64];
  swprintf(buf, 64, L"%.1f", static_cast<double>(BytesDone) / BytesTotal * 100);
  std::wstring digits = buf, sign;
  if (!digits.empty() && digits[0] == L'-') {
    sign = L"-";
    digits.erase(0, 1);
  }
  size_t point = digits.find(L'.');
  std::wstring whole = digits.substr(0, point), text;
  const std::wstring thousands = LocaleText(LOCALE_STHOUSAND, L",");
  for (size_t i = 0; i < whole.size(); ++i) {
    if (i > 0 && (whole.size() - i) % 3 == 0) text += thousands;
    text += whole[i];
  }
  return sign + text + LocaleText(LOCALE_SDECIMAL, L".") + digits.substr(point + 1) + L"%";
}

void TProcessForm::RedrawStatistics() {
  LastRedraw = TimeElapsed;
  if (BytesDone > 0) {
    TimeTotal = static_cast<double>(BytesTotal) * TimeElapsed / static_cast<double>(BytesDone);
    TimeLeft = static_cast<double>(BytesLeft) * TimeElapsed / static_cast<double>(BytesDone);
  }
  if (ScreenDue()) ShowStatistics();
}

bool TProcessForm::ScreenDue() {
  // Painting and pumping cost more than hashing a small file does: the screen follows the
  // counters at most four times a second.
  const double now = Now();
  if (static_cast<long double>(now - lastScreen_) <= RedrawInterval) return false;
  lastScreen_ = now;
  return true;
}

void TProcessForm::ShowStatistics() {
  const std::wstring title = GetPercentText() + L" - " + SavedTitle;
  ui::Application::Get().SetTitle(title);
  SetCaption(title);
  StatusBar.SetPanelText(1, statusText_);
  StatusBar.Invalidate();
  UpdateFilesText();
  UpdateFailsText();
  UpdateBytesText();
  UpdateTimesText();
  ui::ProcessMessages();
}

// --- The document's events ---

bool TProcessForm::DoProgress(int32_t Bytes, bool Last) {
  BytesDone += Bytes;
  BytesLeft -= Bytes;
  TimeElapsed = Now() - StartTime;
  if (Last || static_cast<long double>(TimeElapsed - LastRedraw) > RedrawInterval)
    RedrawStatistics();
  return Running;
}

bool TProcessForm::DoStatus(const std::wstring& Text) {
  statusText_ = Text;
  if (ScreenDue()) ShowStatistics();
  return Running;
}

bool TProcessForm::DoItemDone(TFileItem* Item, bool Ok) {
  ++FilesDone;
  --FilesLeft;
  if (!Ok) ++Fails;
  if (Item && Item->Node && List) RepaintNode(Item->Node);
  RedrawStatistics();
  return Running;
}

bool TProcessForm::DoScanError(const std::wstring& Folder, uint32_t ErrorCode) {
  std::wstring text = ui::Format(ui::LoadStr(IDS_PROCESS_SCANERROR), {Folder}) + L"\r" +
                      ui::Format(ui::LoadStr(IDS_PROCESS_SCANERRORCODE),
                                 {std::to_wstring(static_cast<int32_t>(ErrorCode))});
  return ui::MessageDlg(Handle(), text, ui::MsgType::Error, ui::MsgButtons::YesNo) == IDYES;
}

// --- Handlers ---

void TProcessForm::FormActivate() {
  if (!AutoStart) return;
  // The run pumps messages, and the window may be activated again during it.
  AutoStart = false;
  StartButtonClick();
}

void TProcessForm::PathEditChange() {
  // A pick from the list arrives before the box shows it.
  std::wstring path = PathEdit.Text();
  int index = PathEdit.ItemIndex();
  if (index >= 0 && index != lastPick_) path = PathEdit.Item(index);
  lastPick_ = index;
  Syncing = true;
  Finally clear{[this] { Syncing = false; }};
  TreeList.BrowseTo(path, false, false);
}

void TProcessForm::TreeListChange() {
  if (!Syncing) PathEdit.SetText(TreeList.SelectedPath());
}

void TProcessForm::StartButtonClick() {
  if (Running) {
    double asked = Now();
    // Hashing waits while the question is open; that time is not the run's.
    Finally addBack{[&] { StartTime += Now() - asked; }};
    if (ui::MessageDlg(Handle(), ui::LoadStr(IDS_PROCESS_ABORTQUERY), ui::MsgType::Confirmation,
                       ui::MsgButtons::YesNo) == IDYES) {
      Running = false;
      StartButton.SetEnabled(false);
    }
    return;
  }
  // A click still queued while an aborted run unwinds must not start a run inside it.
  if (inRun_ || !FolderExists()) return;
  Run();
}

bool TProcessForm::FolderExists() {
  // An empty box would scan the root of the current drive.
  const std::wstring folder = PathEdit.Text();
  std::wstring refusal = ui::LoadStr(IDS_PROCESS_NOFOLDER);
  if (!folder.empty()) {
    const DWORD attributes = GetFileAttributesW(AddLongPathPrefix(folder).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
      return true;
    refusal = ui::Format(ui::LoadStr(IDS_PROCESS_NOSUCHFOLDER), {folder});
  }
  ui::MessageDlg(Handle(), refusal, ui::MsgType::Error, ui::MsgButtons::OK);
  return false;
}

void TProcessForm::EnableChildren(bool Enabled) {
  const HWND start = StartButton.Handle();
  for (HWND c = GetWindow(Handle(), GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
    if (Enabled || c != start) EnableWindow(c, Enabled);
}

void TProcessForm::Run() {
  Running = true;
  inRun_ = true;
  ui::Application& app = ui::Application::Get();
  const std::wstring caption = Caption(), startCaption = StartButton.Text();
  SavedTitle = app.Title();
  StartButton.SetText(ui::LoadStr(IDS_PROCESS_ABORT));
  EnableChildren(false);
  ui::ProcessMessages();

  Finally restore{[&] {
    statusText_.clear();
    UpdateFilesText();
    UpdateFailsText();
    UpdateBytesText();
    UpdateTimesText();
    ui::Guarded([&] {
      if (OnDone) OnDone(this);
    });
    StatusBar.SetOwnerDraw(0, false);
    StatusBar.SetPanelText(0, ui::LoadStr(IDS_PROCESS_READY));
    StatusBar.SetPanelText(1, L"");
    EnableChildren(true);
    StartButton.SetText(startCaption);
    SetCaption(caption);
    UpdateControls();
    app.SetTitle(SavedTitle);
    Running = false;
    inRun_ = false;
  }};

  std::wstring folder = PathEdit.Text();
  if (folder.empty() || folder.back() != L'\\') folder += L'\\';
  int old = PathEdit.FindExact(folder);
  if (old >= 0) PathEdit.Delete(old);
  PathEdit.Insert(0, folder);
  while (PathEdit.Count() > MaxRecentFolders) PathEdit.Delete(PathEdit.Count() - 1);
  lastPick_ = PathEdit.ItemIndex();

  StatusBar.SetPanelText(0, ui::LoadStr(IDS_PROCESS_SCANNING));
  FilesSelected = FilesDone = Fails = 0;
  BytesTotal = BytesDone = 0;
  TimeTotal = TimeElapsed = LastRedraw = 0;
  lastScreen_ = 0;
  SetLabel(StatusLabel, ui::LoadStr(IDS_PROCESS_SCANNING));
  ui::ProcessMessages();

  if (!Prepare(folder)) return;
  statusText_.clear();
  if (OnDone) OnDone(this);
  FilesLeft = FilesSelected;
  UpdateFilesText();
  UpdateFailsText();
  BytesLeft = BytesTotal;
  UpdateBytesText();
  TimeLeft = TimeTotal;
  UpdateTimesText();

  StatusBar.SetOwnerDraw(0, true);
  SetLabel(StatusLabel, ui::LoadStr(IDS_PROCESS_PROCESSING));
  ui::ProcessMessages();
  StartTime = Now();
  // An abort answered while the last file was read leaves the pass nothing to stop at: it ends
  // as if complete, yet that file was never hashed.
  if (!Document->ProcessItems(folder, IsUpdate()) || !Running) return;
  const double elapsed = Now() - StartTime;
  ShowStatistics();  // the final counts, whenever the screen last showed them
  ShowSummary(elapsed);
}

void TProcessForm::ShowSummary(double Elapsed) {
  std::wstring text = ui::Format(
      ui::LoadStr(IDS_PROCESS_PROCESSED),
      {ShortSizeText(BytesDone), std::to_wstring(FilesDone), FormatElapsedTime(Elapsed)});
  if (Elapsed > 0) {
    const double rate = std::trunc(static_cast<double>(BytesDone) / (Elapsed * 86400));
    text = ui::Format(ui::LoadStr(IDS_PROCESS_RATE),
                      {text, ShortSizeText(static_cast<int64_t>(rate))});
  }
  if (Fails == 0) {
    SetInfoColors(0xC0DCC0, 0x008000);
    SetLabel(StatusLabel, SuccessText());
    ui::MessageDlg(Handle(), text + L"\r\r" + ui::LoadStr(IDS_PROCESS_NOERRORS),
                   ui::MsgType::Information, ui::MsgButtons::OK);
  } else {
    SetInfoColors(0xCCCCFF, 0x0000FF);
    SetLabel(StatusLabel, ui::LoadStr(IDS_PROCESS_ERRORS));
    ui::MessageDlg(
        Handle(),
        text + L"\r\r" + ui::Format(ui::LoadStr(IDS_PROCESS_PROBLEMS), {std::to_wstring(Fails)}),
        ui::MsgType::Error, ui::MsgButtons::OK);
  }
}

void TProcessForm::SetInfoColors(ui::Color Info, ui::Color Verdict) {
  infoColor_ = Info;
  verdictColor_ = Verdict;
  // The panel's labels lie on it and take its colour.
  for (ui::Control* c : {&InfoShape, &StatLabel, &FilesLabel, &BytesLabel, &TimesLabel, &FilesText,
                         &BytesText, &TimesText, &FailsLabel, &FailsText})
    c->SetBackColor(Info);
  for (ui::Control* c : {&StatusLabel, &FailsLabel, &FailsText}) c->SetTextColor(Verdict);
}

void TProcessForm::StatusBarDrawPanel(ui::StatusBar&, int Panel, const RECT& Rect, HDC DC) {
  const int width = Rect.right - Rect.left;
  if (Panel != 0 || width <= 0) return;
  const std::wstring text = GetPercentText();
  const int64_t fill = BytesTotal > 0 ? int64_t{width} * BytesDone / BytesTotal : 0;
  SIZE extent{};
  GetTextExtentPoint32W(DC, text.c_str(), static_cast<int>(text.size()), &extent);
  const int x = Rect.left + (width - extent.cx) / 2;
  // Clipped to the panel: a file that grew during the run takes the bar past 100 %.
  const int split = static_cast<int>(
      std::max<int64_t>(Rect.left, std::min<int64_t>(Rect.right, Rect.left + fill)));
  const RECT done{Rect.left, Rect.top, split, Rect.bottom};
  const RECT rest{split, Rect.top, Rect.right, Rect.bottom};
  const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT), light = GetSysColor(COLOR_HIGHLIGHTTEXT);
  auto part = [&](const RECT& r, COLORREF back, COLORREF fore) {
    HBRUSH brush = CreateSolidBrush(back);
    FillRect(DC, &r, brush);
    DeleteObject(brush);
    if (text.empty() || r.right <= r.left) return;
    SetBkMode(DC, TRANSPARENT);
    SetTextColor(DC, fore);
    ExtTextOutW(DC, x, Rect.top, ETO_CLIPPED, &r, text.c_str(), static_cast<UINT>(text.size()),
                nullptr);
  };
  part(done, highlight, light);
  part(rest, light, highlight);
}

void TProcessForm::RepaintNode(void* Node) {
  List->InvalidateNode(static_cast<ui::ListNode*>(Node));
}

void RunProcessWindow(TProcessForm& Form, std::vector<std::wstring>& RecentFolders,
                      ui::ListView* List, TFileList* Document, TNotifyEvent OnDone, bool Auto) {
  for (const std::wstring& f : RecentFolders) Form.PathEdit.Add(f);
  Form.Init(List, Document, std::move(OnDone), Auto);
  Form.ShowModal();
  RecentFolders = Form.PathEdit.Items();
}
