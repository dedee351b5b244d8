// The control wrappers and actions on a real window with child controls created
// in code.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/clipboard.h"
#include "ui/actions.h"
#include "ui/app.h"
#include "ui/bars.h"
#include "ui/controls.h"
#include "ui/listview.h"
#include "ui/prompts.h"
#include "ui/window.h"

namespace {

enum {
  IDC_A = 101,
  IDC_B,
  IDC_R1,
  IDC_R2,
  IDC_R3,
  IDC_COMBO,
  IDC_TOOLBAR,
  IDC_TABS,
  IDC_PANEL,
  IDC_STATUS,
  IDC_DATE,
  IDC_EDIT,
  IDC_MEMO,
  IDC_PATHBOX,
  IDC_LIST,
  ID_CMD = 200,
  ID_CMD2
};

class TestForm : public ui::Form {
 public:
  ui::CheckBox Box{this, IDC_A};
  ui::Button Push{this, IDC_B};
  ui::RadioButton R1{this, IDC_R1}, R2{this, IDC_R2}, R3{this, IDC_R3};
  ui::ComboBox Combo{this, IDC_COMBO};
  ui::ToolBar Bar{this, IDC_TOOLBAR};
  ui::PageControl Tabs{this, IDC_TABS};
  ui::ColorPanel Panel{this, IDC_PANEL};
  ui::StatusBar Status{this, IDC_STATUS};
  ui::DateTimePicker Date{this, IDC_DATE};
  ui::Edit Field{this, IDC_EDIT};
  ui::Edit Memo{this, IDC_MEMO};
  ui::ComboBox PathBox{this, IDC_PATHBOX};
  ui::ListView List{this, IDC_LIST};

