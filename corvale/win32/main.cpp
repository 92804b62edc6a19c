// corvale.exe: wires the Win32 platform into the window model and runs the message loop.
#include "common/win32/windows_support.h"

#include <commctrl.h>
#include "corvale/platform/win32/win32_event_loop.h"
#include "corvale/platform/win32/win32_file_system.h"
#include "corvale/platform/win32/win32_folder_watch.h"
#include "corvale/platform/win32/win32_printers.h"
#include "corvale/platform/win32/win32_registry.h"
#include "corvale/platform/win32/win32_shell.h"
#include "corvale/platform/win32/single_instance.h"
#include "corvale/platform/win32/win32_system.h"
#include "corvale/ui/server_main_unit.h"
#include "corvale/ui/win32/main_window.h"
#include "corvale/ui/win32/win32_folder_browser.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // A second Corvale would fight the first over the default printer, the log and the job store.
  corvale::win32::SingleInstance instance;
  if (!instance.First()) {
    corvale::win32::SingleInstance::ActivateRunning("TForm1", "Corvale");
    return 0;
  }
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  using namespace corvale;
  win32::Win32EventLoop loop;
  win32::Win32Registry registry;
  Win32FileSystem files;
  win32::Win32Printers printers;
  win32::Win32Shell shell;
  win32::Win32SystemInfo system;
  win32::Win32Clock clock;
  win32::Win32Dialogs dialogs;
  win32::Win32FolderWatch watch;
  win32::Win32FolderBrowser folders;
  CorvalePlatform platform{
      {registry, files, printers, shell, system, clock, loop, watch}, dialogs, folders};

  TForm1 form(platform);
  win32::MainWindow window(form, loop, dialogs);
  if (!window.Create()) return 1;
  shell.SetOwnerWindow(window.Handle());
  folders.SetApplicationWindow(window.Handle());
  form.OnMinimize = [&window] { ShowWindow(window.Handle(), SW_MINIMIZE); };
  form.FormCreate();
  window.Show();
  return loop.Run();
}
