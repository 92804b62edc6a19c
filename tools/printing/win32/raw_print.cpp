// RAW printing through the Windows spooler.
#include "tools/printing/win32/raw_print.h"

#include "common/win32/windows_support.h"

#include <winspool.h>

#include <algorithm>
#include <vector>

namespace varnell::tools {
namespace {

void ClosePrinterHandle(HANDLE h) {
  ClosePrinter(h);
}
using ScopedPrinter = win32::ScopedHandle<HANDLE, ClosePrinterHandle, win32::NullHandle>;

std::string ErrorText(DWORD code) {
  return win32::SystemErrorText(code) + " (" + std::to_string(code) + ")";
}

}  // namespace

std::string LastErrorText() {
  return ErrorText(GetLastError());
}

std::string PrintRaw(const std::string& printer, const std::string& document_name,
                     const std::string& bytes, unsigned long* job_id) {
  HANDLE raw = nullptr;
  if (!OpenPrinterA(const_cast<char*>(printer.c_str()), &raw, nullptr))
    return "OpenPrinter(" + printer + ") failed: " + LastErrorText();
  ScopedPrinter handle(raw);
  DOC_INFO_1A doc = {};
  doc.pDocName = const_cast<char*>(document_name.c_str());
  doc.pDatatype = const_cast<char*>("RAW");
  DWORD job = StartDocPrinterA(handle.Get(), 1, reinterpret_cast<BYTE*>(&doc));
  if (!job) return "StartDocPrinter failed: " + LastErrorText();
  if (job_id) *job_id = job;
  if (!StartPagePrinter(handle.Get())) {
    std::string reason = "StartPagePrinter failed: " + LastErrorText();
    EndDocPrinter(handle.Get());
    return reason;
  }
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1 << 20));
    DWORD written = 0;
    if (!WritePrinter(handle.Get(), const_cast<char*>(bytes.data() + done), chunk, &written) ||
        written == 0) {
      std::string reason = "WritePrinter failed: " + LastErrorText();
      EndPagePrinter(handle.Get());
      EndDocPrinter(handle.Get());
      return reason;
    }
    done += written;
  }
  if (!EndPagePrinter(handle.Get())) {
    std::string reason = "EndPagePrinter failed: " + LastErrorText();
    EndDocPrinter(handle.Get());
    return reason;
  }
  if (!EndDocPrinter(handle.Get())) return "EndDocPrinter failed: " + LastErrorText();
  return std::string();
}

std::string ReadWholeFile(const std::string& path, std::string& bytes) {
  win32::ScopedFileHandle file(CreateFileA(path.c_str(), GENERIC_READ,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return "cannot open " + path + ": " + LastErrorText();
  bytes.clear();
  std::vector<char> buffer(1 << 16);
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr))
      return "cannot read " + path + ": " + LastErrorText();
    if (read == 0) break;
    bytes.append(buffer.data(), read);
  }
  return std::string();
}

std::string DefaultPrinterName() {
  DWORD size = 0;
  GetDefaultPrinterA(nullptr, &size);
  if (size == 0) return std::string();
  std::string name(size, '\0');
  if (!GetDefaultPrinterA(name.data(), &size)) return std::string();
  name.resize(name.find('\0') == std::string::npos ? name.size() : name.find('\0'));
  return name;
}

}  // namespace varnell::tools
