// Fakes of Falcrest's platform for native tests: in-memory files, registry and spooler, a
// scripted service control manager, a virtual tick clock and a console that keeps its text.
// Every fake writes its calls into one shared log, so tests can assert their order across fakes,
// and counts the handles it hands out and gets back.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "falcrest/driver_installer.h"
#include "falcrest/installer_flow.h"

namespace falcrest::testing {

// ASCII text of a UTF-16 string (other units become '?').
std::string Narrow(const std::u16string& text);
std::u16string Widen(std::string_view ascii);

class CallLog {
 public:
  void Add(std::string call) { calls.push_back(std::move(call)); }
  // The calls that begin with `prefix`, in order.
  std::vector<std::string> Matching(std::string_view prefix) const;
  bool Contains(std::string_view call) const;
  // Position of the first call equal to `call`; calls.size() when there is none.
  size_t IndexOf(std::string_view call) const;

  std::vector<std::string> calls;
};

struct HandleCount {
  int opened = 0;
  int closed = 0;
  int StillOpen() const { return opened - closed; }
};

class FakeConsole : public Console {
 public:
  void WriteOut(std::string_view text) override { out += text; }
  void WriteErr(std::string_view text) override { err += text; }
  std::string out;
  std::string err;
};

class FakeClock : public Clock {
 public:
  explicit FakeClock(CallLog& log) : log_(log) {}
  uint32_t TickCount() override { return now; }
  void Sleep(uint32_t milliseconds) override;
  // Close below the 32-bit wrap, so that waits of a few seconds cross it.
  uint32_t now = 0xFFFFC000u;
  std::vector<uint32_t> sleeps;

 private:
  CallLog& log_;
};

class FakeEnvironment : public Environment {
 public:
  explicit FakeEnvironment(CallLog& log) : log_(log) {}
  // Replaces %WINDIR% by `windir`.
  std::optional<std::u16string> ExpandText(const std::u16string& text) override;
  std::u16string ProgramFilePath() override;
  Outcome SystemDirectory(std::u16string& folder) override;

  // Upper case, unlike the fallback texts, so that a test sees which one was used.
  std::u16string windir = u"C:\\WINDOWS";
  bool expand_fails = false;
  std::u16string program_path = u"C:\\Program Files\\Falcrest\\falcrest.exe";
  std::u16string system_directory = u"C:\\WINDOWS\\system32";
  uint32_t system_directory_error = 0;

 private:
  CallLog& log_;
};

// Paths compare without regard to case, as Windows paths do.
class FakeFiles : public Files {
 public:
  explicit FakeFiles(CallLog& log) : log_(log) {}
  Outcome CopyOver(const std::u16string& from, const std::u16string& to) override;

  void Put(const std::u16string& path, const std::string& content);
  bool Exists(const std::u16string& path) const;
  std::string Content(const std::u16string& path) const;

  std::map<std::u16string, std::string> files;                    // by lower-case path
  std::map<std::u16string, uint32_t> copy_errors;                 // by lower-case source path
  std::vector<std::pair<std::u16string, std::u16string>> copies;  // done, in order

 private:
  CallLog& log_;
};

struct StoredValue {
  uint32_t type = 0;
  std::vector<uint8_t> data;
};

// Keys below HKEY_LOCAL_MACHINE by lower-case path.
class FakeRegistry : public Registry {
 public:
  explicit FakeRegistry(CallLog& log) : log_(log) {}
  Outcome OpenMachineKey(const std::u16string& path, uint32_t access,
                         std::unique_ptr<RegistryKey>& key) override;
  Outcome DeleteMachineKey(const std::u16string& path) override;

  void CreateKey(const std::u16string& path);
  bool HasKey(const std::u16string& path) const;
  std::optional<StoredValue> Value(const std::u16string& path, const std::u16string& name) const;

  std::map<std::u16string, std::map<std::u16string, StoredValue>> keys;
  uint32_t set_value_error = 0;
  HandleCount handles;

 private:
  CallLog& log_;
};

class FakeTokens : public Tokens {
 public:
  explicit FakeTokens(CallLog& log) : log_(log) {}
  Outcome OpenCurrentProcessToken(uint32_t access, std::unique_ptr<AccessToken>& token) override;
  Outcome LookupPrivilege(const std::u16string& name, Luid& privilege) override;

  uint32_t open_error = 0;
  uint32_t lookup_error = 0;
  uint32_t adjust_error = 0;
  Luid load_driver_privilege{10, 0};
  HandleCount handles;

