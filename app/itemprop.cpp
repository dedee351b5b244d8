// The "Item properties" dialog.
#include "app/itemprop.h"

#include <charconv>
#include <cmath>

#include "app/calc.h"
#include "document/uniconv.h"
#include "hash/daycount.h"
#include "hash/registry.h"
#include "ui/prompts.h"
#include "ui/strings.h"

namespace {

std::wstring Widen(const std::string& Text) {
  return CodePageToWide(Text, CP_ACP);
}
std::string Narrow(const std::wstring& Text) {
  return WideToCodePage(Text, CP_ACP);
}

}  // namespace

// Date-time values -----------------------------------------------------------------------------

double SystemTimeToDateTime(const SYSTEMTIME& st) {
  int64_t days = 0;
  if (!TryEncodeDate(st.wYear, st.wMonth, st.wDay, days)) return 0;
  const double ms =
      ((st.wHour * 60.0 + st.wMinute) * 60.0 + st.wSecond) * 1000.0 + st.wMilliseconds;
  return static_cast<double>(days) + ms / (SecondsPerDay * 1000.0);
}

SYSTEMTIME DateTimeToSystemTime(double value) {
  int64_t days = static_cast<int64_t>(std::floor(value));
  int64_t ms = std::llround((value - static_cast<double>(days)) * SecondsPerDay * 1000.0);
  if (ms >= SecondsPerDay * 1000) {
    ++days;
    ms -= SecondsPerDay * 1000;
  }
  int year, month, day;
  DecodeDate(days, year, month, day);
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(year);
  st.wMonth = static_cast<WORD>(month);
  st.wDay = static_cast<WORD>(day);
  st.wHour = static_cast<WORD>(ms / 3600000);
  st.wMinute = static_cast<WORD>(ms / 60000 % 60);
  st.wSecond = static_cast<WORD>(ms / 1000 % 60);
  st.wMilliseconds = static_cast<WORD>(ms % 1000);
  return st;
}

double Now() {
  return LocalNow();
}

void TDateTimeEdit::SetDateTime(double value) {
  value_ = value;
  SetValue(DateTimeToSystemTime(value));
}

bool TDateTimeEdit::HandleNotify(NMHDR* hdr, LRESULT& result) {
  if (hdr->hwndFrom == Handle() && hdr->code == DTN_DATETIMECHANGE) {
    // The control shows one part only; the other part of the value stays as it was.
    const double shown = SystemTimeToDateTime(Value());
    const double shownDay = std::floor(shown), ownDay = std::floor(value_);
    value_ = timeKind_ ? ownDay + (shown - shownDay) : shownDay + (value_ - ownDay);
  }
  return DateTimePicker::HandleNotify(hdr, result);
}

std::string RecodeHashValue(TCoderClass From, TCoderClass To, const std::string& Value) {
  std::string bytes, text;
  From->Decode(Value.data(), static_cast<int32_t>(Value.size()), bytes);
  To->Encode(bytes.data(), static_cast<int32_t>(bytes.size()), text);
  return text;
}

// The dialog -----------------------------------------------------------------------------------

TItemPropForm::TItemPropForm(HWND owner) : Dialog(IDD_ITEMPROP, owner) {
  TypeBox.OnChange = [this] { TypeBoxChange(); };
  CodeBox.OnChange = [this] { CodeBoxChange(); };
}

void TItemPropForm::OnInitDialog() {
  std::vector<std::string> names;
  FillHasherNames(names);
  TypeBox.Clear();
  for (const std::string& n : names) TypeBox.Add(Widen(n));
  names.clear();
  FillCoderNames(names);
  CodeBox.Clear();
  for (const std::string& n : names) CodeBox.Add(Widen(n));
  SizeEdit.SetText(L"0");
  LastTypeIndex = -1;
  LastCodeIndex = -1;
}

std::string TItemPropForm::HashText() {
  return Narrow(HashEdit.Text());
}
void TItemPropForm::SetHashText(const std::string& Value) {
  HashEdit.SetText(Widen(Value));
}

void TItemPropForm::SetItem(TFileItem* Value) {
  Item = Value;
  LoadFromItem();
}

