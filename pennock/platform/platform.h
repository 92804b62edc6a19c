// Every platform service of the monitor, wired together by the program's entry (the Win32
// objects) or by a test (fakes).
#pragma once

#include "pennock/platform/files.h"
#include "pennock/platform/spooler.h"
#include "pennock/platform/system.h"
#include "pennock/platform/threads.h"
#include "pennock/platform/window.h"

namespace pennock {

struct Platform {
  Spooler& spooler;
  Threads& threads;
  WindowSystem& window;
  FileSystem& files;
  System& system;
};

}  // namespace pennock
