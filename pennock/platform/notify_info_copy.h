// The spooler's notification information copied into the monitor's own NotifyInfo: which
// entries carry a buffer and in which form, read within the bounds the entry gives. Any thread.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "pennock/platform/notify_info_layout.h"
#include "pennock/platform/spooler.h"

namespace pennock {

// Turns a UTF-16 text (without its NUL) into the monitor's 8-bit text; on Windows the ANSI
// code page's conversion.
using AnsiConverter = std::function<std::string(std::u16string_view)>;

// Texts come as UTF-16 up to their first NUL or the end of the buffer, whichever is first; the
// submission time comes as the buffer's bytes (a SYSTEMTIME); every other buffer (device modes,
// security descriptors, entries of other types) is not read.
NotifyInfo CopyNotifyInfo(const NotifyInfoRecord& info, const AnsiConverter& to_ansi);

}  // namespace pennock
