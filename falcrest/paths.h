// Path rules of the installer: joining, the spool driver directory and the printer's location.
#pragma once

#include <string>

#include "falcrest/platform/environment.h"

namespace falcrest {

// Joins a folder and a name with one backslash; a name that is itself rooted (a drive path or
// a UNC path) stands alone, and an empty part leaves the other.
std::u16string JoinPath(const std::u16string& base, const std::u16string& name);

// The expanded text of `text_template`, or `fallback` when it cannot be expanded.
std::u16string ExpandedOr(Environment& environment, const std::u16string& text_template,
                          const std::u16string& fallback);

// The spool driver directory of x86 drivers, without a trailing separator.
std::u16string DriverDirectory(Environment& environment);

// The location text of the printer: the spool driver directory joined with "3".
std::u16string LocationText(Environment& environment);

// `folder` with a backslash appended when its last unit is not one.
std::u16string WithTrailingBackslash(const std::u16string& folder);

// Drive and directory of a file path, cut after its last backslash; empty without one.
std::u16string FolderOfFile(const std::u16string& file_path);

}  // namespace falcrest
