// A scripted print spooler: a printer list, the default printer, and an ordered record of every
// write of the default device entry, every broadcast and (through FakeShell) every start of the
// print utility, so that a test can ask which printer was the default when a job started.
// Safe for use from any thread.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "corvale/platform/printers.h"

namespace corvale::testing {

class CallJournal;

class FakePrinters : public Printers {
 public:
  struct Printer {
    std::string name;
    std::string driver;
    std::string port;
  };

  // Adds a printer with a driver and port of its own ("<name> Driver", "<name>_Port").
  void Add(const std::string& name);
  void Add(const std::string& name, const std::string& driver, const std::string& port);
  void Remove(const std::string& name);
  // The printer that the system reports as the default one.
  void SetDefault(const std::string& name);
  // The system keeps reporting `name` as the default, whatever is written (as Windows does when
  // it manages the default printer itself); empty: writes take effect again.
  void HoldDefault(const std::string& name);

  // Events in order: "device=<entry>", "broadcast sync", "broadcast posted", "start <parameters>".
  std::vector<std::string> Events() const;
  // The device part of the last entry written, or the printer set with SetDefault.
  std::string CurrentDefault() const;
  // Called by FakeShell as the print utility starts.
  void NoteShellStart(const std::string& parameters);
  // The default printer at the first start whose parameters contain `text`.
  std::optional<std::string> DefaultWhenStarted(const std::string& text) const;
  // The entry "name,driver,port" of a listed printer.
  std::string EntryOf(const std::string& name) const;

  void SetJournal(CallJournal* journal) { journal_ = journal; }

  std::vector<std::string> ListPrinters() override;
  std::string DefaultPrinter() override;
  std::vector<PrinterDevice> DevicesNamed(const std::string& name) override;
  void WriteDefaultDevice(const std::string& entry) override;
  void BroadcastWindowsSectionChange(bool synchronous) override;

 private:
  void Record(const std::string& event);

  mutable std::mutex mutex_;
  std::vector<Printer> printers_;
  std::string default_;
  std::string held_default_;
  std::vector<std::string> events_;
  std::vector<std::pair<std::string, std::string>> starts_;  // parameters, default printer
  CallJournal* journal_ = nullptr;
};

}  // namespace corvale::testing
