// Fakes of Falcrest's platform for native tests.
#include "tests/falcrest/falcrest_fakes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "falcrest/installer_names.h"

namespace falcrest::testing {

namespace {

constexpr uint32_t kErrorInsufficientBuffer = 122;
constexpr uint32_t kErrorUnknownPrinterDriver = 1797;
constexpr uint32_t kErrorPrinterAlreadyExists = 1802;
constexpr uint32_t kErrorMonitorAlreadyInstalled = 3006;
constexpr uint32_t kErrorServiceDoesNotExist = 1060;
constexpr uint32_t kErrorPollingRunaway = 0xDEAD;
constexpr size_t kMostQueries = 100000;

std::u16string Lower(const std::u16string& text) {
  std::u16string lower = text;
  for (char16_t& c : lower)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  return lower;
}

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof(text), "0x%X", value);
  return text;
}

}  // namespace

std::string Narrow(const std::u16string& text) {
  std::string narrow;
  for (char16_t c : text) narrow += c < 0x80 ? static_cast<char>(c) : '?';
  return narrow;
}

std::u16string Widen(std::string_view ascii) {
  return std::u16string(ascii.begin(), ascii.end());
}

std::vector<std::string> CallLog::Matching(std::string_view prefix) const {
  std::vector<std::string> found;
  for (const std::string& call : calls)
    if (call.starts_with(prefix)) found.push_back(call);
  return found;
}

bool CallLog::Contains(std::string_view call) const {
  return IndexOf(call) < calls.size();
}

size_t CallLog::IndexOf(std::string_view call) const {
  return static_cast<size_t>(std::find(calls.begin(), calls.end(), call) - calls.begin());
}

void FakeClock::Sleep(uint32_t milliseconds) {
  log_.Add("Sleep(" + std::to_string(milliseconds) + ")");
  sleeps.push_back(milliseconds);
  now += milliseconds;
}

std::optional<std::u16string> FakeEnvironment::ExpandText(const std::u16string& text) {
  log_.Add("ExpandEnvironmentStrings(" + Narrow(text) + ")");
  if (expand_fails) return std::nullopt;
  std::u16string expanded = text;
  const std::u16string variable = u"%WINDIR%";
  for (size_t at = expanded.find(variable); at != std::u16string::npos;
       at = expanded.find(variable, at + windir.size()))
    expanded.replace(at, variable.size(), windir);
  return expanded;
}

std::u16string FakeEnvironment::ProgramFilePath() {
  log_.Add("GetModuleFileName");
  return program_path;
}

Outcome FakeEnvironment::SystemDirectory(std::u16string& folder) {
  log_.Add("GetSystemDirectory");
  if (system_directory_error) return Outcome::Failure(system_directory_error);
  folder = system_directory;
  return Outcome::Success();
}

Outcome FakeFiles::CopyOver(const std::u16string& from, const std::u16string& to) {
  log_.Add("CopyFile(" + Narrow(from) + " -> " + Narrow(to) + ")");
  const auto error = copy_errors.find(Lower(from));
  if (error != copy_errors.end()) return Outcome::Failure(error->second);
  const auto source = files.find(Lower(from));
  if (source == files.end()) return Outcome::Failure(kErrorFileNotFound);
  files[Lower(to)] = source->second;
  copies.emplace_back(from, to);
  return Outcome::Success();
}

void FakeFiles::Put(const std::u16string& path, const std::string& content) {
  files[Lower(path)] = content;
}

bool FakeFiles::Exists(const std::u16string& path) const {
  return files.count(Lower(path)) != 0;
}

std::string FakeFiles::Content(const std::u16string& path) const {
  const auto file = files.find(Lower(path));
  return file == files.end() ? std::string() : file->second;
}