 protected:
  CreateParams GetCreateParams() override {
    CreateParams p;
    p.ClassName = L"JvTestForm";
    p.Width = 300;
    p.Height = 200;
    return p;
  }
  void OnCreated() override {
    HWND h = HandleIfCreated();
    auto make = [&](const wchar_t* cls, DWORD style, int id, int y) {
      CreateWindowExW(0, cls, L"x", WS_CHILD | WS_VISIBLE | style, 10, y, 100, 20, h,
                      reinterpret_cast<HMENU>(INT_PTR(id)), GetModuleHandleW(nullptr), nullptr);
    };
    make(L"BUTTON", BS_AUTOCHECKBOX, IDC_A, 10);
    make(L"BUTTON", BS_PUSHBUTTON, IDC_B, 30);
    make(L"BUTTON", BS_AUTORADIOBUTTON | WS_GROUP, IDC_R1, 50);
    make(L"BUTTON", BS_AUTORADIOBUTTON, IDC_R2, 70);
    make(L"BUTTON", BS_AUTORADIOBUTTON, IDC_R3, 90);
    make(L"COMBOBOX", CBS_DROPDOWNLIST | WS_GROUP, IDC_COMBO, 110);
    make(WC_TABCONTROLW, 0, IDC_TABS, 130);
    make(L"JvColorPanel", WS_TABSTOP, IDC_PANEL, 150);
    make(DATETIMEPICK_CLASSW, 0, IDC_DATE, 170);
    make(L"EDIT", ES_AUTOHSCROLL, IDC_EDIT, 190);
    make(L"EDIT", ES_MULTILINE, IDC_MEMO, 210);
    make(L"COMBOBOX", CBS_DROPDOWN | CBS_AUTOHSCROLL, IDC_PATHBOX, 230);
    AttachControls();
    Bar.Create(*this, 0, 16);
    Status.Create(*this);
    List.Create(*this, LVS_OWNERDATA, LVS_EX_FULLROWSELECT);
    List.AddColumn(L"File", 100, LVCFMT_LEFT);
    List.SetBounds(120, 10, 160, 150);
  }
  bool OnCommand(int id, int, HWND) override {
    if (id == ID_CMD2) throw std::runtime_error("broken handler");
    return false;
  }
};

// Awkward cells for the copy: every format's escaping, non-ASCII, non-BMP, a lone surrogate.
const wchar_t* const ClipCells[5][3] = {
    {L"plain", L"a,b;c", L"say \"hi\""},
    {L"not", L"selected", L""},
    {L"<b>&amp;</b> \"q\"", L"back\\slash {brace} }", L"tab\there"},
    {L"line\r\nbreak", L"caf\u00e9 \u0416 \u6F22", L"\U0001F600 non-BMP"},
    {L"", L"lone \xD800 x \xDC00", L"\x7F del \x01 ctl \x8000 \xFFFF \xDBFF"}};

template <size_t N>
std::string Bytes(const char (&literal)[N]) {
  return std::string(literal, N - 1);
}

void CopyAwkwardRows(TestForm& form) {
  form.List.OnInitNode = [](ui::ListNode* n) {
    n->Data = reinterpret_cast<void*>(0x1000 + n->Index);
  };
  form.List.OnGetText = [](ui::ListNode* n, int column, std::wstring& text) {
    text = ClipCells[n->Index][column];
  };
  form.List.AddColumn(L"Two", 60, LVCFMT_LEFT);
  form.List.AddColumn(L"Th{r}ee\\", 80, LVCFMT_RIGHT);
  form.List.SetColumnPosition(2, 0);
  form.List.SetRowCount(5);
  form.List.SelectAll();
  form.List.SetRowSelected(1, false);
  ASSERT_TRUE(form.List.CopyToClipboard());
}

class UiTest : public ::testing::Test {
 protected:
  void SetUp() override { ui::Application::Get().Initialize(GetModuleHandleW(nullptr)); }
  TestForm form;
  ui::Script script;
};

TEST_F(UiTest, CheckBoxFromCodeRunsClickOnlyOnChange) {
  int clicks = 0;
  form.Box.OnClick = [&] { ++clicks; };
  form.Box.SetChecked(false);
  EXPECT_EQ(clicks, 0);
  form.Box.SetChecked(true);
  form.Box.SetChecked(true);
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(form.Box.Checked());
  EXPECT_TRUE(form.Box.Click());  // a user's click toggles
  EXPECT_FALSE(form.Box.Checked());
  EXPECT_EQ(clicks, 2);
  form.Box.SetEnabled(false);
  EXPECT_FALSE(form.Box.Click());
  EXPECT_EQ(clicks, 2);
  form.Box.SetChecked(true);  // code may still set a disabled box
  EXPECT_EQ(clicks, 3);
}

TEST_F(UiTest, RadioButtonsClearTheirGroupAndClickWhenChecked) {
  std::vector<int> clicked;
  form.R1.OnClick = [&] { clicked.push_back(1); };
  form.R2.OnClick = [&] { clicked.push_back(2); };
  form.R3.OnClick = [&] { clicked.push_back(3); };
  form.R1.SetChecked(true);
  form.R2.SetChecked(true);
  EXPECT_FALSE(form.R1.Checked());
  EXPECT_TRUE(form.R2.Checked());
  form.R2.SetChecked(true);
  form.R2.SetChecked(false);  // unchecking runs nothing
  EXPECT_EQ(clicked, (std::vector<int>{1, 2}));
  EXPECT_TRUE(form.R3.Click());
  EXPECT_TRUE(form.R3.Checked());
  EXPECT_TRUE(form.R3.Click());  // already checked: nothing happens
  EXPECT_TRUE(form.R1.Click());
  EXPECT_FALSE(form.R3.Checked());
  EXPECT_EQ(clicked, (std::vector<int>{1, 2, 3, 1}));
  // A disabled or hidden button of the group is cleared too.
  form.R1.SetEnabled(false);
  form.R2.SetChecked(true);
  EXPECT_FALSE(form.R1.Checked());
  form.R1.SetEnabled(true);
  form.R1.SetChecked(true);
  ShowWindow(form.R1.Handle(), SW_HIDE);
  form.R3.SetChecked(true);
  EXPECT_FALSE(form.R1.Checked());
}

TEST_F(UiTest, ComboBoxChooseRunsChangeButProgramSelectionDoesNot) {
  int changes = 0;
  form.Combo.OnChange = [&] { ++changes; };
  form.Combo.Add(L"MD5", 5);
  form.Combo.Add(L"CRC32", 32);
  form.Combo.SetItemIndex(0);
  EXPECT_EQ(changes, 0);
  EXPECT_TRUE(form.Combo.Choose(1));
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(form.Combo.ItemData(form.Combo.ItemIndex()), 32);
  EXPECT_EQ(form.Combo.FindExact(L"md5") + form.Combo.FindExact(L"SHA1"), 0 - 1);
  EXPECT_FALSE(form.Combo.Choose(7));
}

// Wine's layout of an edit's text falls over a combining mark that opens a left-to-right run:
// the program would die at the first such text. Every mark is put where names bring it (at the
// start, after a Latin letter, a digit or a space, at a line's start), into an edit, a
// multi-line edit and an editable combo box's field and list; each reads back what it was given.
TEST_F(UiTest, EditsAndComboBoxesTakeTextsWithCombiningMarksAnywhere) {
  std::vector<std::wstring> texts = {
      L"\u05B4\u05E0\u05D8\u05D2\u05D5\u05E2.txt",  // Hebrew opening with a point
      L"\u064E\u0628\u062A \u0651\u0628",           // Arabic opening with a vowel sign
      L"\u064D\u255A\u2569 \u255A\u064D.txt",       // a guarded first mark turns the last
      L"\u200F\u05B4\u05D0 \u200F\u200F\u064E",     // right-to-left marks of their own
      L"\u041F\u0440\u0438\u0432\u0435\u0442 \u03A3\u03BF\u03C6\u03AF\u03B1 \u6F22\u5B57 "
      L"\U0001F600\U00020000",
      L"e\u0301 \u0915\u094D\u0937 \u0E01\u0E31",  // marks on their own bases
      L""};
  // One text per block of marks, each mark at the start, after a letter, a digit and a space.
  std::wstring lines = L"first";
  for (wchar_t block = 0x300; block < 0xFF00; block += 0x80) {
    std::wstring text;
    for (wchar_t m = block; m < block + 0x80; ++m) {
      WORD type = 0;
      if (!GetStringTypeW(CT_CTYPE3, &m, 1, &type) || !(type & C3_NONSPACING)) continue;
      const std::wstring mark(1, m);
      text += (text.empty() ? L"" : L" ") + mark + L"\u05D0x" + mark + L"\u05D01" + mark + L"b";
      lines += L"\r\n" + mark + L"\u05D0";
    }
    if (!text.empty()) texts.push_back(text);
  }
  for (const std::wstring& t : texts) {
    form.Field.SetText(t);
    EXPECT_EQ(form.Field.Text(), t);
  }
  form.Memo.SetText(lines);
  EXPECT_EQ(form.Memo.Text(), lines);
  // An item the user picks lands in the field as the list holds it.
  for (size_t i = 0; i < 4; ++i) form.PathBox.Add(texts[i]);
  for (int i = 0; i < 4; ++i) {
    EXPECT_TRUE(form.PathBox.Choose(i));
    EXPECT_EQ(form.PathBox.Text(), texts[i]);
    EXPECT_EQ(form.PathBox.Item(i), texts[i]);
    EXPECT_EQ(form.PathBox.FindExact(texts[i]), i);
  }
  form.PathBox.SetText(texts[1]);
  EXPECT_EQ(form.PathBox.Text(), texts[1]);
  EXPECT_TRUE(script.Failures().empty());
}

TEST_F(UiTest, ActionsFollowTheirUpdateHandlersInMenusAndToolBars) {
  ui::ActionList actions;
  bool allowed = false;
  int runs = 0;
  ui::Action& a = actions.Add(ID_CMD, [&] { ++runs; });
  a.Caption = L"&Save";
  a.ShortCut = {'S', FCONTROL};
  a.OnUpdate = [&](ui::Action& self) { self.SetEnabled(allowed); };
  HMENU menu = CreatePopupMenu();
  ui::AppendMenuItem(menu, ID_CMD, L"?");
  form.Bar.AddButton(ID_CMD, 0, L"Save");
  actions.BindMenu(menu);
  actions.BindToolBar(&form.Bar);
  actions.UpdateOnIdle();

  EXPECT_EQ(ui::MenuItemCaption(menu, ID_CMD, false), L"&Save\tCtrl+S");
  ui::Application::Get().Idle();
  EXPECT_FALSE(ui::MenuItemEnabled(menu, ID_CMD, false));
  EXPECT_FALSE(form.Bar.ButtonEnabled(ID_CMD));
  // Switching the captions rebuilds the buttons; a disabled one stays disabled.
  form.Bar.SetShowCaptions(true);
  EXPECT_FALSE(form.Bar.ButtonEnabled(ID_CMD));
  EXPECT_FALSE(actions.Execute(ID_CMD) && runs > 0);
  EXPECT_EQ(runs, 0);

  allowed = true;
  actions.OnMenuOpen(menu);  // opening the menu updates too
  EXPECT_TRUE(ui::MenuItemEnabled(menu, ID_CMD, false));
  EXPECT_TRUE(form.Bar.ButtonEnabled(ID_CMD));
  EXPECT_TRUE(actions.Execute(ID_CMD));
  EXPECT_EQ(runs, 1);

  HACCEL acc = actions.Accelerators();
  ACCEL entry{};
  ASSERT_EQ(CopyAcceleratorTableW(acc, &entry, 1), 1);
  EXPECT_EQ(std::pair(int(entry.cmd), int(entry.key)), std::pair(int(ID_CMD), int('S')));
  DestroyAcceleratorTable(acc);
  DestroyMenu(menu);
}

TEST_F(UiTest, CommandsRunByIdButtonsClickWhenShownAndHandlerExceptionsBecomeErrorBoxes) {
  int seen = 0;
  int id = form.AddCommand([&](int cmd) { seen = cmd; });
  form.PerformCommand(id);
  EXPECT_EQ(seen, id);
  int pushes = 0;
  form.Push.OnClick = [&] { ++pushes; };
  EXPECT_TRUE(form.Push.Click());
  form.Push.SetVisible(false);
  EXPECT_FALSE(form.Push.Click());
  EXPECT_EQ(pushes, 1);

  form.PerformCommand(ID_CMD2);
  ASSERT_EQ(script.Asked().size(), 1u);
  EXPECT_EQ(script.Asked()[0].Text, L"broken handler");
  EXPECT_EQ(script.Asked()[0].Type, ui::MsgType::Error);
  EXPECT_TRUE(script.Failures().empty());
}

TEST_F(UiTest, ScriptAnswersInOrderAndReportsUnexpectedPrompts) {
  script.AnswerMessage(IDNO);
  script.AnswerFile(L"C:\\data\\a.#ml", 2);
  EXPECT_EQ(
      ui::MessageDlg(nullptr, L"Save?", ui::MsgType::Confirmation, ui::MsgButtons::YesNoCancel),
      IDNO);
  ui::FileDialog d;
  d.Filter = L"A|*.a|B|*.b";
  EXPECT_TRUE(d.Execute(nullptr));
  EXPECT_EQ(d.FileName, L"C:\\data\\a.#ml");
  EXPECT_EQ(d.FilterIndex, 2);
  // Notices pass by themselves; questions without an answer are failures and
  // cancel.
  EXPECT_EQ(ui::MessageDlg(nullptr, L"Done", ui::MsgType::Information, ui::MsgButtons::OK), IDOK);
  EXPECT_EQ(ui::MessageDlg(nullptr, L"Abort?", ui::MsgType::Confirmation, ui::MsgButtons::YesNo),
            IDCANCEL);
  ui::ColorDialog c;
  c.Color = RGB(1, 2, 3);
  EXPECT_FALSE(c.Execute(nullptr));
  EXPECT_EQ(c.Color, RGB(1, 2, 3));
  ui::ShellOpen(nullptr, L"mailto:x@example.com");
  ASSERT_EQ(script.Asked().size(), 6u);
  EXPECT_EQ(script.Asked()[1].File.Filter, L"A|*.a|B|*.b");
  EXPECT_EQ(script.Asked()[5].Kind, ui::PromptKind::Shell);
  EXPECT_EQ(script.Asked()[5].Text, L"mailto:x@example.com");
  EXPECT_EQ(script.Failures().size(), 2u);
}

// A real message box stands on the main window's centre, and wholly inside the work area when
// the main window sits partly off the screen's corner.
TEST_F(UiTest, MessageBoxesAreCentredOnTheMainWindowAndStayOnTheScreen) {
  static RECT box;
  auto show = [&] {
    box = {};
    SetTimer(nullptr, 0, 1, [](HWND, UINT, UINT_PTR id, DWORD) {
      if (HWND b = FindWindowW(L"#32770", L"Where")) {
        KillTimer(nullptr, id);
        GetWindowRect(b, &box);
        PostMessageW(b, WM_COMMAND, IDOK, 0);
      }
    });
    EXPECT_EQ(ui::SystemPrompter().Message(nullptr, L"Here", L"Where", ui::MsgType::Information,
                                           ui::MsgButtons::OK),
              IDOK);
  };
  ui::Application::Get().SetMainForm(&form);
  form.SetBounds(300, 200, 400, 300);
  form.SetVisible(true);
  show();
  EXPECT_NEAR((box.left + box.right) / 2, 500, 1);
  EXPECT_NEAR((box.top + box.bottom) / 2, 350, 1);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  GetMonitorInfoW(MonitorFromWindow(form.Handle(), MONITOR_DEFAULTTOPRIMARY), &monitor);
  const RECT work = monitor.rcWork;
  form.SetBounds(work.right - 150, work.bottom - 100, 400, 300);
  show();
  EXPECT_EQ(box.right, work.right);
  EXPECT_EQ(box.bottom, work.bottom);
  ui::Application::Get().SetMainForm(nullptr);
}

// A row the focus moves to out of view comes to the middle of the visible rows, not to their
// edge; near the list's ends it goes as far as the list allows.
TEST_F(UiTest, ListRowsTheFocusMovesOutOfViewComeIntoTheMiddle) {
  form.List.SetRowCount(1000);
  HWND list = form.List.Handle();
  auto key = [&](UINT vk) { SendMessageW(list, WM_KEYDOWN, vk, 0); };
  auto top = [&] { return static_cast<int>(SendMessageW(list, LVM_GETTOPINDEX, 0, 0)); };
  const int page = static_cast<int>(SendMessageW(list, LVM_GETCOUNTPERPAGE, 0, 0));
  ASSERT_GT(page, 3);
  key(VK_HOME);
  for (int i = 1; i < page; ++i) key(VK_DOWN);  // within view: nothing scrolls
  EXPECT_EQ(form.List.FocusedRow(), page - 1);
  EXPECT_EQ(top(), 0);
  key(VK_DOWN);
  EXPECT_EQ(top(), page - page / 2);
  for (int i = 0; i < 100; ++i) key(VK_DOWN);
  EXPECT_EQ(form.List.FocusedRow(), page + 100);
  EXPECT_EQ(top(), page + 100 - page / 2);
  key(VK_UP);  // still in view
  EXPECT_EQ(top(), page + 100 - page / 2);
  key(VK_END);
  EXPECT_EQ(top(), 1000 - page);
  key(VK_HOME);
  EXPECT_EQ(top(), 0);
}

// The copy's formats, byte for byte, for cells that need every kind of escaping (selected rows in
// display order, columns in display order, the header first). They are those of the moment of
// the copy, although the list changes and empties before the paste.
TEST_F(UiTest, CopyPutsEveryFormatByteForByte) {
  wchar_t separator[8] = {};
  GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SLIST, separator, 8);
  if (GetACP() != 1252 || std::wstring(separator) != L",")
    GTEST_SKIP() << "written for code page 1252 and a comma between list items";
  CopyAwkwardRows(form);
  form.List.OnGetText = [](ui::ListNode*, int, std::wstring& text) { text = L"later"; };
  form.List.SetColumnWidth(0, 10);
  form.List.SetRowCount(0);
  ASSERT_TRUE(OpenClipboard(form.Handle()));
  auto expect = [](const wchar_t* name, UINT id, const std::string& bytes) {
    EXPECT_EQ(ClipBytes(id ? id : RegisterClipboardFormatW(name)), bytes)
        << ui::ToUtf8(name ? name : L"");
  };
  // clang-format off
  expect(L"CSV", 0, Bytes(
      "Th{r}ee\\,File,Two\r\n"
      "\"say \"\"hi\"\"\",plain,\"a,b;c\"\r\n"
      "tab\there,\"<b>&amp;</b> \"\"q\"\"\",back\\slash {brace} }\r\n"
      "?? non-BMP,\"line\r\n"
      "break\",caf\351 ? ?\r\n"
      "\177 del \001 ctl ? ? ?,,lone ? x ?\r\n"
      "\000"));
  expect(L"HTML Format", 0, Bytes(
      "Version:0.9\r\n"
      "StartHTML:0000000105\r\n"
      "EndHTML:0000000592\r\n"
      "StartFragment:0000000139\r\n"
      "EndFragment:0000000558\r\n"
      "<html><body>\r\n"
      "<!--StartFragment--><table border=\"1\" cellspacing=\"0\">\r\n"
      "<tr><th>Th{r}ee\\</th><th>File</th><th>Two</th></tr>\r\n"
      "<tr><td>say &quot;hi&quot;</td><td>plain</td><td>a,b;c</td></tr>\r\n"
      "<tr><td>tab\there</td><td>&lt;b&gt;&amp;amp;&lt;/b&gt; &quot;q&quot;</td><td>back\\slash {brace} }</td></tr>\r\n"
      "<tr><td>\360\237\230\200 non-BMP</td><td>line\r\n"
      "break</td><td>caf\303\251 \320\226 \346\274\242</td></tr>\r\n"
      "<tr><td>\177 del \001 ctl \350\200\200 \357\277\277 \357\277\275</td><td></td><td>lone \357\277\275 x \357\277\275</td></tr>\r\n"
      "</table><!--EndFragment-->\r\n"
      "</body></html>\000"));
  expect(L"Plain text", CF_TEXT, Bytes(
      "Th{r}ee\\\tFile\tTwo\r\n"
      "say \"hi\"\tplain\ta,b;c\r\n"
      "tab\there\t<b>&amp;</b> \"q\"\tback\\slash {brace} }\r\n"
      "?? non-BMP\tline\r\n"
      "break\tcaf\351 ? ?\r\n"
      "\177 del \001 ctl ? ? ?\t\tlone ? x ?\r\n"
      "\000"));
  expect(L"Rich Text Format Without Objects", 0, Bytes(
      "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss MS Sans Serif;}}\r\n"
      "\\trowd\\trgaph60\\cellx1200\\cellx2700\\cellx3600\r\n"
      "\\intbl\\b Th\\{r\\}ee\\\\\\b0\\cell \\intbl\\b File\\b0\\cell \\intbl\\b Two\\b0\\cell \\row\r\n"
      "\\trowd\\trgaph60\\cellx1200\\cellx2700\\cellx3600\r\n"
      "\\intbl say \"hi\"\\cell \\intbl plain\\cell \\intbl a,b;c\\cell \\row\r\n"
      "\\trowd\\trgaph60\\cellx1200\\cellx2700\\cellx3600\r\n"
      "\\intbl tab\\u9?here\\cell \\intbl <b>&amp;</b> \"q\"\\cell \\intbl back\\\\slash \\{brace\\} \\}\\cell \\row\r\n"
      "\\trowd\\trgaph60\\cellx1200\\cellx2700\\cellx3600\r\n"
      "\\intbl \\u-10179?\\u-8704? non-BMP\\cell \\intbl line\\u13?\\u10?break\\cell \\intbl caf\\u233? \\u1046? \\u28450?\\cell \\row\r\n"
      "\\trowd\\trgaph60\\cellx1200\\cellx2700\\cellx3600\r\n"
      "\\intbl \177 del \\u1? ctl \\u-32768? \\u-1? \\u-9217?\\cell \\intbl \\cell \\intbl lone \\u-10240? x \\u-9216?\\cell \\row\r\n"
      "}\000"));
  // clang-format on
  std::wstring text;
  for (int row : {-1, 0, 2, 3, 4})
    for (int column : {2, 0, 1}) {
      const wchar_t* const captions[] = {L"File", L"Two", L"Th{r}ee\\"};
      text += row < 0 ? captions[column] : ClipCells[row][column];
      text += column == 1 ? L"\r\n" : L"\t";
    }
  const std::string unicode = ClipBytes(CF_UNICODETEXT);
  ASSERT_EQ(unicode.size(), (text.size() + 1) * sizeof(wchar_t));
  EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(unicode.data()), text.size() + 1),
            text + L'\0');
  // The list's own format: the rows' positions and data.
  const std::string rows = ClipBytes(RegisterClipboardFormatW(L"Virtual Tree Data"));
  ui::ListView::ListClipData head{};
  ASSERT_EQ(rows.size(), sizeof head + 4 * sizeof(ui::ListView::ListClipRow));
  std::memcpy(&head, rows.data(), sizeof head);
  EXPECT_EQ(head.ProcessId, GetCurrentProcessId());
  EXPECT_EQ(head.Count, 4u);
  EXPECT_EQ(head.List, reinterpret_cast<uintptr_t>(form.List.Handle()));
  int i = 0;
  for (int row : {0, 2, 3, 4}) {
    ui::ListView::ListClipRow r{};
    std::memcpy(&r, rows.data() + sizeof head + i++ * sizeof r, sizeof r);
    EXPECT_EQ(r.Index, row);
    EXPECT_EQ(r.Data, 0x1000u + row);
  }
  CloseClipboard();
}

