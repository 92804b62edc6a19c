// pennock.exe: wires the Win32 platform into the monitor and runs it.
#include "common/win32/windows_support.h"
#include "pennock/activity_window.h"
#include "pennock/platform/win32/win32_platform.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  pennock::win32::Win32Spooler spooler;
  pennock::win32::Win32Threads threads;
  pennock::win32::Win32WindowSystem window(instance);
  pennock::win32::Win32FileSystem files;
  pennock::win32::Win32System system;
  pennock::Platform platform{spooler, threads, window, files, system};
  return pennock::RunPennock(platform);
}
