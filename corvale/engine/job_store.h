// The job store's places beside a printer's waiting jobs: "Failed" holds the jobs whose print
// failed, "Printed" the printed ones that could not be moved to their done folder or deleted.
// Neither is taken again by the server; an operator sees to them. Safe for use from any thread.
#pragma once

#include <string>

#include "corvale/platform/file_system.h"

namespace corvale {

class FileSystem;

constexpr char kFailedFolder[] = "Failed";
constexpr char kPrintedFolder[] = "Printed";

// `name` with " (<number>)" put before its extension: "a.afp", 2 gives "a (2).afp".
std::string NumberedName(const std::string& name, int number);

struct SetAsideResult {
  SystemError error = 0;
  std::string target;  // where the file went, or the last place tried
};

// Moves a job's file into `subfolder` of its own folder, creating it, and never replaces a file
// there: a name that is taken gets a number.
SetAsideResult SetJobFileAside(FileSystem& files, const std::string& job_file,
                               const std::string& subfolder);

// True for the errors of a move that found its target taken.
bool IsTargetTaken(SystemError error);

}  // namespace corvale
