// What the system's file dialog can take: the folders it can show and the names it can join to
// them in its MAX_PATH characters (the dialog itself is driven in the app tests).
#include <gtest/gtest.h>

#include <string>

#include "ui/prompts.h"
#include "ui/prompts_res.h"
#include "ui/strings.h"

namespace {

TEST(FileDialogLimits, FoldersAndTypedNamesWithinMaxPath) {
  const std::wstring folder = L"C:\\" + std::wstring(196, L'f');  // 199 characters
  ui::FileDialog d;
  d.DefaultExt = L"#ml";
  d.Filter = L"Lists (md5sum.lst)|md5sum.lst|Checksum files|*.jvsums;*.#ml|All files (*.*)|*.*";
  const std::wstring name59 = std::wstring(54, L'n') + L".lsts";  // 200 + 59 = 259

  EXPECT_TRUE(ui::FileDialogShows(folder));
  EXPECT_TRUE(ui::FileDialogShows(folder + L"\\"));
  EXPECT_TRUE(ui::FileDialogShows(std::wstring(257, L'x')));  // and "\*" make 259
  EXPECT_FALSE(ui::FileDialogShows(std::wstring(258, L'x')));
  EXPECT_TRUE(ui::FileDialogShows(L"C:\\"));

  const std::pair<std::wstring, bool> names[] = {
      {name59, true},
      {name59 + L"x", false},
      {L"x" + name59, false},
      // Without an extension the dialog adds one: room for ".jvsums", the longest it may pick.
      {std::wstring(52, L'n'), true},
      {std::wstring(53, L'n'), false},
      // A dot before a backslash or a blank starts no extension either.
      {std::wstring(49, L'n') + L".d\\sub", false},
      {std::wstring(50, L'n') + L".b c", false},
      // A path of its own is not joined to the folder; a rooted one goes on the folder's drive.
      {L"D:\\" + std::wstring(250, L'p') + L".txt", true},
      {L"D:\\" + std::wstring(253, L'p') + L".txt", false},
      {L"\\" + std::wstring(252, L'p') + L".txt", true},
      {L"\\" + std::wstring(253, L'p') + L".txt", false},
      // Quoted names count one by one.
      {L"\"a.txt\" \"" + name59 + L"\"", true},
      {L"\"a.txt\" \"" + name59 + L"x\"", false},
      {L"", true},
  };
  for (const auto& [name, takes] : names)
    EXPECT_EQ(ui::FileDialogTakesName(d, folder, name), takes) << ui::ToUtf8(name);
  EXPECT_TRUE(ui::FileDialogTakesName(d, folder + L"\\", name59));

  // No default extension: nothing is added.
  d.DefaultExt.clear();
  EXPECT_TRUE(ui::FileDialogTakesName(d, folder, std::wstring(59, L'n')));

  // The refusal's text comes with the layer, also to a program without the application's.
  EXPECT_EQ(ui::LoadStr(IDS_FILEDLG_TOOLONG).rfind(L"The file name is too long: ", 0), 0u);
}

}  // namespace