namespace {

class FakeKey : public RegistryKey {
 public:
  FakeKey(FakeRegistry& registry, CallLog& log, std::u16string path)
      : registry_(registry), log_(log), path_(std::move(path)) {
    ++registry_.handles.opened;
  }
  ~FakeKey() override {
    ++registry_.handles.closed;
    log_.Add("RegCloseKey(" + Narrow(path_) + ")");
  }
  Outcome SetValueBytes(const std::u16string& name, uint32_t type,
                        const std::vector<uint8_t>& data) override {
    log_.Add("RegSetValueEx(" + Narrow(name) + ", " + std::to_string(type) + ", " +
             std::to_string(data.size()) + " bytes)");
    if (registry_.set_value_error) return Outcome::Failure(registry_.set_value_error);
    registry_.keys[Lower(path_)][name] = StoredValue{type, data};
    return Outcome::Success();
  }

 private:
  FakeRegistry& registry_;
  CallLog& log_;
  std::u16string path_;
};

}  // namespace

Outcome FakeRegistry::OpenMachineKey(const std::u16string& path, uint32_t access,
                                     std::unique_ptr<RegistryKey>& key) {
  log_.Add("RegOpenKeyEx(" + Narrow(path) + ", " + Hex(access) + ")");
  if (!HasKey(path)) return Outcome::Failure(kErrorFileNotFound);
  key = std::make_unique<FakeKey>(*this, log_, path);
  return Outcome::Success();
}

Outcome FakeRegistry::DeleteMachineKey(const std::u16string& path) {
  log_.Add("RegDeleteKey(" + Narrow(path) + ")");
  if (keys.erase(Lower(path)) == 0) return Outcome::Failure(kErrorFileNotFound);
  return Outcome::Success();
}

void FakeRegistry::CreateKey(const std::u16string& path) {
  keys[Lower(path)];
}

bool FakeRegistry::HasKey(const std::u16string& path) const {
  return keys.count(Lower(path)) != 0;
}

std::optional<StoredValue> FakeRegistry::Value(const std::u16string& path,
                                               const std::u16string& name) const {
  const auto key = keys.find(Lower(path));
  if (key == keys.end()) return std::nullopt;
  const auto value = key->second.find(name);
  if (value == key->second.end()) return std::nullopt;
  return value->second;
}

namespace {

class FakeAccessToken : public AccessToken {
 public:
  FakeAccessToken(FakeTokens& tokens, CallLog& log) : tokens_(tokens), log_(log) {
    ++tokens_.handles.opened;
  }
  ~FakeAccessToken() override {
    ++tokens_.handles.closed;
    log_.Add("CloseHandle(token)");
  }
  Outcome AdjustPrivilege(const Luid& privilege, uint32_t attributes) override {
    log_.Add("AdjustTokenPrivileges(" + std::to_string(privilege.LowPart) + ":" +
             std::to_string(privilege.HighPart) + ", " + std::to_string(attributes) + ")");
    if (tokens_.adjust_error) return Outcome::Failure(tokens_.adjust_error);
    return Outcome::Success();
  }

 private:
  FakeTokens& tokens_;
  CallLog& log_;
};

}  // namespace

Outcome FakeTokens::OpenCurrentProcessToken(uint32_t access, std::unique_ptr<AccessToken>& token) {
  log_.Add("OpenProcessToken(" + Hex(access) + ")");
  if (open_error) return Outcome::Failure(open_error);
  token = std::make_unique<FakeAccessToken>(*this, log_);
  return Outcome::Success();
}

Outcome FakeTokens::LookupPrivilege(const std::u16string& name, Luid& privilege) {
  log_.Add("LookupPrivilegeValue(" + Narrow(name) + ")");
  if (lookup_error) return Outcome::Failure(lookup_error);
  privilege = load_driver_privilege;
  return Outcome::Success();
}

