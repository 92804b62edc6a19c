// The information blocks the stand-in spooler hands out: PRINTER_NOTIFY_INFO as Windows
// documents it, built from a fetch of the script in one block that FreePrinterNotifyInfo releases.
#pragma once

#include "common/win32/windows_support.h"

#include <winspool.h>

#include "tools/standin_spooler/spooler_script.h"

namespace standin_spooler {

// One block from the process heap: the header with its entries, then each entry's buffer
// (texts as UTF-16 with their NUL). Null when there is no memory.
PRINTER_NOTIFY_INFO* BuildInfo(const ScriptFetch& fetch);

// The change flags a fetch of these entries reports.
DWORD ChangeFlagsOf(const ScriptFetch& fetch);

}  // namespace standin_spooler