TEST_F(UiTest, PagesShowOnlyTheirControls) {
  int changes = 0;
  form.Tabs.OnChange = [&] { ++changes; };
  form.Tabs.AddPage(L"&One", {IDC_A, IDC_B});
  form.Tabs.AddPage(L"&Two", {IDC_COMBO});
  EXPECT_EQ(form.Tabs.ActivePage(), 0);
  EXPECT_TRUE(form.Box.Visible());
  EXPECT_FALSE(form.Combo.Visible());
  EXPECT_TRUE(form.Tabs.Choose(1));
  EXPECT_EQ(changes, 1);
  EXPECT_FALSE(form.Box.Visible());
  EXPECT_TRUE(form.Combo.Visible());
  form.Tabs.SetActivePage(0);  // from code: no change event
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(form.Push.Visible());
}

TEST_F(UiTest, ColorPanelAndStatusBar) {
  int clicks = 0;
  form.Panel.OnClick = [&] { ++clicks; };
  form.Panel.SetColor(0x00FF00);
  form.Panel.SetBevel(ui::ColorPanel::bvRaised);
  EXPECT_TRUE(form.Panel.Click());
  SendMessageW(form.Panel.Handle(), WM_LBUTTONUP, 0,
               0);  // a real click on the window
  EXPECT_EQ(clicks, 2);
  EXPECT_EQ(form.Panel.GetColor(), 0x00FF00);

  form.Status.SetPanels({100, -1});
  form.Status.SetPanelText(1, L"C:\\data");
  EXPECT_EQ(form.Status.PanelText(1), L"C:\\data");
  int drawn = -1;
  form.Status.OnDrawPanel = [&](int panel, DRAWITEMSTRUCT&) { drawn = panel; };
  form.Status.SetOwnerDraw(0, true);
  form.SetVisible(true);
  UpdateWindow(form.Status.Handle());
  ui::ProcessMessages();
  EXPECT_EQ(drawn, 0);
}