 private:
  CallLog& log_;
};

struct FakePrinter {
  std::u16string name;
  std::u16string driver;
  std::u16string port;
  std::u16string location;
  std::u16string print_processor;
  std::u16string datatype;
};

// The local spooler. A monitor that can be added creates its registry key, as the real one does.
class FakeSpooler : public Spooler {
 public:
  FakeSpooler(CallLog& log, FakeRegistry& registry) : log_(log), registry_(registry) {}
  Outcome AddMonitorLevel2(const MonitorInfo2& monitor) override;
  Outcome AddDriverLevel3(const DriverInfo3& driver) override;
  Outcome AddPrinterLevel2(const PrinterInfo2& printer,
                           std::unique_ptr<PrinterHandle>& handle) override;
  Outcome EnumPrintersLevel2(uint32_t flags, uint32_t buffer_bytes, uint32_t& needed,
                             std::vector<EnumeratedPrinter>& printers) override;
  Outcome OpenPrinterByName(const std::u16string& name, uint32_t access,
                            std::unique_ptr<PrinterHandle>& handle) override;
  Outcome DeleteDriverEx(const std::u16string& environment, const std::u16string& name,
                         uint32_t flags, uint32_t version) override;
  Outcome DeletePortByName(const std::u16string& name) override;

  bool HasPrinter(const std::u16string& name) const;
  void PutPrinter(const std::u16string& name, const std::u16string& driver,
                  const std::u16string& port = u"LPT1:");
  void PutDriver(const std::u16string& name);

  std::vector<MonitorInfo2> monitors;
  std::vector<DriverInfo3> drivers;
  std::vector<FakePrinter> printers;
  uint32_t add_monitor_error = 0;
  uint32_t add_driver_error = 0;
  uint32_t add_printer_error = 0;
  uint32_t enum_fill_error = 0;  // the second, filling enumeration fails with it
  std::map<std::u16string, uint32_t> open_printer_errors;
  std::map<std::u16string, uint32_t> delete_printer_errors;
  uint32_t delete_driver_error = 0;
  // Refuses DPD_DELETE_UNUSED_FILES with ERROR_INVALID_PARAMETER, as Wine's spooler does.
  bool refuses_deleting_files = false;
  uint32_t delete_port_error = 0;
  HandleCount handles;

 private:
  friend class FakePrinterHandle;
  CallLog& log_;
  FakeRegistry& registry_;
};

// One answer of a status query or of a control.
struct StatusStep {
  ServiceStatus status;
  uint32_t error = 0;  // non-zero: the call fails with it
};
StatusStep Stopped();
StatusStep Running();
StatusStep StopPending(uint32_t wait_hint, uint32_t check_point = 0);
StatusStep StartPending(uint32_t wait_hint, uint32_t check_point = 0);
StatusStep CallFails(uint32_t error);

// What one service answers. Queries are answered in order, the last answer repeating; a
// successful stop control or start switches to the answers given for after it, when any.
struct FakeServiceScript {
  uint32_t open_error = 0;
  std::vector<StatusStep> queries{Running()};
  StatusStep control_answer = StopPending(0);
  std::vector<StatusStep> queries_after_stop;
  uint32_t start_error = 0;
  std::vector<StatusStep> queries_after_start;
  std::vector<std::u16string> active_dependents;
  uint32_t enum_error = 0;       // replaces the sizing call's answer (ERROR_MORE_DATA or success)
  uint32_t enum_fill_error = 0;  // the filling call fails with it
  uint32_t query_cost_ms = 0;    // virtual time each status query takes

  size_t next_query = 0;
  int stop_controls = 0;
  int starts = 0;
};

class FakeServiceManager : public ServiceManagerApi {
 public:
  FakeServiceManager(CallLog& log, FakeClock& clock) : log_(log), clock_(clock) {}
  Outcome OpenManager(uint32_t access, std::unique_ptr<ServiceControlManager>& manager) override;

  FakeServiceScript& Script(const std::u16string& name) { return services[name]; }

  uint32_t open_manager_error = 0;
  std::map<std::u16string, FakeServiceScript> services;
  HandleCount handles;

 private:
  friend class FakeScm;
  friend class FakeService;
  CallLog& log_;
  FakeClock& clock_;
};

// All fakes of one run, wired together.
struct FakeSystem {
  FakeSystem();
  FalcrestPlatform Platform();
  InstallerPlatform Installer();
  // Every handle any fake handed out has been closed.
  int HandlesStillOpen() const;

  CallLog log;
  FakeConsole console;
  FakeClock clock{log};
  FakeEnvironment environment{log};
  FakeFiles files{log};
  FakeRegistry registry{log};
  FakeTokens tokens{log};
  FakeSpooler spooler{log, registry};
  FakeServiceManager services{log, clock};
};

// Installation kit at `folder` (ending in a backslash): AFP32.dll and the driver files under
// Driver\, each file holding its own name.
void PutKit(FakeFiles& files, const std::u16string& folder);

}  // namespace falcrest::testing
