// Setting a job's file aside in its job store folder under a free name.
#include "corvale/engine/job_store.h"

#include "corvale/engine/engine_state.h"

namespace corvale {

namespace {

constexpr SystemError kFileExists = 80;
constexpr SystemError kAlreadyExists = 183;
// Enough for any folder an operator looks after; a folder that full gives up with its error.
constexpr int kMostNumbers = 9999;

}  // namespace

bool IsTargetTaken(SystemError error) {
  return error == kFileExists || error == kAlreadyExists;
}

std::string NumberedName(const std::string& name, int number) {
  const std::string suffix = " (" + std::to_string(number) + ")";
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) return name + suffix;
  return name.substr(0, dot) + suffix + name.substr(dot);
}

SetAsideResult SetJobFileAside(FileSystem& files, const std::string& job_file,
                               const std::string& subfolder) {
  const std::string folder = ExtractFileDir(job_file) + "\\" + subfolder;
  const std::string name = ExtractFileName(job_file);
  if (!files.DirectoryExists(folder)) files.CreateDirectories(folder);
  SetAsideResult result;
  for (int number = 1; number <= kMostNumbers; ++number) {
    result.target = folder + "\\" + (number == 1 ? name : NumberedName(name, number));
    result.error = files.MoveFileNoReplace(job_file, result.target);
    if (!IsTargetTaken(result.error)) break;
  }
  return result;
}

}  // namespace corvale