void TItemPropForm::LoadFromItem() {
  NameEdit.SetText(Item->FileName);
  SetHashText(Item->HashValue);
  // The stored time as it is (UTC), not converted to local time.
  const double when =
      Item->FileTime > 0 ? static_cast<double>(Item->FileTime) / SecondsPerDay : Now();
  DateEdit.SetDateTime(when);
  TimeEdit.SetDateTime(when);
  SizeEdit.SetText(Item->FileSize >= 0 ? std::to_wstring(Item->FileSize) : L"");
  TypeBox.SetItemIndex(TypeBox.FindExact(Widen(Item->HashType)));
  LastTypeIndex = TypeBox.ItemIndex();
  const TCoderClass coder = FindCoder(Item->HashCode);
  CodeBox.SetItemIndex(coder ? CodeBox.FindExact(Widen(coder->DisplayName())) : -1);
  LastCodeIndex = CodeBox.ItemIndex();
  NoteMemo.SetText(Item->FileNote);
}

void TItemPropForm::SaveToItem() {
  Item->SetFileName(NameEdit.Text());
  Item->SetHashValue(HashText());
  const double date = DateEdit.DateTime(), time = TimeEdit.DateTime();
  if (date > 0 && time > 0) {
    const double dayPart = time - std::floor(time);
    Item->SetFileTime(static_cast<int64_t>(std::floor(date)) * SecondsPerDay +
                      static_cast<int64_t>(dayPart * SecondsPerDay + 0.5));
  }
  int64_t size = -1;
  if (!TryParseSize(SizeEdit.Text(), size)) size = -1;
  Item->SetFileSize(size);
  // A type or encoding that no list item shows (not registered) stays as it was: storing the
  // empty list text would lose it.
  if (TypeBox.ItemIndex() >= 0) Item->SetHashType(Narrow(TypeBox.Item(TypeBox.ItemIndex())));
  if (CodeBox.ItemIndex() >= 0)
    if (TCoderClass coder = FindCoderByDisplayName(Narrow(CodeBox.Item(CodeBox.ItemIndex()))))
      Item->SetHashCode(coder->CoderName());
  Item->SetFileNote(NoteMemo.Text());
}

bool TItemPropForm::TryParseSize(const std::wstring& Text, int64_t& Size) {
  if (Text.empty()) return true;
  std::string s(Text.size(), '\0');
  for (size_t i = 0; i < Text.size(); ++i) {
    if (Text[i] > 0x7F) return false;
    s[i] = static_cast<char>(Text[i]);
  }
  size_t start = s.find_first_not_of(" \t");
  if (start == std::string::npos) return false;
  if (s[start] == '+' && start + 1 < s.size() && s[start + 1] != '-') ++start;
  int64_t value = 0;
  const char* end = s.data() + s.size();
  auto [ptr, ec] = std::from_chars(s.data() + start, end, value);
  if (ec != std::errc() || ptr != end) return false;
  Size = value;
  return true;
}

bool TItemPropForm::FormCloseQuery(int Result) {
  if (Result != IDOK) return true;
  int64_t size = 0;
  if (TryParseSize(SizeEdit.Text(), size)) return true;
  ui::MessageDlg(Handle(), ui::LoadStr(IDS_ITEMPROP_BADSIZE), ui::MsgType::Error,
                 ui::MsgButtons::OK);
  SizeEdit.SetFocus();
  return false;
}

void TItemPropForm::TypeBoxChange() {
  const int index = TypeBox.ItemIndex();
  if (index == LastTypeIndex) return;
  HashEdit.SetText(L"");
  LastTypeIndex = index;
}

void TItemPropForm::CodeBoxChange() {
  const int index = CodeBox.ItemIndex();
  if (index == LastCodeIndex) return;
  const TCoderClass newCoder = FindCoderByDisplayName(Narrow(CodeBox.Item(index)));
  const TCoderClass oldCoder =
      LastCodeIndex >= 0 ? FindCoderByDisplayName(Narrow(CodeBox.Item(LastCodeIndex))) : nullptr;
  const std::string value = HashText();
  if (!oldCoder || !newCoder) {
    // Nothing to decode the value with: keep it as typed rather than lose it.
    if (!value.empty())
      ui::MessageDlg(
          Handle(),
          ui::Format(ui::LoadStr(IDS_ITEMPROP_NOCODER), {Widen(Item ? Item->HashCode : "")}),
          ui::MsgType::Information, ui::MsgButtons::OK);
  } else {
    try {
      SetHashText(RecodeHashValue(oldCoder, newCoder, value));
    } catch (const EStringFormat& e) {
      // An undecodable value changes nothing: the value and the encoding stay.
      ui::MessageDlg(Handle(), e.GetMessage(), ui::MsgType::Error, ui::MsgButtons::OK);
      CodeBox.SetItemIndex(LastCodeIndex);
      return;
    }
  }
  LastCodeIndex = index;
}
