// The main window over fakes of every platform interface and a temp folder of real files: the
// program file lies in the temp folder, so the job store and the default log file do too.
// Test fixtures derive from it beside ::testing::Test.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "corvale/platform/portable/std_file_system.h"
#include "corvale/ui/server_main_unit.h"
#include "tests/fakes/call_journal.h"
#include "tests/fakes/fake_dialogs.h"
#include "tests/fakes/fake_event_loop.h"
#include "tests/fakes/fake_folder_browser.h"
#include "tests/fakes/fake_folder_watch.h"
#include "tests/fakes/fake_printers.h"
#include "tests/fakes/fake_registry.h"
#include "tests/fakes/fake_shell.h"
#include "tests/fakes/fake_system.h"
#include "tests/fakes/recording_file_system.h"

namespace corvale::testing {

// A folder below the system's temp folder, removed with everything in it at the end.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // The folder as the program names it (a Windows-style path that StdFileSystem reads).
  const std::string& Path() const { return path_; }
  // `relative` ("In\\a.afp") below the folder, as the program names it.
  std::string Win(const std::string& relative) const { return path_ + "\\" + relative; }
  // The same file for the test's own std::filesystem calls.
  std::filesystem::path Native(const std::string& relative) const;

  // Writes a file (creating its folders) last written `age_seconds` ago.
  void WriteFile(const std::string& relative, const std::string& bytes, int age_seconds = 0) const;
  std::string ReadFile(const std::string& relative) const;
  bool Exists(const std::string& relative) const;
  // Names of the plain files of a folder, sorted.
  std::vector<std::string> FilesIn(const std::string& relative) const;

 private:
  std::string path_;
};

class FormHarness {
 public:
  FormHarness();
  virtual ~FormHarness();

  // Creates the main window and runs its start-up.
  TForm1& Create();
  TForm1& Form() { return *form_; }
  void DestroyForm();

  // Enables slot n with folders below the temp folder (empty text: no folder).
  void ConfigureSlot(int n, const std::string& input, const std::string& done, int32_t depth,
                     bool delete_when_done = false);
  // The log file's entries without their timestamps: "[Category] message", and the first line
  // of a new file, "Log file created".
  std::vector<std::string> LogEntries() const;
  // The messages of one category, in order.
  std::vector<std::string> LogMessages(const std::string& category) const;
  // Blocks until every job runner has finished its job.
  void WaitForRunnersIdle();

  TempFolder temp;
  StdFileSystem disk;
  RecordingFileSystem files{disk};
  FakeRegistry registry;
  FakePrinters printers;
  FakeShell shell;
  FakeSystemInfo system;
  FakeClock clock;
  FakeEventLoop loop;
  FakeDialogs dialogs;
  FakeFolderWatch watch;
  FakeFolderBrowser folders;
  CallJournal journal;
  CorvalePlatform platform{registry, files, printers, shell, system,
                           clock,    loop,  dialogs,  watch, folders};

 private:
  std::unique_ptr<TForm1> form_;
};

}  // namespace corvale::testing
