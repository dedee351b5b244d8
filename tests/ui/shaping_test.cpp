// Texts with combining marks in real edit controls: whatever the user types, deletes, pastes,
// cuts or undoes, the program stays up, and the text and the clipboard hold exactly what the
// user made. Under Wine a mark that opens a left-to-right run used to crash the text layout.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "tests/clipboard.h"
#include "ui/app.h"
#include "ui/controls.h"
#include "ui/shaping.h"
#include "ui/window.h"

namespace {

enum { IDC_FIELD = 101, IDC_MEMO, IDC_PATH };

class EditForm : public ui::Form {
 public:
  ui::Edit Field{this, IDC_FIELD};
  ui::Edit Memo{this, IDC_MEMO};
  ui::ComboBox PathBox{this, IDC_PATH};

 protected:
  CreateParams GetCreateParams() override {
    CreateParams p;
    p.ClassName = L"JvShapingForm";
    p.Width = 420;
    p.Height = 260;
    return p;
  }
  void OnCreated() override {
    HWND h = HandleIfCreated();
    auto make = [&](const wchar_t* cls, DWORD style, int id, int y, int height) {
      CreateWindowExW(0, cls, L"", WS_CHILD | WS_VISIBLE | WS_BORDER | style, 10, y, 380, height, h,
                      reinterpret_cast<HMENU>(INT_PTR(id)), GetModuleHandleW(nullptr), nullptr);
    };
    make(L"EDIT", ES_AUTOHSCROLL, IDC_FIELD, 10, 22);
    make(L"EDIT", ES_MULTILINE | ES_WANTRETURN | WS_VSCROLL, IDC_MEMO, 40, 90);
    make(L"COMBOBOX", CBS_DROPDOWN | CBS_AUTOHSCROLL, IDC_PATH, 140, 120);
    AttachControls();
  }
};

// The window that takes the keys: an edit, or the field of a combo box.
HWND EditWindow(ui::Control& c) {
  COMBOBOXINFO info{};
  info.cbSize = sizeof(info);
  if (GetComboBoxInfo(c.Handle(), &info)) return info.hwndItem;
  return c.Handle();
}

std::wstring WindowText(HWND h) {
  std::wstring s(GetWindowTextLengthW(h) + 1, L'\0');
  s.resize(GetWindowTextW(h, s.data(), static_cast<int>(s.size())));
  return s;
}

void Key(HWND h, WPARAM vk) {
  SendMessageW(h, WM_KEYDOWN, vk, 1);
  SendMessageW(h, WM_KEYUP, vk, 0xC0000001);
}

void Type(HWND h, const std::wstring& text) {
  for (wchar_t c : text) SendMessageW(h, WM_CHAR, c, 1);
}

void Select(HWND h, int from, int to) {
  SendMessageW(h, EM_SETSEL, from, to);
}

class ShapingTest : public ::testing::Test {
 protected:
  void SetUp() override { ui::Application::Get().Initialize(GetModuleHandleW(nullptr)); }
  EditForm form;
};

// Per script a mark and a letter, in the three shapes a name takes: opening with marks, ending
// with one after a Latin letter, and nothing but marks.
std::vector<std::wstring> MarkedTexts() {
  const std::wstring marks[][2] = {{L"\u05B4", L"\u05E0"},   // Hebrew point, letter
                                   {L"\u064E", L"\u0628"},   // Arabic fatha, letter
                                   {L"\u0941", L"\u0915"},   // Devanagari vowel sign, letter
                                   {L"\u0E31", L"\u0E01"}};  // Thai vowel, letter
  std::vector<std::wstring> texts;
  for (const auto& [mark, letter] : marks) {
    texts.push_back(mark + letter + letter + L".txt");
    texts.push_back(letter + L" x" + mark);
    texts.push_back(mark + mark + L"\u0651");
  }
  texts.push_back(
      L"\u05B4 \u0628\u064E 1\u064E");  // a Hebrew point and an Arabic letter with a fatha
  return texts;
}

TEST_F(ShapingTest, EveryEditingMessageKeepsTheTextTheUserMade) {
  for (ui::Control* box :
       std::initializer_list<ui::Control*>{&form.Field, &form.Memo, &form.PathBox})
    for (const std::wstring& t : MarkedTexts()) {
      SCOPED_TRACE(testing::Message() << "control " << box->Id() << ", text #" << t.size());
      HWND h = EditWindow(*box);
      box->SetText(L"");
      Type(h, t);  // each prefix is laid out on its way, the lone first mark too
      EXPECT_EQ(box->Text(), t);
      Key(h, VK_HOME);
      Key(h, VK_DELETE);
      EXPECT_EQ(box->Text(), t.substr(1));
      Type(h, t.substr(0, 1));
      Key(h, VK_END);
      Type(h, L"\b");
      EXPECT_EQ(box->Text(), t.substr(0, t.size() - 1));
      Type(h, t.substr(t.size() - 1));
      EXPECT_EQ(WindowText(h), t);

      Select(h, 0, -1);
      SendMessageW(h, WM_COPY, 0, 0);
      EXPECT_EQ(ClipboardText(), t);
      Select(h, 0, 0);
      SendMessageW(h, WM_PASTE, 0, 0);
      EXPECT_EQ(box->Text(), t + t);
      SendMessageW(h, WM_UNDO, 0, 0);
      EXPECT_EQ(box->Text(), t);
      SendMessageW(h, EM_EMPTYUNDOBUFFER, 0, 0);
      Select(h, 0, -1);
      SendMessageW(h, WM_CUT, 0, 0);
      EXPECT_EQ(ClipboardText(), t);
      EXPECT_EQ(box->Text(), L"");
      SendMessageW(h, WM_UNDO, 0, 0);
      EXPECT_EQ(box->Text(), t);
      Select(h, 1, 1);
      SendMessageW(h, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(t.c_str()));
      EXPECT_EQ(box->Text(), t.substr(0, 1) + t + t.substr(1));
      Select(h, 0, 1);
      Type(h, L"\x16");  // Ctrl+V over the first character
      EXPECT_EQ(box->Text(), t + t + t.substr(1));
    }
  // A mark at the start of a later line, made by Enter in the multi-line edit.
  HWND memo = EditWindow(form.Memo);
  form.Memo.SetText(L"first");
  Key(memo, VK_END);
  Type(memo, L"\r\u05B4\u05E0\r\u064E");
  EXPECT_EQ(form.Memo.Text(), L"first\r\n\u05B4\u05E0\r\n\u064E");
  Key(memo, VK_HOME);
  Key(memo, VK_DELETE);
  Type(memo, L"\u0651");
  EXPECT_EQ(form.Memo.Text(), L"first\r\n\u05B4\u05E0\r\n\u0651");
}

// Letters carrying their own accent are no marks: nothing about them changes, not even the
// picture; a name copied out of the box is the name.
TEST_F(ShapingTest, PrecomposedLettersAndMarksOnTheirBasesAreShapedAsTheyStand) {
  for (const wchar_t* t : {L"\u00FCber \u00FC.txt", L"u\u0308ber caf\u00E9", L"\u05E0\u05B4\u05D8",
                           L"\u0915\u0941 \u0E01\u0E31", L"\u0628\u064E\u062A"})
    EXPECT_EQ(ui::LayoutSafeText(t), t);
  HWND h = EditWindow(form.Field);
  form.Field.SetText(L"\u00FCber \u00FC.txt");
  Key(h, VK_HOME);
  Select(h, 0, -1);
  SendMessageW(h, WM_COPY, 0, 0);
  EXPECT_EQ(ClipboardText(), L"\u00FCber \u00FC.txt");
}

// What the shaper is handed: the same length, marks that would open a left-to-right run drawn
// as circles (with what is stacked on them), everything else as it was; and no mark opens a
// left-to-right run any more, whatever the mix.
TEST_F(ShapingTest, TheShaperNeverSeesAMarkOpeningALeftToRightRun) {
  EXPECT_EQ(ui::LayoutSafeText(L"\u05B4\u05B8\u05E0 a\u064E"), L"\u25CC\u25CC\u05E0 a\u25CC");
  EXPECT_EQ(ui::LayoutSafeText(L"\U0001D167x"), L"\u25CC\u200Bx");  // a mark outside the BMP
  const std::wstring pool[] = {L"\u05B4", L"\u05C7", L"\u064E",    L"\u0670", L"\u0941",
                               L"\u0E31", L"\u0301", L"\u20DD",    L"\u05E0", L"\u0628",
                               L"\u0915", L"\u0E01", L"a",         L"1",      L" ",
                               L"\u200F", L"\u6F22", L"\U0001F600"};
  std::mt19937 random(7);
  for (int round = 0; round < 400; ++round) {
    std::wstring text;
    for (int n = 1 + random() % 12; n > 0; --n) text += pool[random() % std::size(pool)];
    const std::wstring shown = ui::LayoutSafeText(text);
    ASSERT_EQ(shown.size(), text.size());
    for (size_t i = 0; i < text.size(); ++i)
      if (shown[i] != text[i]) {
        ASSERT_TRUE(shown[i] == 0x25CC || shown[i] == 0x200B) << testing::PrintToString(text);
      }
    // Itemized as ScriptStringAnalyse does it (default control and state, bidi levels).
    SCRIPT_CONTROL control{};
    SCRIPT_STATE state{};
    SCRIPT_ITEM items[64];
    int count = 0;
    ASSERT_EQ(ScriptItemize(shown.data(), static_cast<int>(shown.size()), 63, &control, &state,
                            items, &count),
              S_OK);
    for (int i = 0; i < count; ++i)
      if (!items[i].a.fRTL) {
        const wchar_t c = shown[items[i].iCharPos];
        EXPECT_FALSE(c == 0x05B4 || c == 0x05C7 || c == 0x064E || c == 0x0670 || c == 0x0941 ||
                     c == 0x0E31 || c == 0x0301 || c == 0x20DD)
            << testing::PrintToString(text);
      }
  }
}

// A long note in many scripts, marks everywhere, edited line by line: it stays responsive.
TEST_F(ShapingTest, ALongMixedScriptNoteEditsLineByLine) {
  std::wstring note;
  const wchar_t* parts[] = {L"\u05B4\u05E0\u05D8 ", L"\u064E\u0628\u062A ", L"abc ",
                            L"\u0941\u0915 ",       L"\u6F22\u5B57 ",       L"\u0E31\u0E01 "};
  for (int line = 0; line < 60; ++line) {
    for (int i = 0; i < 8; ++i) note += parts[(line + i) % std::size(parts)];
    note += L"\r\n";
  }
  HWND memo = EditWindow(form.Memo);
  form.Memo.SetText(note);
  for (int line = 0; line < 60; line += 3) {
    const int start = static_cast<int>(SendMessageW(memo, EM_LINEINDEX, line, 0));
    Select(memo, start, start);
    Key(memo, VK_DELETE);
    Type(memo, L"\u05B4");
  }
  std::wstring expected = note;
  for (size_t at = 0, line = 0; at < expected.size(); ++line) {
    if (line % 3 == 0) expected[at] = L'\u05B4';
    at = expected.find(L"\r\n", at) + 2;
  }
  EXPECT_EQ(form.Memo.Text(), expected);
}

}  // namespace