TEST_F(UiTest, MessageHooksSeeTheControlsOwnMessagesAndPickersKeepDates) {
  std::vector<POINT> moves;
  form.Push.SetMessageHook([&](UINT msg, WPARAM, LPARAM lp, LRESULT& result) {
    if (msg != WM_MOUSEMOVE) return false;
    moves.push_back({static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))});
    result = 0;
    return true;
  });
  SendMessageW(form.Push.Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(3, 4));
  ASSERT_EQ(moves.size(), 1u);
  EXPECT_EQ(moves[0].x, 3);
  EXPECT_EQ(moves[0].y, 4);
  EXPECT_EQ(form.Push.Text(), L"x");  // other messages pass on

  SYSTEMTIME st{2004, 2, 0, 29, 13, 0, 0, 0};
  form.Date.SetValue(st);
  const SYSTEMTIME back = form.Date.Value();
  EXPECT_EQ(back.wYear * 10000 + back.wMonth * 100 + back.wDay, 20040229);
}

TEST(UiText, FormatAndHotkeys) {
  EXPECT_EQ(ui::Format(L" %d items, for %s", {L"3", L"0:00:01.500"}), L" 3 items, for 0:00:01.500");
  EXPECT_EQ(ui::Format(L"100%% %s", {L"done"}), L"100% done");
  EXPECT_EQ(ui::Format(L"%s and %s", {L"one"}), L"one and ");
  EXPECT_EQ(ui::StripHotkey(L"&Open..."), L"Open...");
  EXPECT_EQ(ui::StripHotkey(L"Hash type (&H)"), L"Hash type");
  EXPECT_EQ(ui::StripHotkey(L"Salt && Pepper"), L"Salt & Pepper");
  EXPECT_EQ(ui::FromUtf8(ui::ToUtf8(L"C:\\\u00fcber\\\u65e5\u672c\\\U0001F600")),
            L"C:\\\u00fcber\\\u65e5\u672c\\\U0001F600");
  EXPECT_EQ(ui::ColorToRGB(0x0000FF), RGB(255, 0, 0));
  EXPECT_EQ(ui::ColorToRGB(ui::clWindow), GetSysColor(COLOR_WINDOW));
}

}  // namespace
