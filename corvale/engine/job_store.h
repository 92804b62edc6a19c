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

// The name of a printer's folder in the job store: its key name ("\" written "#", as stored
// folders have it), with each character a file name may not hold (and a trailing dot or space,
// which Windows drops) written as "," and two hex digits, and a name Windows keeps for a device
// (CON, PRN, LPT1, ...) with "," before it. Printer names hold no ",": no two printers share a
// folder, and a name that needs none of this keeps the folder it always had.
std::string JobStoreFolderName(const std::string& printer_name);

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

// The last-write time (FILETIME) of a file of `folder`, or 0 when it is not there.
int64_t LastWriteOf(FileSystem& files, const std::string& folder, const std::string& name);

// A printed job's file that could be neither finished nor set aside stays where it is; a note in
// "Printed" keeps the next Start from printing it again, for as long as the file is the one that
// printed (its last-write time). The note's path, and writing and reading it.
std::string PrintedNotePath(const std::string& job_file);
SystemError NoteAsPrinted(FileSystem& files, const std::string& job_file, int64_t last_write);
bool NotedAsPrinted(FileSystem& files, const std::string& job_file, int64_t last_write);

}  // namespace corvale