// Routing: each module is walked once, and again only once it was loaded anew.
TEST_F(ShapingTest, EachModuleIsWalkedOnceAndALibraryLoadedSinceOnTheNextCall) {
  if (!ui::OnWine()) GTEST_SKIP() << "the guard acts under Wine only";
  ui::GuardTextLayout();
  for (int i = 0; i < 3; ++i) EXPECT_EQ(ui::GuardTextLayout(), 0);
  HMODULE library = nullptr;
  for (const wchar_t* name : {L"wldap32.dll", L"hhctrl.ocx", L"mapi32.dll", L"msxml3.dll"})
    if (!GetModuleHandleW(name) && (library = LoadLibraryW(name))) break;
  ASSERT_TRUE(library);
  EXPECT_GE(ui::GuardTextLayout(), 1);
  EXPECT_EQ(ui::GuardTextLayout(), 0);
  FreeLibrary(library);
}

// An import without a name table (its slots bound to addresses) is passed over unread; an
// import with one gets its ScriptStringAnalyse slot routed.
TEST_F(ShapingTest, ImportsWithoutANameTableAreSkipped) {
  const auto analyse = reinterpret_cast<ULONG_PTR>(
      GetProcAddress(LoadLibraryW(L"usp10.dll"), "ScriptStringAnalyse"));
  ASSERT_TRUE(analyse);
  auto* image =
      static_cast<BYTE*>(VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  ASSERT_TRUE(image);
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(image);
  dos->e_magic = IMAGE_DOS_SIGNATURE;
  dos->e_lfanew = 0x40;
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(image + 0x40);
  nt->Signature = IMAGE_NT_SIGNATURE;
  nt->OptionalHeader.NumberOfRvaAndSizes = IMAGE_NUMBEROF_DIRECTORY_ENTRIES;
  nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT] = {
      0x200, 3 * sizeof(IMAGE_IMPORT_DESCRIPTOR)};
  auto* imports = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(image + 0x200);
  imports[0].Name = imports[1].Name = 0x300;
  imports[0].FirstThunk = 0x400;  // no name table
  imports[1].OriginalFirstThunk = 0x480;
  imports[1].FirstThunk = 0x500;
  std::strcpy(reinterpret_cast<char*>(image + 0x300), "usp10.dll");
  std::strcpy(reinterpret_cast<char*>(image + 0x342), "ScriptStringAnalyse");  // after the hint
  const auto slot = [&](DWORD rva) -> ULONG_PTR& {
    return *reinterpret_cast<ULONG_PTR*>(image + rva);
  };
  slot(0x400) = 0x340;  // an address that, read as a name, would name ScriptStringAnalyse
  slot(0x480) = 0x340;
  slot(0x500) = analyse;
  EXPECT_EQ(ui::RouteTextLayout(reinterpret_cast<HMODULE>(image)), 1);
  EXPECT_EQ(slot(0x400), 0x340u);
  EXPECT_NE(slot(0x500), analyse);
  EXPECT_EQ(ui::RouteTextLayout(reinterpret_cast<HMODULE>(image)), 0);  // routed already
  VirtualFree(image, 0, MEM_RELEASE);
}
