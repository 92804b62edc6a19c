// Saving the activity text: appended to the output file, which is created when missing and
// never truncated. Main thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "pennock/platform/files.h"
#include "pennock/platform/system.h"

namespace pennock {

// A FILETIME as DOS date and time; empty outside the years 1980 to 2107.
struct DosDateTime {
  std::uint16_t Date = 0;
  std::uint16_t Time = 0;
};
std::optional<DosDateTime> FileTimeToDosDateTime(std::uint64_t fileTime);

// An entry of that name exists, is no directory, and its last-write time taken as local time
// converts to a DOS date and time.
bool FileExists(FileSystem& files, const std::string& path);

// The existing file cannot be opened for reading and writing with no sharing.
bool FileInUse(FileSystem& files, const std::string& path);

// Appends `text` to the file at `path`, creating it when it does not exist. A file in use is
// given up to 11 pauses of 100 ms to become free.
void SaveActivityText(FileSystem& files, System& system, const std::string& path,
                      const std::string& text);

}  // namespace pennock
