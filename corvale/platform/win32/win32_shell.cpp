// ShellExecuteEx with a process handle, and the wait for that process.
#include "corvale/platform/win32/win32_shell.h"

#include "common/win32/windows_support.h"

#include <objbase.h>
#include <shellapi.h>

#include "corvale/platform/win32/wide_text.h"

namespace corvale::win32 {

uint32_t Win32Shell::RunHiddenAndWait(const std::string& program, const std::string& parameters) {
  // The shell may use COM; this runs on a runner thread of its own.
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  const std::wstring file = Wide(program);
  const std::wstring arguments = Wide(parameters);
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof info;
  // No error box from the shell: a runner of an unattended server must never wait for an
  // operator; the failure is logged instead.
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  info.hwnd = nullptr;
  info.lpVerb = nullptr;
  info.lpFile = file.c_str();
  info.lpParameters = arguments.c_str();
  info.lpDirectory = nullptr;
  info.nShow = SW_HIDE;
  uint32_t error = 0;
  if (!ShellExecuteExW(&info)) {
    error = GetLastError();
    if (error == 0) error = ERROR_FILE_NOT_FOUND;
  }
  if (info.hProcess) {
    WaitForSingleObject(info.hProcess, INFINITE);
    CloseHandle(info.hProcess);
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return error;
}

void Win32Shell::OpenDocument(const std::string& path) {
  ShellExecuteW(static_cast<HWND>(owner_), L"open", Wide(path).c_str(), nullptr, nullptr, SW_SHOW);
}

}  // namespace corvale::win32
