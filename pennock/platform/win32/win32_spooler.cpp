// The spooler calls: printer enumeration at level 4 and the change notifications of a printer.
#include "pennock/platform/win32/win32_platform.h"

#include <winspool.h>

#include <cstddef>
#include <new>
#include <string_view>
#include <vector>

#include "pennock/platform/notify_info_copy.h"

namespace pennock::win32 {
namespace {

// PRINTER_NOTIFY_OPTIONS built from the portable request, alive as long as this object.
class NativeOptions {
 public:
  explicit NativeOptions(const NotifyOptions& request) : fields_(request.Types.size()) {
    for (std::size_t i = 0; i < request.Types.size(); ++i) {
      const NotifyOptionsType& type = request.Types[i];
      fields_[i].assign(type.Fields.begin(), type.Fields.end());
      PRINTER_NOTIFY_OPTIONS_TYPE native{};
      native.Type = type.Type;
      native.Reserved0 = type.Reserved0;
      native.Reserved1 = type.Reserved1;
      native.Reserved2 = type.Reserved2;
      native.Count = static_cast<DWORD>(fields_[i].size());
      native.pFields = fields_[i].data();
      types_.push_back(native);
    }
    options_.Version = request.Version;
    options_.Flags = request.Flags;
    options_.Count = static_cast<DWORD>(types_.size());
    options_.pTypes = types_.data();
  }
  PRINTER_NOTIFY_OPTIONS* Get() { return &options_; }

 private:
  std::vector<std::vector<WORD>> fields_;
  std::vector<PRINTER_NOTIFY_OPTIONS_TYPE> types_;
  PRINTER_NOTIFY_OPTIONS options_{};
};

// The portable mirror must be the layout of the records the spooler hands out.
static_assert(sizeof(NotifyInfoDataRecord) == sizeof(PRINTER_NOTIFY_INFO_DATA));
static_assert(offsetof(NotifyInfoDataRecord, Type) == offsetof(PRINTER_NOTIFY_INFO_DATA, Type));
static_assert(offsetof(NotifyInfoDataRecord, Field) == offsetof(PRINTER_NOTIFY_INFO_DATA, Field));
static_assert(offsetof(NotifyInfoDataRecord, Id) == offsetof(PRINTER_NOTIFY_INFO_DATA, Id));
static_assert(offsetof(NotifyInfoDataRecord, NotifyData.adwData) ==
              offsetof(PRINTER_NOTIFY_INFO_DATA, NotifyData.adwData));
static_assert(offsetof(NotifyInfoDataRecord, NotifyData.Data.cbBuf) ==
              offsetof(PRINTER_NOTIFY_INFO_DATA, NotifyData.Data.cbBuf));
static_assert(offsetof(NotifyInfoDataRecord, NotifyData.Data.pBuf) ==
              offsetof(PRINTER_NOTIFY_INFO_DATA, NotifyData.Data.pBuf));
static_assert(offsetof(NotifyInfoRecord, Version) == offsetof(PRINTER_NOTIFY_INFO, Version));
static_assert(offsetof(NotifyInfoRecord, Flags) == offsetof(PRINTER_NOTIFY_INFO, Flags));
static_assert(offsetof(NotifyInfoRecord, Count) == offsetof(PRINTER_NOTIFY_INFO, Count));
static_assert(offsetof(NotifyInfoRecord, aData) == offsetof(PRINTER_NOTIFY_INFO, aData));
static_assert(sizeof(wchar_t) == sizeof(char16_t));

std::string AnsiOf(std::u16string_view text) {
  if (text.empty()) return std::string();
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  const auto units = static_cast<int>(text.size());
  int length = WideCharToMultiByte(CP_ACP, 0, wide, units, nullptr, 0, nullptr, nullptr);
  std::string converted(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide, units, converted.data(), length, nullptr, nullptr);
  return converted;
}

}  // namespace

NotifyInfo CopyNotifyInfo(const PRINTER_NOTIFY_INFO& info) {
  return pennock::CopyNotifyInfo(*reinterpret_cast<const NotifyInfoRecord*>(&info), AnsiOf);
}

PrinterListSize Win32Spooler::LocalPrintersSize() {
  DWORD needed = 0;
  DWORD count = 0;
  BOOL ok = EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 4, nullptr, 0, &needed, &count);
  return PrinterListSize{ok != FALSE, needed, ok ? 0 : GetLastError()};
}

PrinterList Win32Spooler::ReadLocalPrinters(std::uint32_t bufferSize) {
  PrinterList list;
  std::unique_ptr<BYTE[]> buffer(bufferSize ? new (std::nothrow) BYTE[bufferSize] : nullptr);
  if (!buffer) return list;
  list.BufferObtained = true;
  DWORD needed = 0;
  DWORD count = 0;
  if (!EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 4, buffer.get(), bufferSize, &needed, &count)) {
    list.Error = GetLastError();
    return list;
  }
  list.Succeeded = true;
  list.Count = count;
  const auto* entries = reinterpret_cast<const PRINTER_INFO_4A*>(buffer.get());
  for (DWORD i = 0; i < count; ++i) {
    const char* name = entries[i].pPrinterName;
    list.Names.push_back(name ? std::optional<std::string>(name) : std::nullopt);
  }
  return list;
}

std::optional<PrinterId> Win32Spooler::OpenNamedPrinter(const std::string& name) {
  HANDLE printer = nullptr;
  if (!OpenPrinterA(const_cast<char*>(name.c_str()), &printer, nullptr)) return std::nullopt;
  return IdOf(printer);
}

void Win32Spooler::ClosePrinter(PrinterId printer) {
  ::ClosePrinter(HandleOf<HANDLE>(printer));
}

ChangeId Win32Spooler::FindFirstPrinterChangeNotification(PrinterId printer, std::uint32_t filter,
                                                          std::uint32_t options,
                                                          const NotifyOptions& notifyOptions) {
  NativeOptions native(notifyOptions);
  HANDLE change = ::FindFirstPrinterChangeNotification(HandleOf<HANDLE>(printer), filter, options,
                                                       native.Get());
  return change == INVALID_HANDLE_VALUE ? kInvalidChange : IdOf(change);
}

bool Win32Spooler::WaitForChange(ChangeId change) {
  return WaitForSingleObject(HandleOf<HANDLE>(change), INFINITE) == WAIT_OBJECT_0;
}

NotifyFetch Win32Spooler::FindNextPrinterChangeNotification(ChangeId change,
                                                            const NotifyOptions& notifyOptions) {
  NativeOptions native(notifyOptions);
  DWORD changeFlags = 0;
  PRINTER_NOTIFY_INFO* info = nullptr;
  BOOL ok = ::FindNextPrinterChangeNotification(HandleOf<HANDLE>(change), &changeFlags,
                                                native.Get(), reinterpret_cast<void**>(&info));
  NotifyFetch fetch;
  fetch.Succeeded = ok != FALSE;
  if (info) {
    fetch.Info = CopyNotifyInfo(*info);
    FreePrinterNotifyInfo(info);
  }
  return fetch;
}

void Win32Spooler::FindClosePrinterChangeNotification(ChangeId change) {
  ::FindClosePrinterChangeNotification(HandleOf<HANDLE>(change));
}

}  // namespace pennock::win32