class FakePrinterHandle : public PrinterHandle {
 public:
  FakePrinterHandle(FakeSpooler& spooler, std::u16string name)
      : spooler_(spooler), name_(std::move(name)) {
    ++spooler_.handles.opened;
  }
  ~FakePrinterHandle() override {
    ++spooler_.handles.closed;
    spooler_.log_.Add("ClosePrinter(" + Narrow(name_) + ")");
  }
  Outcome DeletePrinterObject() override {
    spooler_.log_.Add("DeletePrinter(" + Narrow(name_) + ")");
    const auto error = spooler_.delete_printer_errors.find(name_);
    if (error != spooler_.delete_printer_errors.end()) return Outcome::Failure(error->second);
    std::erase_if(spooler_.printers, [&](const FakePrinter& p) { return p.name == name_; });
    return Outcome::Success();
  }

 private:
  FakeSpooler& spooler_;
  std::u16string name_;
};

Outcome FakeSpooler::AddMonitorLevel2(const MonitorInfo2& monitor) {
  log_.Add("AddMonitor(" + Narrow(monitor.Name) + ", " + Narrow(monitor.Environment) + ", " +
           Narrow(monitor.DllName) + ")");
  if (add_monitor_error) return Outcome::Failure(add_monitor_error);
  for (const MonitorInfo2& known : monitors)
    if (known.Name == monitor.Name) return Outcome::Failure(kErrorMonitorAlreadyInstalled);
  monitors.push_back(monitor);
  registry_.CreateKey(u"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\" + monitor.Name);
  return Outcome::Success();
}

Outcome FakeSpooler::AddDriverLevel3(const DriverInfo3& driver) {
  log_.Add("AddPrinterDriver(" + Narrow(driver.Name) + ")");
  if (add_driver_error) return Outcome::Failure(add_driver_error);
  drivers.push_back(driver);
  return Outcome::Success();
}

Outcome FakeSpooler::AddPrinterLevel2(const PrinterInfo2& printer,
                                      std::unique_ptr<PrinterHandle>& handle) {
  log_.Add("AddPrinter(" + Narrow(printer.PrinterName) + ")");
  if (add_printer_error) return Outcome::Failure(add_printer_error);
  if (HasPrinter(printer.PrinterName)) return Outcome::Failure(kErrorPrinterAlreadyExists);
  printers.push_back(FakePrinter{printer.PrinterName, printer.DriverName, printer.PortName,
                                 printer.Location, printer.PrintProcessor, printer.Datatype});
  handle = std::make_unique<FakePrinterHandle>(*this, printer.PrinterName);
  return Outcome::Success();
}

Outcome FakeSpooler::EnumPrintersLevel2(uint32_t flags, uint32_t buffer_bytes, uint32_t& needed,
                                        std::vector<EnumeratedPrinter>& listed) {
  log_.Add("EnumPrinters(" + std::to_string(flags) + ", " + std::to_string(buffer_bytes) + ")");
  // PRINTER_INFO_2W records followed by their strings.
  needed = 0;
  for (const FakePrinter& p : printers)
    needed += static_cast<uint32_t>(84 + 2 * (p.name.size() + p.driver.size() + p.port.size() + 3));
  if (buffer_bytes < needed) return Outcome::Failure(kErrorInsufficientBuffer);
  if (enum_fill_error) return Outcome::Failure(enum_fill_error);
  listed.clear();
  for (const FakePrinter& p : printers) listed.push_back({p.name, p.driver});
  return Outcome::Success();
}

Outcome FakeSpooler::OpenPrinterByName(const std::u16string& name, uint32_t access,
                                       std::unique_ptr<PrinterHandle>& handle) {
  log_.Add("OpenPrinter(" + Narrow(name) + ", " + Hex(access) + ")");
  const auto error = open_printer_errors.find(name);
  if (error != open_printer_errors.end()) return Outcome::Failure(error->second);
  handle = std::make_unique<FakePrinterHandle>(*this, name);
  return Outcome::Success();
}

Outcome FakeSpooler::DeleteDriverEx(const std::u16string& environment, const std::u16string& name,
                                    uint32_t flags, uint32_t version) {
  log_.Add("DeletePrinterDriverEx(" + Narrow(environment) + ", " + Narrow(name) + ", " +
           std::to_string(flags) + ", " + std::to_string(version) + ")");
  if (delete_driver_error) return Outcome::Failure(delete_driver_error);
  if (refuses_deleting_files && (flags & kDpdDeleteUnusedFiles))
    return Outcome::Failure(kErrorInvalidParameter);
  if (std::erase_if(drivers, [&](const DriverInfo3& d) { return d.Name == name; }) == 0)
    return Outcome::Failure(kErrorUnknownPrinterDriver);
  return Outcome::Success();
}

Outcome FakeSpooler::DeletePortByName(const std::u16string& name) {
  log_.Add("DeletePort(" + Narrow(name) + ")");
  if (delete_port_error) return Outcome::Failure(delete_port_error);
  return Outcome::Success();
}

bool FakeSpooler::HasPrinter(const std::u16string& name) const {
  return std::any_of(printers.begin(), printers.end(),
                     [&](const FakePrinter& p) { return p.name == name; });
}

void FakeSpooler::PutPrinter(const std::u16string& name, const std::u16string& driver,
                             const std::u16string& port) {
  FakePrinter printer;
  printer.name = name;
  printer.driver = driver;
  printer.port = port;
  printers.push_back(printer);
}

void FakeSpooler::PutDriver(const std::u16string& name) {
  DriverInfo3 driver;
  driver.Version = 3;
  driver.Name = name;
  drivers.push_back(driver);
}

StatusStep Stopped() {
  return StatusStep{ServiceStatus{kServiceStopped, 0, 0, 0}};
}
StatusStep Running() {
  return StatusStep{ServiceStatus{kServiceRunning, 0, 0, 0}};
}
StatusStep StopPending(uint32_t wait_hint, uint32_t check_point) {
  return StatusStep{ServiceStatus{kServiceStopPending, 0, check_point, wait_hint}};
}
StatusStep StartPending(uint32_t wait_hint, uint32_t check_point) {
  return StatusStep{ServiceStatus{kServiceStartPending, 0, check_point, wait_hint}};
}
StatusStep CallFails(uint32_t error) {
  return StatusStep{ServiceStatus{}, error};
}

class FakeService : public Service {
 public:
  FakeService(FakeServiceManager& manager, std::u16string name)
      : manager_(manager), name_(std::move(name)) {
    ++manager_.handles.opened;
  }
  ~FakeService() override {
    ++manager_.handles.closed;
    manager_.log_.Add("CloseServiceHandle(" + Narrow(name_) + ")");
  }

  Outcome QueryStatus(ServiceStatus& status) override {
    manager_.log_.Add("QueryServiceStatusEx(" + Narrow(name_) + ")");
    FakeServiceScript& script = Script();
    // A wait that never ends is a fault of the code under test; end it instead of hanging.
    if (script.next_query > kMostQueries) {
      ADD_FAILURE() << "endless status polling of " << Narrow(name_);
      return Outcome::Failure(kErrorPollingRunaway);
    }
    manager_.clock_.now += script.query_cost_ms;
    const size_t at = std::min(script.next_query, script.queries.size() - 1);
    ++script.next_query;
    const StatusStep& step = script.queries.at(at);
    if (step.error) return Outcome::Failure(step.error);
    status = step.status;
    return Outcome::Success();
  }

  Outcome SendControl(uint32_t control, ServiceStatus& status) override {
    manager_.log_.Add("ControlService(" + Narrow(name_) + ", " + std::to_string(control) + ")");
    FakeServiceScript& script = Script();
    if (script.control_answer.error) return Outcome::Failure(script.control_answer.error);
    ++script.stop_controls;
    status = script.control_answer.status;
    Switch(script, script.queries_after_stop);
    return Outcome::Success();
  }

  Outcome EnumDependents(uint32_t state, uint32_t buffer_bytes, uint32_t& needed,
                         std::vector<std::u16string>& names) override {
    manager_.log_.Add("EnumDependentServices(" + Narrow(name_) + ", " + std::to_string(state) +
                      ", " + std::to_string(buffer_bytes) + ")");
    FakeServiceScript& script = Script();
    // ENUM_SERVICE_STATUSW records (36 bytes) followed by their names.
    needed = 0;
    for (const std::u16string& name : script.active_dependents)
      needed += static_cast<uint32_t>(36 + 2 * (name.size() + 1));
    if (buffer_bytes == 0 && script.enum_error) return Outcome::Failure(script.enum_error);
    if (buffer_bytes < needed) return Outcome::Failure(kErrorMoreData);
    if (script.enum_fill_error) return Outcome::Failure(script.enum_fill_error);
    names = script.active_dependents;
    return Outcome::Success();
  }

  Outcome StartWithoutArguments() override {
    manager_.log_.Add("StartService(" + Narrow(name_) + ")");
    FakeServiceScript& script = Script();
    if (script.start_error) return Outcome::Failure(script.start_error);
    ++script.starts;
    Switch(script, script.queries_after_start);
    return Outcome::Success();
  }

 private:
  FakeServiceScript& Script() { return manager_.services.at(name_); }
  static void Switch(FakeServiceScript& script, const std::vector<StatusStep>& queries) {
    if (queries.empty()) return;
    script.queries = queries;
    script.next_query = 0;
  }

  FakeServiceManager& manager_;
  std::u16string name_;
};

class FakeScm : public ServiceControlManager {
 public:
  explicit FakeScm(FakeServiceManager& manager) : manager_(manager) { ++manager_.handles.opened; }
  ~FakeScm() override {
    ++manager_.handles.closed;
    manager_.log_.Add("CloseServiceHandle(SCManager)");
  }
  Outcome OpenServiceByName(const std::u16string& name, uint32_t access,
                            std::unique_ptr<Service>& service) override {
    manager_.log_.Add("OpenService(" + Narrow(name) + ", " + Hex(access) + ")");
    const auto script = manager_.services.find(name);
    if (script == manager_.services.end()) return Outcome::Failure(kErrorServiceDoesNotExist);
    if (script->second.open_error) return Outcome::Failure(script->second.open_error);
    service = std::make_unique<FakeService>(manager_, name);
    return Outcome::Success();
  }

 private:
  FakeServiceManager& manager_;
};

Outcome FakeServiceManager::OpenManager(uint32_t access,
                                        std::unique_ptr<ServiceControlManager>& manager) {
  log_.Add("OpenSCManager(" + Hex(access) + ")");
  if (open_manager_error) return Outcome::Failure(open_manager_error);
  manager = std::make_unique<FakeScm>(*this);
  return Outcome::Success();
}

FakeSystem::FakeSystem() {
  // A spooler that is running and stops and starts at once.
  FakeServiceScript& spooler = services.Script(kSpoolerServiceName);
  spooler.queries = {Running()};
  spooler.control_answer = Stopped();
  spooler.queries_after_stop = {Stopped()};
  spooler.queries_after_start = {Running()};
}

FalcrestPlatform FakeSystem::Platform() {
  return FalcrestPlatform{environment, files, registry, tokens, spooler, services, clock, console};
}

InstallerPlatform FakeSystem::Installer() {
  return InstallerPlatform{environment, files, spooler, console};
}

int FakeSystem::HandlesStillOpen() const {
  return registry.handles.StillOpen() + tokens.handles.StillOpen() + spooler.handles.StillOpen() +
         services.handles.StillOpen();
}

void PutKit(FakeFiles& files, const std::u16string& folder) {
  files.Put(folder + u"AFP32.dll", "AFP32.dll");
  for (const char* name : {"CWBAFP.DLL", "CWBAFPUI.DLL", "ODAFP.CHM", "CWBAFPR.DLL", "CWBAFAPI.DLL",
                           "LABCMYK.LUT", "CMYK212HALF.PS", "AFP.EXE"})
    files.Put(folder + u"Driver\\" + Widen(name), name);
}

}  // namespace falcrest::testing
