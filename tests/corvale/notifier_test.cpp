// The folder change notifier: change sets from filter masks, the watcher thread's bursts and the
// end of its watch, and the notifier window's handling of change, deletion and failure reports.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "corvale/engine/gx_file_notify.h"
#include "tests/fakes/fake_folder_watch.h"

namespace corvale {
namespace {

using testing::ChangeOf;
using testing::FailedWait;
using testing::FakeFolderWatch;
using testing::StopEvent;
using testing::Timeout;
using testing::WaiterScript;
using testing::WatchStep;
using testing::WindowMessage;
using enum TFileChange;

TFileChanges SetOf(std::initializer_list<TFileChange> kinds) {
  TFileChanges changes;
  for (TFileChange kind : kinds) changes.Include(kind);
  return changes;
}

TEST(FileChangesTest, EachElementFollowsItsFilterBit) {
  struct Case {
    uint32_t mask;
    TFileChanges expected;
  };
  const Case cases[] = {
      {0x01, SetOf({fcFileName})},
      {0x02, SetOf({fcDirName})},
      {0x04, SetOf({fcAttributes})},
      {0x08, SetOf({fcSize})},
      {0x10, SetOf({fcLastWrite})},
      {0x11, SetOf({fcFileName, fcLastWrite})},
      {0x1F, SetOf({fcDirName, fcFileName, fcAttributes, fcLastWrite, fcSize})},
      {0x00, SetOf({})},
      {0x60, SetOf({})},  // filters the watcher never opens
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mask);
    EXPECT_EQ(TFileChanges::FromFilterMask(c.mask), c.expected);
  }
}

// A watcher run on the test's own thread: the script ends with the stop event once it runs dry.
class WatcherThreadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    watcher_ = std::make_unique<TGXFileThread>(7, "C:\\In", 200, watch_.MakeWaiter("C:\\In"));
    script_ = watch_.ScriptOf("C:\\In");
    script_->SetEndWhenDry();
    first_post_ = watch_.Posted().size();
  }

  void Run(const std::vector<WatchStep>& steps) {
    script_->Feed(steps);
    watcher_->Execute(watch_);
    EXPECT_TRUE(watcher_->Ended());
  }

  // The data of the posts of one kind since the watcher was made.
  std::vector<uint32_t> PostedMasks(uint32_t message) const {
    std::vector<uint32_t> masks;
    const std::vector<WindowMessage> posted = watch_.Posted();
    for (size_t i = first_post_; i < posted.size(); ++i) {
      EXPECT_EQ(posted[i].watcher, 7u);
      if (posted[i].message == message) masks.push_back(posted[i].filters);
    }
    return masks;
  }

  FakeFolderWatch watch_;
  std::unique_ptr<TGXFileThread> watcher_;
  std::shared_ptr<WaiterScript> script_;
  size_t first_post_ = 0;
};

TEST_F(WatcherThreadTest, OneChangeThenQuietPostsOneReport) {
  Run({ChangeOf(fcLastWrite), Timeout()});
  EXPECT_EQ(PostedMasks(WM_FOLDERCHANGED), std::vector<uint32_t>{16});
  EXPECT_EQ(watch_.Posted().size(), 1u);
  // Waits for the first change without a limit, then 200 ms for the next one of the burst.
  ASSERT_GE(script_->Timeouts().size(), 2u);
  EXPECT_EQ(script_->Timeouts()[0], kInfinite);
  EXPECT_EQ(script_->Timeouts()[1], 200u);
  EXPECT_EQ(script_->Rearms(), std::vector<int>{3});
}

TEST_F(WatcherThreadTest, BurstOfChangesBecomesOneReportWithEveryFilter) {
  Run({ChangeOf(fcFileName), ChangeOf(fcSize), ChangeOf(fcFileName), ChangeOf(fcDirName),
       Timeout()});
  EXPECT_EQ(PostedMasks(WM_FOLDERCHANGED), std::vector<uint32_t>{1 | 8 | 2});
  EXPECT_EQ(script_->Rearms(), (std::vector<int>{1, 4, 1, 0}));
  const std::vector<uint32_t> timeouts = script_->Timeouts();
  ASSERT_EQ(timeouts.size(), 6u);
  for (size_t i = 1; i < 5; ++i) EXPECT_EQ(timeouts[i], 200u) << i;
}

