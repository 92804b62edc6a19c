#include "corvale/platform/win32/close_request.h"

#include <sddl.h>

#include <string>

namespace corvale::win32 {

namespace {

// The system, administrators and the user whose Corvale made it may ask; every user logged on
// at the computer may wait for it, so that each session's Corvale listens to the same event.
std::wstring RequestSecurity() {
  std::wstring owner;
  HANDLE token = nullptr;
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
    BYTE buffer[256];
    DWORD size = 0;
    if (GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size)) {
      LPWSTR sid = nullptr;
      if (ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &sid)) {
        owner = sid;
        LocalFree(sid);
      }
    }
    CloseHandle(token);
  }
  std::wstring sddl = L"D:(A;;0x1F0003;;;SY)(A;;0x1F0003;;;BA)(A;;0x00100000;;;IU)";
  if (!owner.empty()) sddl += L"(A;;0x1F0003;;;" + owner + L")";
  return sddl;
}

}  // namespace

CloseRequestListener::~CloseRequestListener() {
  if (thread_.joinable()) {
    SetEvent(stop_);
    thread_.join();
  }
  if (stop_) CloseHandle(stop_);
  if (request_) CloseHandle(request_);
}

bool CloseRequestListener::Listen(HWND window, UINT message) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const std::wstring sddl = RequestSecurity();
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                            &descriptor, nullptr))
    descriptor = nullptr;
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
  request_ = CreateEventW(descriptor ? &attributes : nullptr, TRUE, FALSE, kCloseRequestName);
  if (!request_) request_ = OpenEventW(SYNCHRONIZE, FALSE, kCloseRequestName);
  if (descriptor) LocalFree(descriptor);
  stop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!request_ || !stop_) return false;
  thread_ = std::thread([this, window, message] {
    const HANDLE handles[] = {stop_, request_};
    if (WaitForMultipleObjects(2, handles, FALSE, INFINITE) == WAIT_OBJECT_0 + 1)
      PostMessageW(window, message, 0, 0);
  });
  return true;
}

}  // namespace corvale::win32
