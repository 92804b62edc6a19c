// The Win32 file system against the real file calls, in a folder below the temp path.
#include "corvale/platform/win32/win32_file_system.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "common/win32/windows_support.h"
#include "corvale/platform/win32/wide_text.h"

namespace corvale {
namespace {

using varnell::win32::ScopedFileHandle;

// The test's own file calls take every path in the extended form, written out here rather than
// made by the code under test, so that they reach paths of any length.
std::wstring Extended(const std::string& absolute_path) {
  return L"\\\\?\\" + win32::Wide(absolute_path);
}

void RemoveTree(const std::wstring& folder) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = folder + L"\\" + name;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        DeleteFileW(path.c_str());
      }
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  RemoveDirectoryW(folder.c_str());
}

class Win32FileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    ASSERT_NE(GetTempPathA(MAX_PATH, temp), 0u);
    root_ = std::string(temp) + "corvale_w32_" + std::to_string(GetCurrentProcessId()) + "_" +
            std::to_string(GetTickCount());
    ASSERT_TRUE(CreateDirectoryA(root_.c_str(), nullptr));
  }
  void TearDown() override { RemoveTree(Extended(root_)); }

  std::string At(const std::string& relative) const { return root_ + "\\" + relative; }

  static void Write(const std::string& path, const std::string& bytes) {
    ScopedFileHandle file(CreateFileW(Extended(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file.Valid()) << path;
    DWORD written = 0;
    ASSERT_TRUE(
        WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
  }

  // Reads through the path as given, as another program would open it.
  static std::string ReadAsGiven(const std::string& path) {
    ScopedFileHandle file(CreateFileW(win32::Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return ReadAll(file);
  }

  static std::string Read(const std::string& path) {
    ScopedFileHandle file(CreateFileW(Extended(path).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return ReadAll(file);
  }

  static std::string ReadAll(const ScopedFileHandle& file) {
    if (!file) return "<cannot open>";
    char buffer[4096];
    DWORD read = 0;
    ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr);
    return std::string(buffer, read);
  }

  std::string root_;
  Win32FileSystem files_;
};

TEST_F(Win32FileSystemTest, ExistenceAndFolderCreation) {
  EXPECT_TRUE(files_.CreateDirectories(At("JobStore\\Office#Laser\\deep")));
  EXPECT_TRUE(files_.DirectoryExists(At("JobStore\\Office#Laser\\deep")));
  EXPECT_TRUE(files_.CreateDirectories(At("JobStore\\")));
  Write(At("JobStore\\a.afp"), "x");
  EXPECT_TRUE(files_.FileExists(At("JobStore\\a.afp")));
  EXPECT_FALSE(files_.DirectoryExists(At("JobStore\\a.afp")));
  EXPECT_FALSE(files_.FileExists(At("JobStore")));
  EXPECT_FALSE(files_.FileExists(At("JobStore\\b.afp")));
  EXPECT_FALSE(files_.CreateDirectories(At("JobStore\\a.afp\\sub")));
}

TEST_F(Win32FileSystemTest, ListFolderGivesEntriesWithUtcAndLocalDosTimes) {
  Write(At("a.afp"), "x");
  ASSERT_TRUE(CreateDirectoryA(At("sub").c_str(), nullptr));
  Write(At("sub\\inner.afp"), "y");

  SYSTEMTIME local{};
  local.wYear = 2024;
  local.wMonth = 3;
  local.wDay = 7;
  local.wHour = 14;
  local.wMinute = 20;
  local.wSecond = 37;
  FILETIME local_time, utc;
  ASSERT_TRUE(SystemTimeToFileTime(&local, &local_time));
  ASSERT_TRUE(LocalFileTimeToFileTime(&local_time, &utc));
  {
    ScopedFileHandle file(CreateFileA(At("a.afp").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file.Valid());
    ASSERT_TRUE(SetFileTime(file.Get(), nullptr, nullptr, &utc));
  }

  std::vector<FileEntry> entries = files_.ListFolder(root_);
  std::sort(entries.begin(), entries.end(),
            [](const FileEntry& a, const FileEntry& b) { return a.name < b.name; });
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].name, "a.afp");
  EXPECT_FALSE(entries[0].is_directory);
  EXPECT_EQ(entries[0].last_write_utc,
            (static_cast<int64_t>(utc.dwHighDateTime) << 32) | utc.dwLowDateTime);
  const uint32_t date = ((2024 - 1980) << 9) | (3 << 5) | 7;
  const uint32_t time = (14 << 11) | (20 << 5) | (37 / 2);
  EXPECT_EQ(entries[0].last_write_dos, (date << 16) | time);
  EXPECT_EQ(entries[1].name, "sub");
  EXPECT_TRUE(entries[1].is_directory);

  EXPECT_TRUE(files_.ListFolder(At("missing")).empty());
}

TEST_F(Win32FileSystemTest, MoveReplacesAnExistingTarget) {
  ASSERT_TRUE(files_.CreateDirectories(At("In")));
  ASSERT_TRUE(files_.CreateDirectories(At("Done")));
  Write(At("In\\a.afp"), "new");
  Write(At("Done\\a.afp"), "old");
  EXPECT_EQ(files_.MoveFile(At("In\\a.afp"), At("Done\\a.afp")), 0u);
  EXPECT_FALSE(files_.FileExists(At("In\\a.afp")));
  EXPECT_EQ(Read(At("Done\\a.afp")), "new");
}

TEST_F(Win32FileSystemTest, FailuresGiveTheSystemsCodes) {
  ASSERT_TRUE(files_.CreateDirectories(At("In")));
  Write(At("In\\a.afp"), "x");
  struct Case {
    const char* what;
    SystemError error;
    SystemError expected;
  };
  const Case cases[] = {
      {"move of a missing file", files_.MoveFile(At("In\\b.afp"), At("In\\c.afp")), 2},
      {"move into a missing folder", files_.MoveFile(At("In\\a.afp"), At("Gone\\a.afp")), 3},
      {"delete of a missing file", files_.DeleteFile(At("In\\b.afp")), 2},
      {"delete in a missing folder", files_.DeleteFile(At("Gone\\b.afp")), 3},
      {"append in a missing folder", files_.AppendToFile(At("Gone\\x.log"), "x"), 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.error, c.expected);
  }
  EXPECT_TRUE(files_.FileExists(At("In\\a.afp")));
  const std::string text = files_.ErrorText(2);
  EXPECT_FALSE(text.empty());
  EXPECT_EQ(text.find("System error code"), std::string::npos) << text;
}

TEST_F(Win32FileSystemTest, AppendCreatesThenAppendsAndDeleteRemoves) {
  EXPECT_EQ(files_.AppendToFile(At("x.log"), "one\r\n"), 0u);
  EXPECT_EQ(files_.AppendToFile(At("x.log"), "\xE9t\xE9\r\n", "only when made\r\n"), 0u);
  EXPECT_EQ(Read(At("x.log")), "one\r\n\xE9t\xE9\r\n");
  // The first bytes go only into a file that the append itself creates.
  EXPECT_EQ(files_.AppendToFile(At("z.log"), "entry\r\n", "created\r\n"), 0u);
  EXPECT_EQ(files_.AppendToFile(At("z.log"), "next\r\n", "created\r\n"), 0u);
  EXPECT_EQ(Read(At("z.log")), "created\r\nentry\r\nnext\r\n");
  uint64_t size = 0;
  EXPECT_EQ(files_.FileSizeDenyingWriters(At("x.log"), size), 0u);
  EXPECT_EQ(size, 10u);
  EXPECT_EQ(files_.FileSizeDenyingWriters(At("y.log"), size), 2u);
  EXPECT_EQ(files_.DeleteFile(At("x.log")), 0u);
  EXPECT_FALSE(files_.FileExists(At("x.log")));
}

// The log over its size limit is emptied in place: the same file, no bytes.
TEST_F(Win32FileSystemTest, EmptyFileKeepsTheFileWithNoBytes) {
  Write(At("big.log"), "many lines\r\n");
  EXPECT_EQ(files_.EmptyFile(At("big.log")), 0u);
  EXPECT_TRUE(files_.FileExists(At("big.log")));
  EXPECT_EQ(Read(At("big.log")), "");
  EXPECT_EQ(files_.EmptyFile(At("none.log")), 2u);
}

// A folder's identity stays while it exists, whatever happens inside it, and two folders have
// two; a file or nothing has none. (Whether a folder made again under the same path gets another
// one is the file system's: NTFS never hands a file number on unchanged.)
TEST_F(Win32FileSystemTest, FolderIdentityStaysWithTheFolder) {
  ASSERT_TRUE(files_.CreateDirectories(At("hot")));
  ASSERT_TRUE(files_.CreateDirectories(At("other")));
  const std::string first = files_.FolderIdentity(At("hot"));
  EXPECT_FALSE(first.empty());
  EXPECT_EQ(files_.FolderIdentity(At("hot\\")), first);
  Write(At("hot\\a.afp"), "a");
  ASSERT_TRUE(files_.CreateDirectories(At("hot\\sub")));
  EXPECT_EQ(files_.FolderIdentity(At("hot")), first);
  EXPECT_NE(files_.FolderIdentity(At("other")), first);
  EXPECT_FALSE(files_.FolderIdentity(At("other")).empty());
  EXPECT_EQ(files_.FolderIdentity(At("hot\\a.afp")), "");
  EXPECT_EQ(files_.FolderIdentity(At("gone")), "");
}

// The size is taken while denying writers, so a file open for writing elsewhere cannot be sized.
TEST_F(Win32FileSystemTest, SizeOfAFileOpenForWritingIsRefused) {
  Write(At("x.log"), "abc");
  ScopedFileHandle writer(CreateFileA(At("x.log").c_str(), GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(writer.Valid());
  uint64_t size = 0;
  EXPECT_EQ(files_.FileSizeDenyingWriters(At("x.log"), size), 32u);
  writer.Reset();
  EXPECT_EQ(files_.FileSizeDenyingWriters(At("x.log"), size), 0u);
  EXPECT_EQ(size, 3u);
}

// A name that no 8-bit code page spells is listed, moved, shortened and deleted like any other;
// on this side it is UTF-8.
TEST_F(Win32FileSystemTest, NamesOutsideTheAnsiCodePageWorkThroughout) {
  const std::string name = "\xE6\x97\xA5\xE6\x9C\xAC.afp";  // two CJK characters
  ASSERT_TRUE(files_.CreateDirectories(At("In")));
  {
    ScopedFileHandle file(CreateFileW(win32::Wide(At("In\\" + name)).c_str(), GENERIC_WRITE, 0,
                                      nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file.Valid());
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file.Get(), "cjk", 3, &written, nullptr));
  }
  const std::vector<FileEntry> entries = files_.ListFolder(At("In"));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, name);
  EXPECT_TRUE(files_.FileExists(At("In\\" + name)));

  ASSERT_TRUE(files_.CreateDirectories(At("Store \xC3\xA9t\xC3\xA9")));
  const std::string stored = At("Store \xC3\xA9t\xC3\xA9\\" + name);
  EXPECT_EQ(files_.MoveFile(At("In\\" + name), stored), 0u);
  EXPECT_FALSE(files_.FileExists(At("In\\" + name)));
  EXPECT_TRUE(files_.FileExists(stored));

  const std::string short_path = files_.ShortPath(stored);
  ASSERT_FALSE(short_path.empty());
  wchar_t long_path[MAX_PATH] = L"";
  ASSERT_NE(GetLongPathNameW(win32::Wide(short_path).c_str(), long_path, MAX_PATH), 0u);
  EXPECT_EQ(lstrcmpiW(long_path, win32::Wide(stored).c_str()), 0) << short_path;

  EXPECT_EQ(files_.AppendToFile(At("\xE6\x97\xA5.log"), "line"), 0u);
  EXPECT_EQ(files_.DeleteFile(stored), 0u);
  EXPECT_FALSE(files_.FileExists(stored));
}

TEST_F(Win32FileSystemTest, MoveWithoutReplacingKeepsAnExistingTarget) {
  ASSERT_TRUE(files_.CreateDirectories(At("In")));
  ASSERT_TRUE(files_.CreateDirectories(At("Store")));
  Write(At("Store\\a.afp"), "queued");
  Write(At("In\\a.afp"), "newer");
  const SystemError error = files_.MoveFileNoReplace(At("Store\\a.afp"), At("In\\a.afp"));
  EXPECT_TRUE(error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) << error;
  EXPECT_EQ(Read(At("In\\a.afp")), "newer");
  EXPECT_EQ(Read(At("Store\\a.afp")), "queued");
  DeleteFileA(At("In\\a.afp").c_str());
  EXPECT_EQ(files_.MoveFileNoReplace(At("Store\\a.afp"), At("In\\a.afp")), 0u);
  EXPECT_EQ(Read(At("In\\a.afp")), "queued");
}

// A writer holding its file open without sharing keeps it from being moved, until it closes it.
TEST_F(Win32FileSystemTest, FileHeldOpenByItsWriterCannotBeMovedUntilClosed) {
  ASSERT_TRUE(files_.CreateDirectories(At("Store")));
  ScopedFileHandle writer(CreateFileA(At("held.afp").c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(writer.Valid());
  EXPECT_EQ(files_.MoveFile(At("held.afp"), At("Store\\held.afp")),
            static_cast<SystemError>(ERROR_SHARING_VIOLATION));
  EXPECT_FALSE(files_.ErrorText(ERROR_SHARING_VIOLATION).empty());
  writer.Reset();
  EXPECT_EQ(files_.MoveFile(At("held.afp"), At("Store\\held.afp")), 0u);
}

// The server lock: one holder at a time, who can be read by others while it holds; free again
// once let go.
TEST_F(Win32FileSystemTest, HeldFileHasOneHolderWhomOthersCanRead) {
  const std::string lock = At("Corvale.lock");
  SystemError error = 0;
  std::unique_ptr<HeldFile> first = files_.HoldFile(lock, "operator\t1", error);
  ASSERT_NE(first, nullptr) << error;
  EXPECT_EQ(files_.HoldFile(lock, "nightshift\t2", error), nullptr);
  EXPECT_EQ(error, static_cast<SystemError>(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(files_.ReadTextFile(lock), std::optional<std::string>("operator\t1"));
  first.reset();
  std::unique_ptr<HeldFile> second = files_.HoldFile(lock, "night", error);
  ASSERT_NE(second, nullptr) << error;
  EXPECT_EQ(files_.ReadTextFile(lock), std::optional<std::string>("night"));
  EXPECT_EQ(files_.ReadTextFile(At("missing.txt")), std::nullopt);
}

TEST_F(Win32FileSystemTest, ShortPathResolvesBackToTheLongPath) {
  ASSERT_TRUE(files_.CreateDirectories(At("A long folder name")));
  Write(At("A long folder name\\a long file name.afp"), "x");
  const std::string short_path = files_.ShortPath(At("A long folder name\\a long file name.afp"));
  ASSERT_FALSE(short_path.empty());
  char long_path[MAX_PATH] = "";
  ASSERT_NE(GetLongPathNameA(short_path.c_str(), long_path, MAX_PATH), 0u);
  EXPECT_EQ(lstrcmpiA(long_path, At("A long folder name\\a long file name.afp").c_str()), 0)
      << long_path;
  EXPECT_EQ(files_.ShortPath(At("missing.afp")), "");
}

// Every operation on a file whose path is over 300 characters, below folders that CreateDirectories
// makes one level at a time, one of them 251 characters long (between CreateDirectory's limit of
// 248 and MAX_PATH). Each step starts from where the one before left off. Wine takes ordinary
// paths of any length; Windows does not, and there only the extended form gets these through.
TEST_F(Win32FileSystemTest, PathsOver300CharactersWorkThroughout) {
  const std::string level = "\\a folder with a long name";
  std::string deep = root_;
  while (deep.size() + level.size() < 250) deep += level;
  const size_t padding = 251 - deep.size() - 1;
  deep.append("\\").append(padding, 'f');
  ASSERT_EQ(deep.size(), 251u);
  while (deep.size() < 290) deep += level;
  const std::string in = deep + "\\In";
  const std::string done = deep + "\\Done";
  const std::string job = in + "\\\xC3\xA9t\xC3\xA9 job.afp";
  const std::string done_job = done + "\\\xC3\xA9t\xC3\xA9 job.afp";
  ASSERT_GT(job.size(), 300u);
  ASSERT_TRUE(files_.CreateDirectories(in));
  ASSERT_TRUE(files_.CreateDirectories(done + "\\"));

  struct Step {
    const char* what;
    std::function<void()> check;
  };
  const Step steps[] = {
      {"every level was made",
       [&] {
         for (std::string folder = in; folder.size() > root_.size();
              folder.erase(folder.rfind('\\'))) {
           EXPECT_TRUE(files_.DirectoryExists(folder)) << folder.size();
         }
       }},
      {"append creates, then appends",
       [&] {
         EXPECT_EQ(files_.AppendToFile(job, "first "), 0u);
         EXPECT_EQ(files_.AppendToFile(job, "second"), 0u);
         EXPECT_EQ(Read(job), "first second");
         EXPECT_TRUE(files_.FileExists(job));
         EXPECT_FALSE(files_.DirectoryExists(job));
       }},
      {"list",
       [&] {
         const std::vector<FileEntry> entries = files_.ListFolder(in);
         ASSERT_EQ(entries.size(), 1u);
         EXPECT_EQ(entries[0].name, "\xC3\xA9t\xC3\xA9 job.afp");
         EXPECT_FALSE(entries[0].is_directory);
         EXPECT_EQ(files_.ListFolder(in + "\\").size(), 1u);
       }},
      {"forward slashes",
       [&] {
         std::string slashed = job;
         std::replace(slashed.begin(), slashed.end(), '\\', '/');
         EXPECT_TRUE(files_.FileExists(slashed));
         EXPECT_EQ(files_.ListFolder(slashed.substr(0, slashed.rfind('/'))).size(), 1u);
       }},
      {"size",
       [&] {
         uint64_t size = 0;
         EXPECT_EQ(files_.FileSizeDenyingWriters(job, size), 0u);
         EXPECT_EQ(size, 12u);
       }},
      {"short path resolves back in the ordinary form",
       [&] {
         const std::string short_path = files_.ShortPath(job);
         ASSERT_FALSE(short_path.empty());
         EXPECT_LT(win32::Wide(short_path).size(), static_cast<size_t>(MAX_PATH)) << short_path;
         EXPECT_EQ(short_path.substr(0, 3), root_.substr(0, 3)) << short_path;
         EXPECT_EQ(ReadAsGiven(short_path), "first second") << short_path;
         std::wstring long_path(1024, L'\0');
         const DWORD length = GetLongPathNameW(win32::Wide(short_path).c_str(), long_path.data(),
                                               static_cast<DWORD>(long_path.size()));
         ASSERT_GT(length, 0u);
         ASSERT_LT(length, long_path.size());
         long_path.resize(length);
         EXPECT_EQ(lstrcmpiW(long_path.c_str(), win32::Wide(job).c_str()), 0) << short_path;
       }},
      {"folder identity",
       [&] {
         const std::string in_identity = files_.FolderIdentity(in);
         EXPECT_FALSE(in_identity.empty());
         EXPECT_EQ(files_.FolderIdentity(in + "\\"), in_identity);
         EXPECT_EQ(files_.FolderIdentity(files_.ShortPath(in)), in_identity);
         EXPECT_NE(files_.FolderIdentity(done), in_identity);
         EXPECT_FALSE(files_.FolderIdentity(done).empty());
         EXPECT_EQ(files_.FolderIdentity(job), "");
       }},
      {"move without replacing keeps an existing target",
       [&] {
         Write(done_job, "older");
         const SystemError error = files_.MoveFileNoReplace(job, done_job);
         EXPECT_TRUE(error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) << error;
         EXPECT_EQ(Read(job), "first second");
         EXPECT_EQ(Read(done_job), "older");
       }},
      {"move replaces the target",
       [&] {
         EXPECT_EQ(files_.MoveFile(job, done_job), 0u);
         EXPECT_FALSE(files_.FileExists(job));
         EXPECT_EQ(Read(done_job), "first second");
       }},
      {"move without replacing to a free name",
       [&] {
         EXPECT_EQ(files_.MoveFileNoReplace(done_job, job), 0u);
         EXPECT_FALSE(files_.FileExists(done_job));
         EXPECT_EQ(Read(job), "first second");
       }},
      {"empty",
       [&] {
         EXPECT_EQ(files_.EmptyFile(job), 0u);
         EXPECT_TRUE(files_.FileExists(job));
         EXPECT_EQ(Read(job), "");
       }},
      {"delete",
       [&] {
         EXPECT_EQ(files_.DeleteFile(job), 0u);
         EXPECT_FALSE(files_.FileExists(job));
         EXPECT_TRUE(files_.ListFolder(in).empty());
         EXPECT_EQ(files_.DeleteFile(job), 2u);
       }},
      {"a missing folder",
       [&] {
         EXPECT_EQ(files_.AppendToFile(deep + "\\Gone\\x.log", "x"), 3u);
         EXPECT_EQ(files_.ShortPath(deep + "\\Gone"), "");
       }},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    step.check();
  }
}

// The print utility takes at most 259 characters, so a short form any longer is no short form:
// with names that are their own short names, 259 characters pass and 260 do not.
TEST_F(Win32FileSystemTest, ShortPathOverTheUtilitysRoomIsEmpty) {
  wchar_t buffer[MAX_PATH] = L"";
  const DWORD length = GetShortPathNameW(win32::Wide(root_).c_str(), buffer, MAX_PATH);
  ASSERT_GT(length, 0u);
  ASSERT_LT(length, static_cast<DWORD>(MAX_PATH));
  const size_t short_root = length;

  // Folders of 8.3 names below the root, making a short path of `wanted` characters.
  const auto folder_for = [&](size_t wanted) {
    std::string suffix;
    size_t rest = wanted - short_root;
    for (; rest > 18; rest -= 9) suffix += "\\ABCDEFGH";
    for (size_t part : {rest / 2, rest - rest / 2}) suffix.append("\\").append(part - 1, 'Z');
    return root_ + suffix;
  };
  struct Case {
    size_t short_length;
    bool kept;
  };
  for (const Case& c : {Case{259, true}, Case{260, false}, Case{300, false}}) {
    SCOPED_TRACE(c.short_length);
    const std::string folder = folder_for(c.short_length);
    // The root's own name is no 8.3 name, so the folder's path itself is past MAX_PATH.
    ASSERT_GE(folder.size(), static_cast<size_t>(MAX_PATH));
    ASSERT_TRUE(files_.CreateDirectories(folder));
    const std::string short_path = files_.ShortPath(folder);
    if (c.kept) {
      EXPECT_EQ(win32::Wide(short_path).size(), c.short_length) << short_path;
      EXPECT_EQ(files_.FolderIdentity(short_path), files_.FolderIdentity(folder));
    } else {
      EXPECT_EQ(short_path, "");
    }
  }
}

}  // namespace
}  // namespace corvale