TEST_F(WatcherThreadTest, EachQuietTimeEndsItsOwnBurst) {
  Run({ChangeOf(fcFileName), Timeout(), ChangeOf(fcLastWrite), ChangeOf(fcAttributes),
       FailedWait()});
  // A failed wait inside a burst ends the burst like a time-out does.
  EXPECT_EQ(PostedMasks(WM_FOLDERCHANGED), (std::vector<uint32_t>{1, 16 | 4}));
}

TEST_F(WatcherThreadTest, StopEventDuringBurstEndsWithoutReport) {
  Run({ChangeOf(fcFileName), ChangeOf(fcSize), StopEvent(), Timeout()});
  EXPECT_TRUE(watch_.Posted().empty());
  EXPECT_EQ(script_->Timeouts().size(), 3u);
}

// Only the stop event ends a watcher quietly; a watch that fails tells the main thread why.
TEST_F(WatcherThreadTest, FirstWaitEndsTheThreadUnlessAChangeFired) {
  struct Case {
    const char* name;
    WatchStep first;
    std::vector<uint32_t> failures;
  };
  const Case cases[] = {{"stop event", StopEvent(), {}}, {"failed wait", FailedWait(), {206}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    script_->SetFailureCode(206);
    Run({c.first, ChangeOf(fcFileName), Timeout()});
    EXPECT_TRUE(PostedMasks(WM_FOLDERCHANGED).empty());
    EXPECT_EQ(PostedMasks(WM_FOLDERWATCHFAILED), c.failures);
    EXPECT_EQ(script_->Timeouts().size(), 1u);
  }
}

// A quiet watcher never wakes by itself; a first wait that ends without a change (which a wait
// without a limit can only do when it fails) ends the watch with a failure report.
TEST_F(WatcherThreadTest, QuietWatcherWaitsWithoutALimit) {
  Run({Timeout(), ChangeOf(fcFileName), Timeout()});
  EXPECT_EQ(script_->Timeouts(), std::vector<uint32_t>{kInfinite});
  EXPECT_TRUE(PostedMasks(WM_FOLDERCHANGED).empty());
  EXPECT_EQ(PostedMasks(WM_FOLDERWATCHFAILED), std::vector<uint32_t>{3});
}

TEST_F(WatcherThreadTest, FailedRearmEndsWithAFailureReportInsteadOfTheChange) {
  struct Case {
    const char* name;
    int failing;
    std::vector<int> rearms;
  };
  const Case cases[] = {{"first change of the burst", 1, {1}},
                        {"later change of the burst", 4, {1, 4}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    script_->FailRearmOf(c.failing);
    script_->SetFailureCode(5);
    Run({ChangeOf(fcFileName), ChangeOf(fcSize), Timeout()});
    EXPECT_TRUE(PostedMasks(WM_FOLDERCHANGED).empty());
    EXPECT_EQ(PostedMasks(WM_FOLDERWATCHFAILED), std::vector<uint32_t>{5});
    EXPECT_EQ(script_->Rearms(), c.rearms);
  }
}

TEST_F(WatcherThreadTest, FolderThatIsNoLongerADirectoryIsReportedDeletedOnce) {
  script_->SetFolderIsDirectory(false);
  Run({ChangeOf(fcDirName), Timeout(), ChangeOf(fcFileName), Timeout()});
  EXPECT_TRUE(PostedMasks(WM_FOLDERCHANGED).empty());
  EXPECT_EQ(PostedMasks(WM_FOLDERDELETED), std::vector<uint32_t>{0});
  EXPECT_TRUE(PostedMasks(WM_FOLDERWATCHFAILED).empty());
  // Nothing more comes from a deleted folder: the watcher has ended without waiting again.
  EXPECT_EQ(script_->Timeouts().size(), 2u);
}

// The notifier with real watcher threads over scripted waits.
class NotifierTest : public ::testing::Test {
 protected:
  struct Report {
    TGXThreadFileNotifier* sender;
    TFileChanges changes;
    std::string folder;
  };

  struct WatchEnd {
    std::string folder;
    bool deleted;
    uint32_t error;
    bool operator==(const WatchEnd&) const = default;
  };

  void SetUp() override {
    notifier_ = std::make_unique<TGXThreadFileNotifier>(watch_);
    notifier_->OnFileChange = [this](TGXThreadFileNotifier& sender, TFileChanges changes,
                                     const std::string& folder) {
      reports_.push_back({&sender, changes, folder});
    };
    notifier_->OnWatchEnded = [this](TGXThreadFileNotifier&, const std::string& folder,
                                     bool deleted, uint32_t error) {
      ends_.push_back({folder, deleted, error});
    };
  }

  // Lets the watcher of `folder` report one burst and waits until it has been posted.
  void Burst(const std::string& folder, const std::vector<WatchStep>& steps) {
    const size_t before = watch_.Posted().size();
    std::shared_ptr<WaiterScript> script = watch_.ScriptOf(folder);
    ASSERT_NE(script, nullptr) << folder;
    script->Feed(steps);
    ASSERT_TRUE(watch_.WaitForPosts(before + 1));
  }

  FakeFolderWatch watch_;
  std::unique_ptr<TGXThreadFileNotifier> notifier_;
  std::vector<Report> reports_;
  std::vector<WatchEnd> ends_;
};

TEST_F(NotifierTest, AddFolderWatchesExactlyTheTextGivenAtLowestPriority) {
  notifier_->AddFolder(" C:\\In\\ ");
  EXPECT_EQ(notifier_->FolderCount(), 1);
  ASSERT_EQ(watch_.Scripts().size(), 1u);
  std::shared_ptr<WaiterScript> script = watch_.Scripts()[0];
  EXPECT_EQ(script->Folder(), " C:\\In\\ ");
  ASSERT_TRUE(script->WaitUntilIdle());
  EXPECT_EQ(watch_.PriorityLowered(), 1);
  EXPECT_EQ(script->Timeouts(), std::vector<uint32_t>{kInfinite});
}

TEST_F(NotifierTest, AddFolderWithEmptyTextAddsNothing) {
  notifier_->AddFolder("");
  EXPECT_EQ(notifier_->FolderCount(), 0);
  EXPECT_TRUE(watch_.Scripts().empty());
}

TEST_F(NotifierTest, ChangeReportCallsOnFileChangeWithTheWatchersFolder) {
  notifier_->AddFolder("C:\\A");
  notifier_->AddFolder("C:\\B");
  Burst("C:\\B", {ChangeOf(fcLastWrite), ChangeOf(fcSize), Timeout()});
  EXPECT_EQ(watch_.DeliverAll(*notifier_), 1);
  ASSERT_EQ(reports_.size(), 1u);
  EXPECT_EQ(reports_[0].sender, notifier_.get());
  EXPECT_EQ(reports_[0].folder, "C:\\B");
  EXPECT_EQ(reports_[0].changes, SetOf({fcLastWrite, fcSize}));
  EXPECT_EQ(watch_.Scripts()[1]->Timeouts()[1], 200u);
}

TEST_F(NotifierTest, MessagesOfUnknownWatchersAndOtherKindsAreIgnored) {
  notifier_->AddFolder("C:\\A");
  Burst("C:\\A", {ChangeOf(fcLastWrite), Timeout()});
  const uintptr_t known = watch_.Posted()[0].watcher;
  notifier_->HandleMessage(WM_FOLDERCHANGED, known + 100, 16);
  notifier_->HandleMessage(WM_FOLDERDELETED, known + 100, 0);
  notifier_->HandleMessage(0x0400 + 1, known, 16);
  EXPECT_TRUE(reports_.empty());
  EXPECT_EQ(notifier_->FolderCount(), 1);
  notifier_->HandleMessage(WM_FOLDERCHANGED, known, 16);
  EXPECT_EQ(reports_.size(), 1u);
}

// A report with a change of names makes the pending reports of its own folder stale, and only
// those: the reports of other folders are still handled.
TEST_F(NotifierTest, NameChangeReportDiscardsPendingReportsOfItsOwnFolder) {
  struct Case {
    TFileChange first;
    bool discards;
  };
  const Case cases[] = {{fcFileName, true},
                        {fcDirName, true},
                        {fcAttributes, false},
                        {fcLastWrite, false},
                        {fcSize, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.first));
    SetUp();
    notifier_->AddFolder("C:\\A");
    notifier_->AddFolder("C:\\B");
    notifier_->AddFolder("C:\\C");
    Burst("C:\\A", {ChangeOf(c.first), Timeout()});
    Burst("C:\\B", {ChangeOf(fcLastWrite), Timeout()});
    Burst("C:\\A", {ChangeOf(fcSize), Timeout()});
    // A deletion report is not a change report and stays pending.
    watch_.ScriptOf("C:\\C")->SetFolderIsDirectory(false);
    Burst("C:\\C", {ChangeOf(fcDirName), Timeout()});

    watch_.DeliverAll(*notifier_);
    std::vector<std::string> folders;
    for (const Report& r : reports_) folders.push_back(r.folder);
    if (c.discards) {
      EXPECT_EQ(folders, (std::vector<std::string>{"C:\\A", "C:\\B"}));
    } else {
      EXPECT_EQ(folders, (std::vector<std::string>{"C:\\A", "C:\\B", "C:\\A"}));
    }
    EXPECT_EQ(notifier_->FolderCount(), 2);
    EXPECT_TRUE(watch_.ScriptOf("C:\\C")->Destroyed());
    reports_.clear();
    ends_.clear();
    notifier_.reset();
  }
}

TEST_F(NotifierTest, DeletedFolderStopsBeingWatchedAndIsNotScanned) {
  notifier_->AddFolder("C:\\A");
  notifier_->AddFolder("C:\\B");
  watch_.ScriptOf("C:\\B")->SetFolderIsDirectory(false);
  Burst("C:\\B", {ChangeOf(fcDirName), Timeout()});
  ASSERT_EQ(watch_.Posted().size(), 1u);
  EXPECT_EQ(watch_.Posted()[0].message, WM_FOLDERDELETED);
  EXPECT_EQ(watch_.Posted()[0].filters, 0u);

  watch_.DeliverAll(*notifier_);
  EXPECT_TRUE(reports_.empty());
  EXPECT_EQ(ends_, (std::vector<WatchEnd>{{"C:\\B", true, 0}}));
  EXPECT_EQ(notifier_->FolderCount(), 1);
  EXPECT_TRUE(watch_.ScriptOf("C:\\B")->Destroyed());
  EXPECT_FALSE(watch_.ScriptOf("C:\\A")->Destroyed());
}

TEST_F(NotifierTest, WatchThatCannotBeOpenedIsReportedAndStaysCountedUntilCleared) {
  watch_.FailToOpen("C:\\Missing");
  notifier_->AddFolder("C:\\Missing");
  ASSERT_TRUE(watch_.WaitForPosts(1));
  EXPECT_EQ(watch_.Posted()[0].message, WM_FOLDERWATCHFAILED);
  watch_.DeliverAll(*notifier_);
  EXPECT_EQ(ends_, (std::vector<WatchEnd>{{"C:\\Missing", false, 3}}));
  EXPECT_TRUE(reports_.empty());
  EXPECT_EQ(notifier_->FolderCount(), 1);
  EXPECT_EQ(watch_.ScriptOf("C:\\Missing")->Timeouts().size(), 1u);
  notifier_->ClearFolders();
  EXPECT_EQ(notifier_->FolderCount(), 0);
  EXPECT_TRUE(watch_.ScriptOf("C:\\Missing")->Destroyed());
}

// Every message is handled inside the boundary, so that an error of a handler stays there.
TEST_F(NotifierTest, MessagesAreHandledInsideTheBoundary) {
  std::vector<std::string> caught;
  int entered = 0;
  notifier_->Boundary = [&](const std::function<void()>& handler) {
    ++entered;
    try {
      handler();
    } catch (const std::exception& e) {
      caught.push_back(e.what());
    }
  };
  notifier_->OnFileChange = [](TGXThreadFileNotifier&, TFileChanges, const std::string& folder) {
    throw std::runtime_error("scan of " + folder);
  };
  notifier_->OnWatchEnded = [](TGXThreadFileNotifier&, const std::string& folder, bool, uint32_t) {
    throw std::runtime_error("end of " + folder);
  };
  notifier_->AddFolder("C:\\A");
  notifier_->AddFolder("C:\\B");
  Burst("C:\\A", {ChangeOf(fcFileName), Timeout()});
  watch_.ScriptOf("C:\\B")->SetFolderIsDirectory(false);
  Burst("C:\\B", {ChangeOf(fcDirName), Timeout()});
  EXPECT_NO_THROW(watch_.DeliverAll(*notifier_));
  EXPECT_EQ(entered, 2);
  EXPECT_EQ(caught, (std::vector<std::string>{"scan of C:\\A", "end of C:\\B"}));
  EXPECT_EQ(notifier_->FolderCount(), 1);
}

TEST_F(NotifierTest, RemoveFolderTakesExactCaseSensitiveMatchesOnly) {
  for (const char* folder : {"C:\\In", "c:\\in", "C:\\In\\", "C:\\In"})
    notifier_->AddFolder(folder);
  ASSERT_EQ(notifier_->FolderCount(), 4);
  notifier_->RemoveFolder("C:\\IN");
  EXPECT_EQ(notifier_->FolderCount(), 4);
  notifier_->RemoveFolder("C:\\In");
  EXPECT_EQ(notifier_->FolderCount(), 2);
  const auto scripts = watch_.Scripts();
  EXPECT_TRUE(scripts[0]->Destroyed());
  EXPECT_FALSE(scripts[1]->Destroyed());
  EXPECT_FALSE(scripts[2]->Destroyed());
  EXPECT_TRUE(scripts[3]->Destroyed());
  EXPECT_GE(scripts[0]->StopSignals(), 1);
}

TEST_F(NotifierTest, WritingActiveFalseClearsAndTrueOnlySetsTheFlag) {
  EXPECT_TRUE(notifier_->Active());
  notifier_->AddFolder("C:\\A");
  notifier_->AddFolder("C:\\B");
  notifier_->SetActive(true);
  EXPECT_EQ(notifier_->FolderCount(), 2);
  notifier_->SetActive(false);
  EXPECT_FALSE(notifier_->Active());
  EXPECT_EQ(notifier_->FolderCount(), 0);
  for (const auto& script : watch_.Scripts()) EXPECT_TRUE(script->Destroyed());
  notifier_->SetActive(true);
  EXPECT_TRUE(notifier_->Active());
  EXPECT_EQ(notifier_->FolderCount(), 0);
}

TEST_F(NotifierTest, FreeingTheNotifierStopsEveryWatcher) {
  notifier_->AddFolder("C:\\A");
  notifier_->AddFolder("C:\\B");
  notifier_.reset();
  for (const auto& script : watch_.Scripts()) {
    EXPECT_TRUE(script->Destroyed());
    EXPECT_GE(script->StopSignals(), 1);
  }
}

TEST_F(NotifierTest, HandlerThatStopsWatchingStillGetsItsFolderAndLaterReportsAreIgnored) {
  notifier_->AddFolder("C:\\A");
  notifier_->OnFileChange = [this](TGXThreadFileNotifier& sender, TFileChanges changes,
                                   const std::string& folder) {
    sender.SetActive(false);
    reports_.push_back({&sender, changes, folder});
  };
  Burst("C:\\A", {ChangeOf(fcLastWrite), Timeout()});
  Burst("C:\\A", {ChangeOf(fcLastWrite), Timeout()});
  EXPECT_EQ(watch_.DeliverAll(*notifier_), 2);
  ASSERT_EQ(reports_.size(), 1u);
  EXPECT_EQ(reports_[0].folder, "C:\\A");
  EXPECT_EQ(notifier_->FolderCount(), 0);
}

}  // namespace
}  // namespace corvale
