// The scripted print spooler.
#include "tests/fakes/fake_printers.h"

#include "tests/fakes/call_journal.h"

namespace corvale::testing {

void FakePrinters::Add(const std::string& name) {
  Add(name, name + " Driver", name + "_Port");
}

void FakePrinters::Add(const std::string& name, const std::string& driver,
                       const std::string& port) {
  std::lock_guard lock(mutex_);
  printers_.push_back({name, driver, port});
}

void FakePrinters::Remove(const std::string& name) {
  std::lock_guard lock(mutex_);
  std::erase_if(printers_, [&](const Printer& p) { return p.name == name; });
}

void FakePrinters::HoldDefault(const std::string& name) {
  std::lock_guard lock(mutex_);
  held_default_ = name;
}

void FakePrinters::SetDefault(const std::string& name) {
  std::lock_guard lock(mutex_);
  default_ = name;
}

void FakePrinters::Record(const std::string& event) {
  events_.push_back(event);
  if (journal_) journal_->Add("printers " + event);
}

std::vector<std::string> FakePrinters::Events() const {
  std::lock_guard lock(mutex_);
  return events_;
}

std::string FakePrinters::CurrentDefault() const {
  std::lock_guard lock(mutex_);
  return default_;
}

void FakePrinters::NoteShellStart(const std::string& parameters) {
  std::lock_guard lock(mutex_);
  Record("start " + parameters);
  starts_.emplace_back(parameters, held_default_.empty() ? default_ : held_default_);
}

std::optional<std::string> FakePrinters::DefaultWhenStarted(const std::string& text) const {
  std::lock_guard lock(mutex_);
  for (const auto& [parameters, printer] : starts_) {
    if (parameters.find(text) != std::string::npos) return printer;
  }
  return std::nullopt;
}

std::string FakePrinters::EntryOf(const std::string& name) const {
  std::lock_guard lock(mutex_);
  for (const Printer& p : printers_) {
    if (p.name == name) return p.name + "," + p.driver + "," + p.port;
  }
  return {};
}

std::vector<std::string> FakePrinters::ListPrinters() {
  std::lock_guard lock(mutex_);
  std::vector<std::string> names;
  for (const Printer& p : printers_) names.push_back(p.name);
  return names;
}

std::string FakePrinters::DefaultPrinter() {
  std::lock_guard lock(mutex_);
  return held_default_.empty() ? default_ : held_default_;
}

std::vector<PrinterDevice> FakePrinters::DevicesNamed(const std::string& name) {
  std::lock_guard lock(mutex_);
  std::vector<PrinterDevice> devices;
  for (const Printer& p : printers_) {
    if (p.name == name) devices.push_back({p.name, p.driver, p.port});
  }
  return devices;
}

void FakePrinters::WriteDefaultDevice(const std::string& entry) {
  std::lock_guard lock(mutex_);
  Record("device=" + entry);
  default_ = entry.substr(0, entry.find(','));
}

void FakePrinters::BroadcastWindowsSectionChange(bool synchronous) {
  std::lock_guard lock(mutex_);
  Record(synchronous ? "broadcast sync" : "broadcast posted");
}

}  // namespace corvale::testing
