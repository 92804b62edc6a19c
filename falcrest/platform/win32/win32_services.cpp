// The service control manager calls of the installer on Win32.
#include "falcrest/platform/win32/win32_platform.h"

#include "falcrest/platform/win32/wide_text.h"

namespace falcrest::win32 {

namespace {

inline SC_HANDLE NullService() {
  return nullptr;
}
inline void CloseService(SC_HANDLE service) {
  CloseServiceHandle(service);
}
using ScopedService = varnell::win32::ScopedHandle<SC_HANDLE, CloseService, NullService>;

void CopyStatus(const SERVICE_STATUS& from, ServiceStatus& to) {
  to.CurrentState = from.dwCurrentState;
  to.Win32ExitCode = from.dwWin32ExitCode;
  to.CheckPoint = from.dwCheckPoint;
  to.WaitHint = from.dwWaitHint;
}

// A zeroed block of the process heap, given back when it goes out of scope.
class HeapBlock {
 public:
  explicit HeapBlock(DWORD bytes)
      : data_(bytes ? HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes) : nullptr) {}
  HeapBlock(const HeapBlock&) = delete;
  HeapBlock& operator=(const HeapBlock&) = delete;
  ~HeapBlock() {
    if (data_) HeapFree(GetProcessHeap(), 0, data_);
  }
  void* Get() const { return data_; }

 private:
  void* data_;
};

class Win32Service : public Service {
 public:
  explicit Win32Service(SC_HANDLE service) : service_(service) {}

  Outcome QueryStatus(ServiceStatus& status) override {
    SERVICE_STATUS_PROCESS process = {};
    DWORD needed = 0;
    static_assert(sizeof(process) == 36);
    if (!QueryServiceStatusEx(service_.Get(), SC_STATUS_PROCESS_INFO,
                              reinterpret_cast<BYTE*>(&process), sizeof(process), &needed))
      return LastErrorOutcome();
    status.CurrentState = process.dwCurrentState;
    status.Win32ExitCode = process.dwWin32ExitCode;
    status.CheckPoint = process.dwCheckPoint;
    status.WaitHint = process.dwWaitHint;
    return Outcome::Success();
  }

  Outcome SendControl(uint32_t control, ServiceStatus& status) override {
    SERVICE_STATUS reported = {};
    if (!ControlService(service_.Get(), control, &reported)) return LastErrorOutcome();
    CopyStatus(reported, status);
    return Outcome::Success();
  }

  Outcome EnumDependents(uint32_t state, uint32_t buffer_bytes, uint32_t& needed,
                         std::vector<std::u16string>& names) override {
    HeapBlock buffer(buffer_bytes);
    if (buffer_bytes && !buffer.Get()) return Outcome::Failure(ERROR_NOT_ENOUGH_MEMORY);
    DWORD needed_bytes = 0;
    DWORD count = 0;
    auto* records = static_cast<ENUM_SERVICE_STATUSW*>(buffer.Get());
    const BOOL listed =
        EnumDependentServicesW(service_.Get(), state, records, buffer_bytes, &needed_bytes, &count);
    needed = needed_bytes;
    if (!listed) return LastErrorOutcome();
    names.clear();
    for (DWORD i = 0; records && i < count; ++i)
      names.push_back(FromWide(records[i].lpServiceName));
    return Outcome::Success();
  }

  Outcome StartWithoutArguments() override {
    if (!StartServiceW(service_.Get(), 0, nullptr)) return LastErrorOutcome();
    return Outcome::Success();
  }

 private:
  ScopedService service_;
};

class Win32ServiceControlManager : public ServiceControlManager {
 public:
  explicit Win32ServiceControlManager(SC_HANDLE manager) : manager_(manager) {}

  Outcome OpenServiceByName(const std::u16string& name, uint32_t access,
                            std::unique_ptr<Service>& service) override {
    const SC_HANDLE opened = OpenServiceW(manager_.Get(), Wide(name), access);
    if (opened == nullptr) return LastErrorOutcome();
    service = std::make_unique<Win32Service>(opened);
    return Outcome::Success();
  }

 private:
  ScopedService manager_;
};

}  // namespace

Outcome Win32ServiceManager::OpenManager(uint32_t access,
                                         std::unique_ptr<ServiceControlManager>& manager) {
  const SC_HANDLE opened = OpenSCManagerW(nullptr, nullptr, access);
  if (opened == nullptr) return LastErrorOutcome();
  manager = std::make_unique<Win32ServiceControlManager>(opened);
  return Outcome::Success();
}

}  // namespace falcrest::win32
