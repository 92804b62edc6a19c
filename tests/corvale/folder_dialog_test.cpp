// The folder picker over a scripted browse dialog: its properties, the flags it asks for, where
// it places and selects the dialog, and what each way of closing the dialog leaves behind.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "corvale/platform/portable/std_file_system.h"
#include "corvale/ui/folder_dialog.h"
#include "tests/fakes/fake_folder_browser.h"
#include "tests/fakes/form_harness.h"

namespace corvale {
namespace {

using Answer = testing::FakeFolderBrowser::Answer;

class FolderDialogTest : public ::testing::Test {
 protected:
  FolderDialogTest() {
    temp.WriteFile("Work\\keep.txt", "");
    temp.WriteFile("Start\\keep.txt", "");
    browser.current_directory = temp.Win("Work");
  }

  testing::TempFolder temp;
  StdFileSystem files;
  testing::FakeFolderBrowser browser;
};

TEST_F(FolderDialogTest, StartsWithItsInitialProperties) {
  TFolderDialog picker(browser, files);
  EXPECT_EQ(picker.Caption, "");
  EXPECT_EQ(picker.Title, "");
  EXPECT_EQ(picker.Directory, temp.Win("Work"));
  EXPECT_EQ(picker.ImageIndex, 0);
  EXPECT_EQ(picker.Options, std::set<TOptions>{TOptions::fdoNewDialogStyle});
  EXPECT_EQ(picker.DialogPosition, TDialogPosition::fdpDefault);
  EXPECT_EQ(picker.DialogX, 0);
  EXPECT_EQ(picker.DialogY, 0);
  EXPECT_EQ(picker.Version(), "1.1.0.1");
  picker.SetVersion("9.9.9.9");
  EXPECT_EQ(picker.Version(), "1.1.0.1");
}

TEST_F(FolderDialogTest, AsksForTheFlagsOfItsOptionsWithItsPromptAndOwner) {
  struct Case {
    TOptions option;
    uint32_t flag;
  };
  const Case cases[] = {
      {TOptions::fdoBrowseForComputer, 0x1000},
      {TOptions::fdoBrowseForPrinter, 0x2000},
      {TOptions::fdoDontgoBelowDomain, 0x2},
      {TOptions::fdoReturnFSAncestors, 0x8},
      {TOptions::fdoReturnOnlyFSDirs, 0x1},
      {TOptions::fdoStatusText, 0x4},
      {TOptions::fdoNewDialogStyle, 0x40},
      {TOptions::fdoNoNewFolderButton, 0x200},
      {TOptions::fdoEditBox, 0x10},
  };
  TFolderDialog picker(browser, files);
  picker.Title = "Pick one";
  picker.OwnerWindow = 0x4242;
  picker.Execute();
  ASSERT_EQ(browser.requests.size(), 1u);
  EXPECT_EQ(browser.requests[0].flags, 0x40u);
  EXPECT_EQ(browser.requests[0].prompt, "Pick one");
  EXPECT_EQ(browser.requests[0].owner, 0x4242u);

  picker.Options.clear();
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.option));
    EXPECT_EQ(BrowseFlagOf(c.option), c.flag);
    picker.Options.insert(c.option);
  }
  picker.Execute();
  EXPECT_EQ(browser.requests.back().flags, 0x325Fu);
}

TEST_F(FolderDialogTest, InitializedDialogIsPlacedAndCaptioned) {
  struct Case {
    const char* name;
    TDialogPosition position;
    int x, y;
    int moved_x, moved_y;
  };
  // The scripted dialog sits at (100, 80), 410 x 367, on a 1280 x 1024 desktop.
  const Case cases[] = {
      {"default keeps its place", TDialogPosition::fdpDefault, 5, 5, 100, 80},
      {"centred, halves rounded toward zero", TDialogPosition::fdpScreenCenter, 5, 5, 435, 329},
      {"at X and Y", TDialogPosition::fdpXY, 30, 40, 30, 40},
      {"negative coordinates become 0", TDialogPosition::fdpXY, -30, -1, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TFolderDialog picker(browser, files);
    picker.DialogPosition = c.position;
    picker.DialogX = c.x;
    picker.DialogY = c.y;
    picker.Execute();
    EXPECT_EQ(browser.window.moves, (std::vector<std::pair<int, int>>{{c.moved_x, c.moved_y}}));
    EXPECT_EQ(browser.window.selected, std::vector<std::string>{temp.Win("Work")});
    // An empty caption keeps the system's.
    EXPECT_TRUE(browser.window.texts.empty());
  }
  TFolderDialog picker(browser, files);
  picker.Caption = "Choose Folder";
  picker.Execute();
  EXPECT_EQ(browser.window.texts, std::vector<std::string>{"Choose Folder"});
}

TEST_F(FolderDialogTest, ChosenFolderBecomesTheDirectory) {
  TFolderDialog picker(browser, files);
  picker.Directory = temp.Win("Start");
  browser.AnswerFolder("D:\\Picked", 12);
  EXPECT_TRUE(picker.Execute());
  EXPECT_EQ(browser.window.selected, std::vector<std::string>{temp.Win("Start")});
  EXPECT_EQ(picker.Directory, "D:\\Picked");
  EXPECT_EQ(picker.ImageIndex, 12);
  EXPECT_EQ(browser.freed, browser.issued);
  ASSERT_EQ(browser.freed.size(), 1u);
}

TEST_F(FolderDialogTest, NoChoiceLeavesTheDirectory) {
  struct Case {
    const char* name;
    Answer answer;
    size_t freed;
  };
  const Case cases[] = {
      {"cancelled", {Answer::Kind::kCancel, "", 0}, 0},
      {"a printer or computer has no path", {Answer::Kind::kVirtual, "", 3}, 1},
      {"an error while the dialog runs", {Answer::Kind::kError, "", 0}, 0},
      {"a path beyond the buffer", {Answer::Kind::kFolder, "C:\\" + std::string(258, 'x'), 3}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    browser.freed.clear();
    browser.issued.clear();
    TFolderDialog picker(browser, files);
    picker.Directory = temp.Win("Start");
    browser.answers.push_back(c.answer);
    EXPECT_FALSE(picker.Execute());
    EXPECT_EQ(picker.Directory, temp.Win("Start"));
    EXPECT_EQ(picker.ImageIndex, 0);
    EXPECT_EQ(browser.freed.size(), c.freed);
    EXPECT_EQ(browser.freed, browser.issued);
  }
}

TEST_F(FolderDialogTest, LongestPathThatFitsTheBufferIsTaken) {
  const std::string longest = "C:\\" + std::string(257, 'x');  // 260 characters and the NUL
  TFolderDialog picker(browser, files);
  browser.AnswerFolder(longest);
  EXPECT_TRUE(picker.Execute());
  EXPECT_EQ(picker.Directory, longest);
}

TEST_F(FolderDialogTest, MissingDirectoryOpensAtTheCurrentFolder) {
  TFolderDialog picker(browser, files);
  picker.Directory = temp.Win("Gone");
  EXPECT_FALSE(picker.Execute());
  EXPECT_EQ(browser.window.selected, std::vector<std::string>{temp.Win("Work")});
  EXPECT_EQ(picker.Directory, temp.Win("Work"));
}

}  // namespace
}  // namespace corvale
