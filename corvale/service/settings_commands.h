// The command-line switches that carry a user's settings to a file and back:
//   corvale.exe /ExportSettings FILE
//   corvale.exe /ImportSettings FILE
// Each gives an exit code and a text for the console: 0 done; 1 failed (a file that cannot be
// written, a value of the wrong type in the registry, a running Corvale, a registry write
// refused); 2 not such a command line, or a file that cannot be read or does not check out.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "corvale/service/service_commands.h"

namespace corvale {

class FileSystem;
class Registry;

// Whether `arguments` ask for an export or an import (the first argument decides).
bool IsSettingsCommand(const std::vector<std::string>& arguments);

// Runs the command. `corvale_runs` tells whether a Corvale window of this user runs: it writes
// its settings back as it closes, over whatever an import set, so an import is refused then.
// FILE is taken as given; the caller makes it a full path.
CommandOutcome RunSettingsCommand(const std::vector<std::string>& arguments, Registry& registry,
                                  FileSystem& files, const std::function<bool()>& corvale_runs);

}  // namespace corvale
