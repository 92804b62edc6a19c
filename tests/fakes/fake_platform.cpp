// The fakes of the print server's platform, the temp folder, and the server over them.
#include "tests/fakes/fake_platform.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace corvale::testing {

namespace fs = std::filesystem;

namespace {

fs::path FromWindowsPath(const std::string& path) {
  std::string native = path;
  std::replace(native.begin(), native.end(), '\\', '/');
  return fs::path(native);
}

}  // namespace

TempFolder::TempFolder() {
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path folder =
        fs::temp_directory_path() / ("corvale_engine_" + std::to_string(random()));
    std::error_code ec;
    if (fs::create_directory(folder, ec)) {
      path_ = folder.string();
      return;
    }
  }
  throw std::runtime_error("cannot create a temp folder");
}

TempFolder::~TempFolder() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

fs::path TempFolder::Native(const std::string& relative) const {
  return FromWindowsPath(Win(relative));
}

void TempFolder::WriteFile(const std::string& relative, const std::string& bytes,
                           int age_seconds) const {
  const fs::path file = Native(relative);
  fs::create_directories(file.parent_path());
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out) throw std::runtime_error("cannot write " + file.string());
  }
  fs::last_write_time(file, fs::file_time_type::clock::now() - std::chrono::seconds(age_seconds));
}

std::string TempFolder::ReadFile(const std::string& relative) const {
  std::ifstream in(Native(relative), std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + relative);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool TempFolder::Exists(const std::string& relative) const {
  std::error_code ec;
  return fs::exists(Native(relative), ec);
}

std::vector<std::string> TempFolder::FilesIn(const std::string& relative) const {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(Native(relative), ec), end; !ec && it != end; it.increment(ec)) {
    if (it->is_regular_file()) names.push_back(it->path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

FakePlatform::FakePlatform() {
  system.program_path = temp.Win("corvale.exe");
  shell.SetPrinters(&printers);
  registry.SetJournal(&journal);
  printers.SetJournal(&journal);
  temp.WriteFile("Workbench\\ftdwprt.exe", "");
  registry.PutString(RegistryHive::kLocalMachine, "SOFTWARE\\IBM\\AFP Workbench\\Default\\Misc",
                     "HelpPath", temp.Win("Workbench\\afpwb.hlp"));
}

std::vector<std::string> FakePlatform::LogEntries() const {
  std::vector<std::string> entries;
  PrintServer* server = ServerOrNull();
  if (!server) return entries;
  std::ifstream in(FromWindowsPath(server->Log().CurrentLogFile()), std::ios::binary);
  std::string line;
  // "MM/dd/yy hh:mm:ss " comes first on every line.
  constexpr size_t kStampLength = 18;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    entries.push_back(line.size() >= kStampLength ? line.substr(kStampLength) : line);
  }
  return entries;
}

std::vector<std::string> FakePlatform::LogMessages(const std::string& category) const {
  const std::string prefix = "[" + category + "] ";
  std::vector<std::string> messages;
  for (const std::string& entry : LogEntries()) {
    if (entry.rfind(prefix, 0) == 0) messages.push_back(entry.substr(prefix.size()));
  }
  return messages;
}

void FakePlatform::WaitForRunnersIdle(PrintServer& server) {
  JobLedger& ledger = server.Ledger();
  std::unique_lock lock(ledger.Mutex);
  if (!ledger.RunnersDone.wait_for(lock, std::chrono::seconds(20),
                                   [&] { return ledger.ActiveRunners == 0; }))
    throw std::runtime_error("job runners did not finish");
}

void FakePlatform::EndRunners(PrintServer& server) {
  // A runner still waiting for its utility ends with it; none may outlive the fakes it uses.
  shell.FinishAll();
  JobLedger& ledger = server.Ledger();
  std::unique_lock lock(ledger.Mutex);
  ledger.RunnersDone.wait(lock, [&] { return ledger.ActiveRunners == 0; });
}

ServerHarness::~ServerHarness() {
  DestroyServer();
}

PrintServer& ServerHarness::Create() {
  settings = Settings{};
  settings.Printers = PrinterListForSlots(printers.ListPrinters());
  for (int n = 1; n <= settings.SlotCount(); ++n)
    settings.Slots[n].PrinterName = settings.Printers[n - 1];
  settings.LogFile = temp.Win("Varnell.log");
  server_ = std::make_unique<PrintServer>(server_platform, view);
  server_->ApplySettings(settings);
  return *server_;
}

void ServerHarness::DestroyServer() {
  if (server_) EndRunners(*server_);
  server_.reset();
}

void ServerHarness::StatusTick() {
  server_->StatusTick();
  while (server_->FolderLookUnderWay()) {
    loop.WaitForEvents();
    loop.RunPosted();
  }
}

void ServerHarness::ConfigureSlot(int n, const std::string& input, const std::string& done,
                                  int32_t depth, bool delete_when_done) {
  TRec& slot = settings.Slots[n];
  slot.EnableIPDSEmulation = true;
  slot.InputFolder = input.empty() ? std::string() : temp.Win(input);
  slot.DoneFolder = done.empty() ? std::string() : temp.Win(done);
  slot.QueueDepth = depth;
  slot.DeleteInputFileWhenDone = delete_when_done;
  Apply();
}

}  // namespace corvale::testing
