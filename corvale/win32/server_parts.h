// The Windows operations of the print server, made once for each of corvale.exe's ways to run:
// the window, the service and the commands that serve without a window.
#pragma once

#include "corvale/engine/print_server.h"
#include "corvale/platform/win32/win32_event_log.h"
#include "corvale/platform/win32/win32_event_loop.h"
#include "corvale/platform/win32/win32_file_system.h"
#include "corvale/platform/win32/win32_folder_watch.h"
#include "corvale/platform/win32/win32_printers.h"
#include "corvale/platform/win32/win32_registry.h"
#include "corvale/platform/win32/win32_shell.h"
#include "corvale/platform/win32/win32_system.h"

namespace corvale::win32 {

struct ServerParts {
  Win32EventLoop loop;
  Win32Registry registry;
  Win32FileSystem files;
  Win32Printers printers;
  Win32Shell shell;
  Win32SystemInfo system;
  Win32Clock clock;
  Win32FolderWatch watch;
  Win32EventLog events;

  ServerPlatform Platform() {
    return {registry, files, printers, shell, system, clock, loop, watch, events};
  }
};

}  // namespace corvale::win32
