// The Win32 layer against a real Win32 implementation: the portable formatter and time
// conversions against the Windows functions, files, threads, the dialog template and sending
// tasks to the window's thread.
#include "common/win32/windows_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "pennock/format_line.h"
#include "pennock/notify_decoder.h"
#include "pennock/platform/win32/win32_platform.h"
#include "pennock/resource.h"
#include "pennock/save_activity.h"

namespace pennock::win32 {
namespace {

#define EXPECT_FORMATS_LIKE_WINDOWS(format, ...)                      \
  do {                                                                \
    char expected[4096] = {};                                         \
    wsprintfA(expected, format, __VA_ARGS__);                         \
    EXPECT_EQ(FormatLine(format, {__VA_ARGS__}), expected) << format; \
  } while (0)

TEST(Win32FormatTest, FormatLineMatchesWsprintf) {
  const std::string longText(2000, 'x');
  EXPECT_FORMATS_LIKE_WINDOWS("%2.2d. %s", 1, "Office Laser 2");
  EXPECT_FORMATS_LIKE_WINDOWS("%2.2d|%2.2d|%2.2d|%3.3d", 9, 100, -5, -5);
  EXPECT_FORMATS_LIKE_WINDOWS("%.3d|%5.3d|%05.3d|%-5.3d|", -5, -5, -5, -5);
  EXPECT_FORMATS_LIKE_WINDOWS("%d|%d", 0xFFFFFFFFu, 0x80000000u);
  EXPECT_FORMATS_LIKE_WINDOWS("%8.8X|%8.8X|%X", 0x124u, 0xFFFFFFFFu, 0x7Bu);
  EXPECT_FORMATS_LIKE_WINDOWS("[%5s|%-5s|%.2s]", "ab", "cd", "efg");
  EXPECT_FORMATS_LIKE_WINDOWS("%05d|%-4d|%4d", 42, 7, -3);
  EXPECT_FORMATS_LIKE_WINDOWS("%#x %u %c", 255, 3000000000u, 'A');
  EXPECT_FORMATS_LIKE_WINDOWS("%#x|%#X|%#.4x|%#08x|", 0, 255, 255, 255);
  EXPECT_FORMATS_LIKE_WINDOWS("%#6x|%-#6x|%08X|", 255, 255, 0xAB);
  EXPECT_FORMATS_LIKE_WINDOWS("%08s|%05c|%-08d|%5c|", "ab", 'A', 5, 'B');
  EXPECT_FORMATS_LIKE_WINDOWS("%y|%d|%+d|%", 1, 2);
  EXPECT_FORMATS_LIKE_WINDOWS("%08.3d|%-6.3X|%i", -7, 0xA, 12);
  EXPECT_FORMATS_LIKE_WINDOWS("%ld %hd %lx %%", 1, 2, 0xAB);
  EXPECT_FORMATS_LIKE_WINDOWS("A: %s", longText.c_str());
}

// Wine accepts February 29th of any year, and converts times after 2107 to DOS dates, unlike
// Windows; those cases are checked natively only.
TEST(Win32TimeTest, SystemTimeToFileTimeMatchesWindows) {
  const std::vector<SystemTime> times = {
      {1601, 1, 0, 1, 0, 0, 0, 0},       {2011, 5, 2, 10, 12, 38, 25, 0},
      {2000, 2, 0, 29, 23, 59, 59, 999}, {30827, 12, 0, 31, 23, 59, 59, 999},
      {1600, 12, 0, 31, 0, 0, 0, 0},     {2011, 13, 0, 1, 0, 0, 0, 0},
      {2012, 2, 0, 29, 0, 0, 0, 0},      {2011, 4, 0, 31, 0, 0, 0, 0},
      {2011, 5, 0, 10, 24, 0, 0, 0},     {2011, 5, 0, 10, 0, 60, 0, 0},
      {2011, 5, 0, 10, 0, 0, 60, 0},     {2011, 5, 0, 10, 0, 0, 0, 1000},
      {2011, 5, 0, 0, 0, 0, 0, 0},
  };
  for (const SystemTime& t : times) {
    SCOPED_TRACE(FormatLine("%d-%d-%d %d:%d:%d.%d",
                            {t.Year, t.Month, t.Day, t.Hour, t.Minute, t.Second, t.Milliseconds}));
    SYSTEMTIME native{t.Year, t.Month,  t.DayOfWeek, t.Day,
                      t.Hour, t.Minute, t.Second,    t.Milliseconds};
    FILETIME fileTime{};
    bool converted = ::SystemTimeToFileTime(&native, &fileTime) != FALSE;
    std::optional<std::uint64_t> mine = SystemTimeToFileTime(t);
    ASSERT_EQ(mine.has_value(), converted);
    if (converted) {
      EXPECT_EQ(*mine, (static_cast<std::uint64_t>(fileTime.dwHighDateTime) << 32) |
                           fileTime.dwLowDateTime);
    }
  }
}

TEST(Win32TimeTest, FileTimeToDosDateTimeMatchesWindows) {
  constexpr std::uint64_t kSecond = 10000000;
  const std::vector<std::uint64_t> times = {119600064000000000 - kSecond, 119600064000000000,
                                            129495047050000000, 159992928000000000 - 2 * kSecond,
                                            0};
  for (std::uint64_t time : times) {
    SCOPED_TRACE(time);
    FILETIME fileTime{static_cast<DWORD>(time), static_cast<DWORD>(time >> 32)};
    WORD date = 0;
    WORD clock = 0;
    bool converted = ::FileTimeToDosDateTime(&fileTime, &date, &clock) != FALSE;
    std::optional<DosDateTime> mine = FileTimeToDosDateTime(time);
    ASSERT_EQ(mine.has_value(), converted);
    if (converted) {
      EXPECT_EQ(mine->Date, date);
      EXPECT_EQ(mine->Time, clock);
    }
  }
}

// The spooler's records as winspool.h declares them, converted with the ANSI code page.
TEST(Win32SpoolerTest, NotifyInfoIsCopiedFromTheSpoolersRecords) {
  const wchar_t name[] = L"Caf\u00e9 \u6f22";
  const SYSTEMTIME submitted{2011, 5, 2, 10, 12, 38, 25, 0};
  struct {
    PRINTER_NOTIFY_INFO info;
    PRINTER_NOTIFY_INFO_DATA more[2];
  } block{};
  block.info.Version = 2;
  block.info.Flags = PRINTER_NOTIFY_INFO_DISCARDED;
  block.info.Count = 3;
  PRINTER_NOTIFY_INFO_DATA* data = block.info.aData;
  data[0].Type = JOB_NOTIFY_TYPE;
  data[0].Field = JOB_NOTIFY_FIELD_DOCUMENT;
  data[0].Id = 7;
  data[0].NotifyData.Data.cbBuf = sizeof name;
  data[0].NotifyData.Data.pBuf = const_cast<wchar_t*>(name);
  data[1].Type = JOB_NOTIFY_TYPE;
  data[1].Field = JOB_NOTIFY_FIELD_SUBMITTED;
  data[1].NotifyData.Data.cbBuf = sizeof submitted;
  data[1].NotifyData.Data.pBuf = const_cast<SYSTEMTIME*>(&submitted);
  data[2].Type = PRINTER_NOTIFY_TYPE;
  data[2].Field = PRINTER_NOTIFY_FIELD_CJOBS;
  data[2].NotifyData.adwData[0] = 4;

  NotifyInfo info = CopyNotifyInfo(block.info);
  EXPECT_EQ(info.Flags, kNotifyInfoDiscarded);
  ASSERT_EQ(info.Data.size(), 3u);
  char expected[16] = {};
  WideCharToMultiByte(CP_ACP, 0, name, -1, expected, sizeof expected, nullptr, nullptr);
  EXPECT_EQ(info.Data[0].Buffer, expected);
  if (GetACP() == 1252) {
    EXPECT_EQ(info.Data[0].Buffer, "Caf\xE9 ?");
  }
  EXPECT_EQ(info.Data[0].Id, 7u);
  EXPECT_EQ(DecodeNotifyEntry(info.Data[1]),
            "JOB_NOTIFY_FIELD_SUBMITTED: SYSTEMTIME(NotifyData.Data.pbuf^) = 01CC0F0F27967680");
  EXPECT_EQ(DecodeNotifyEntry(info.Data[2]), "PRINTER_NOTIFY_FIELD_CJOBS: 4");
}

class Win32FilesTest : public ::testing::Test {
 protected:
  Win32FilesTest() {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    folder_ = std::string(temp) + "pennock-files-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder_.c_str(), nullptr);
    path_ = folder_ + "\\activity log.txt";
    DeleteFileA(path_.c_str());
  }
  ~Win32FilesTest() override {
    DeleteFileA(path_.c_str());
    RemoveDirectoryA(folder_.c_str());
  }
  std::string Content() {
    std::ifstream in(path_, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  Win32FileSystem files;
  Win32System system;
  std::string folder_;
  std::string path_;
};

TEST_F(Win32FilesTest, CreatesAppendsAndNeverTruncates) {
  EXPECT_FALSE(FileExists(files, path_));
  EXPECT_TRUE(files.CreateFileWithText(path_, "one\r\n"));
  EXPECT_TRUE(FileExists(files, path_));
  EXPECT_FALSE(files.CreateFileWithText(path_, "lost"));
  EXPECT_TRUE(files.AppendToFile(path_, std::string("two\0\r\n", 6)));
  SaveActivityText(files, system, path_, "three\r\n");
  EXPECT_EQ(Content(), std::string("one\r\ntwo\0\r\nthree\r\n", 18));
}

TEST_F(Win32FilesTest, DirectoryIsNoFileAndMissingFileIsNotAppended) {
  std::optional<FileEntry> entry = files.FindFile(folder_);
  ASSERT_TRUE(entry);
  EXPECT_TRUE(entry->Directory);
  EXPECT_FALSE(FileExists(files, folder_));
  EXPECT_FALSE(files.AppendToFile(path_, "text"));
  EXPECT_FALSE(files.FindFile(path_));
}

TEST_F(Win32FilesTest, FileHeldWithoutSharingIsInUse) {
  ASSERT_TRUE(files.CreateFileWithText(path_, "held\r\n"));
  HANDLE held = CreateFileA(path_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(FileInUse(files, path_));
  EXPECT_FALSE(files.AppendToFile(path_, "refused"));
  CloseHandle(held);
  EXPECT_FALSE(FileInUse(files, path_));
  EXPECT_EQ(Content(), "held\r\n");
}

TEST(Win32ThreadsTest, ThreadRunsItsBodyAndCanBeTerminated) {
  Win32Threads threads;
  StartedThread finished = threads.CreateThread([] { return 7u; });
  ASSERT_NE(finished.Handle, 0u);
  EXPECT_NE(finished.Id, 0u);
  HANDLE handle = HandleOf<HANDLE>(finished.Handle);
  ASSERT_EQ(WaitForSingleObject(handle, 10000), WAIT_OBJECT_0);
  DWORD code = 0;
  GetExitCodeThread(handle, &code);
  EXPECT_EQ(code, 7u);
  EXPECT_TRUE(threads.WaitUntilEntered(finished.Handle, 0));

  varnell::win32::ScopedKernelHandle never(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  StartedThread blocked = threads.CreateThread([&] {
    WaitForSingleObject(never.Get(), INFINITE);
    return 1u;
  });
  // Terminating a thread that is still in its start-up can crash the process.
  ASSERT_TRUE(threads.WaitUntilEntered(blocked.Handle, 10000));
  EXPECT_TRUE(threads.TerminateThread(blocked.Handle, 5));
  handle = HandleOf<HANDLE>(blocked.Handle);
  ASSERT_EQ(WaitForSingleObject(handle, 10000), WAIT_OBJECT_0);
  GetExitCodeThread(handle, &code);
  EXPECT_EQ(code, 5u);

  EXPECT_FALSE(threads.TerminateThread(0, 0));
  EXPECT_FALSE(threads.WaitUntilEntered(0, 0));
  threads.ReleaseThread(finished.Handle, 10000);
  threads.ReleaseThread(blocked.Handle, 10000);
}

// Releasing closes the handle and frees what the body held, also after a termination that
// never let the body unwind.
TEST(Win32ThreadsTest, ReleaseFreesTheStartOfEndedAndTerminatedThreads) {
  Win32Threads threads;
  auto held = std::make_shared<int>(0);
  StartedThread returned = threads.CreateThread([held] { return 0u; });
  varnell::win32::ScopedKernelHandle never(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  StartedThread terminated = threads.CreateThread([held, wait = never.Get()] {
    WaitForSingleObject(wait, INFINITE);
    return 1u;
  });
  ASSERT_NE(returned.Handle, 0u);
  ASSERT_NE(terminated.Handle, 0u);
  ASSERT_TRUE(threads.WaitUntilEntered(terminated.Handle, 10000));
  ASSERT_TRUE(threads.TerminateThread(terminated.Handle, 3));
  EXPECT_EQ(held.use_count(), 3);

  threads.ReleaseThread(returned.Handle, 10000);
  threads.ReleaseThread(terminated.Handle, 10000);
  EXPECT_EQ(held.use_count(), 1);
  DWORD flags = 0;
  EXPECT_FALSE(GetHandleInformation(HandleOf<HANDLE>(terminated.Handle), &flags));
  threads.ReleaseThread(terminated.Handle, 0);
}

// Many workers closed the moment they start: each is waited for and terminated in turn, and
// the process survives every round.
TEST(Win32ThreadsTest, ThreadsTerminatedRightAfterTheirStartLeaveTheProcessSound) {
  Win32Threads threads;
  varnell::win32::ScopedKernelHandle never(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  for (int round = 0; round < 50; ++round) {
    SCOPED_TRACE(round);
    StartedThread thread = threads.CreateThread([wait = never.Get()] {
      WaitForSingleObject(wait, INFINITE);
      return 1u;
    });
    ASSERT_NE(thread.Handle, 0u);
    ASSERT_TRUE(threads.WaitUntilEntered(thread.Handle, 10000));
    EXPECT_TRUE(threads.TerminateThread(thread.Handle, 0));
    threads.ReleaseThread(thread.Handle, 10000);
  }
}

// Checks the dialog built from the template and the window calls from inside its messages.
class ProbeDialog : public DialogHandler {
 public:
  explicit ProbeDialog(Win32WindowSystem& window) : window_(window) {}

  void InitDialog(WindowId dialog) override {
    HWND hwnd = HandleOf<HWND>(dialog);
    char text[64] = {};
    GetWindowTextA(hwnd, text, sizeof text);
    caption = text;
    dialogStyle = static_cast<DWORD>(GetWindowLongA(hwnd, GWL_STYLE));
    control = window_.GetDlgItem(dialog, IDC_ACTIVITY);
    HWND edit = HandleOf<HWND>(control);
    GetClassNameA(edit, text, sizeof text);
    controlClass = text;
    controlStyle = static_cast<DWORD>(GetWindowLongA(edit, GWL_STYLE));
    parentIsDialog = window_.GetParent(control) == dialog;

    window_.SetText(control, std::string(70000, 'z'));
    longText = window_.GetText(control, 65520).size();
    window_.SetText(control, "line 1\r\nline 2\r\n");
    window_.ScrollToBottom(control);
    shortText = window_.GetText(control, 65520);

    ::MoveWindow(hwnd, 0, 0, 800, 600, TRUE);
    ClientRect client = window_.GetClientRect(dialog);
    RECT edge{};
    GetWindowRect(edit, &edge);
    MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&edge), 2);
    controlFills = edge.left == client.Left && edge.top == client.Top &&
                   edge.right == client.Right && edge.bottom == client.Bottom;

    worker = std::thread([this, dialog] {
      std::function<void()> task = [this] { taskThread = GetCurrentThreadId(); };
      window_.SendTask(dialog, task);
      taskDone = taskThread.load() != 0;
      PostMessageA(HandleOf<HWND>(dialog), WM_CLOSE, 0, 0);
    });
  }
  void Size(WindowId dialog) override {
    ClientRect client = window_.GetClientRect(dialog);
    window_.MoveWindow(window_.GetDlgItem(dialog, IDC_ACTIVITY), client.Left, client.Top,
                       client.Right - client.Left, client.Bottom - client.Top, true);
  }
  void Close(WindowId dialog) override {
    window_.SendFlushActivity(dialog);
    window_.EndDialog(dialog, 42);
  }
  void FlushActivity(WindowId) override { flushed = true; }

  std::string caption;
  std::string controlClass;
  DWORD dialogStyle = 0;
  DWORD controlStyle = 0;
  WindowId control = kNoWindow;
  bool parentIsDialog = false;
  std::size_t longText = 0;
  std::string shortText;
  bool controlFills = false;
  std::thread worker;
  std::atomic<DWORD> taskThread{0};
  std::atomic<bool> taskDone{false};
  bool flushed = false;

 private:
  Win32WindowSystem& window_;
};

TEST(Win32WindowTest, ActivityDialogFromItsTemplate) {
  Win32WindowSystem window(GetModuleHandleA(nullptr));
  ProbeDialog probe(window);
  EXPECT_EQ(window.RunModalDialog(IDD_ACTIVITY, probe), 42);
  if (probe.worker.joinable()) probe.worker.join();

  EXPECT_EQ(probe.caption, "Printer Activities");
  const DWORD frame = WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
  EXPECT_EQ(probe.dialogStyle & (frame | WS_POPUP), frame | WS_POPUP);
  EXPECT_TRUE(probe.parentIsDialog);
  EXPECT_EQ(probe.controlClass, "Edit");
  const DWORD edit = ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_WANTRETURN |
                     WS_VSCROLL | WS_TABSTOP | WS_VISIBLE;
  EXPECT_EQ(probe.controlStyle & edit, edit);
  EXPECT_EQ(probe.longText, 65519u);
  EXPECT_EQ(probe.shortText, "line 1\r\nline 2\r\n");
  EXPECT_TRUE(probe.controlFills);
  EXPECT_TRUE(probe.taskDone);
  EXPECT_EQ(probe.taskThread, GetCurrentThreadId());
  EXPECT_TRUE(probe.flushed);
  EXPECT_FALSE(window.IsWindow(probe.control));
  EXPECT_FALSE(window.IsWindow(kNoWindow));
  EXPECT_NE(window.LoadIconResource(IDI_PENNOCK), 0u);
}

}  // namespace
}  // namespace pennock::win32
