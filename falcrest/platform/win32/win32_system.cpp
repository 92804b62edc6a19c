// Environment, file copies, the tick clock and the standard streams on Win32.
#include "falcrest/platform/win32/win32_platform.h"

#include "falcrest/platform/win32/wide_text.h"

namespace falcrest::win32 {

std::optional<std::u16string> Win32Environment::ExpandText(const std::u16string& text) {
  wchar_t buffer[kPathBufferUnits] = {};
  const DWORD units = ExpandEnvironmentStringsW(Wide(text), buffer, kPathBufferUnits);
  // A result larger than the buffer is the size it would have needed; the buffer is unusable.
  if (units == 0 || units > kPathBufferUnits) return std::nullopt;
  return FromWide(buffer, units - 1);
}

std::u16string Win32Environment::ProgramFilePath() {
  wchar_t buffer[kPathBufferUnits] = {};
  const DWORD units = GetModuleFileNameW(nullptr, buffer, kPathBufferUnits);
  if (units == 0) return {};
  buffer[kPathBufferUnits - 1] = L'\0';
  return FromWide(buffer);
}

Outcome Win32Environment::SystemDirectory(std::u16string& folder) {
  constexpr UINT kUnits = kPathBufferUnits + 1;
  wchar_t buffer[kUnits] = {};
  const UINT units = GetSystemDirectoryW(buffer, kUnits);
  if (units == 0) return LastErrorOutcome();
  if (units >= kUnits) return Outcome::Failure(ERROR_INSUFFICIENT_BUFFER);
  folder = FromWide(buffer, units);
  return Outcome::Success();
}

Outcome Win32Files::CopyOver(const std::u16string& from, const std::u16string& to) {
  if (!CopyFileW(Wide(from), Wide(to), FALSE)) return LastErrorOutcome();
  return Outcome::Success();
}

uint32_t Win32Clock::TickCount() {
  return GetTickCount();
}

void Win32Clock::Sleep(uint32_t milliseconds) {
  ::Sleep(milliseconds);
}

namespace {

void WriteToStandardHandle(DWORD which, std::string_view text) {
  const HANDLE stream = GetStdHandle(which);
  if (stream == nullptr || stream == INVALID_HANDLE_VALUE) return;
  while (!text.empty()) {
    DWORD written = 0;
    if (!WriteFile(stream, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
        written == 0)
      return;
    text.remove_prefix(written);
  }
}

}  // namespace

void Win32Console::WriteOut(std::string_view text) {
  WriteToStandardHandle(STD_OUTPUT_HANDLE, text);
}

void Win32Console::WriteErr(std::string_view text) {
  WriteToStandardHandle(STD_ERROR_HANDLE, text);
}

}  // namespace falcrest::win32
