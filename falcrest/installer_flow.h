// Falcrest's run: the command line chooses between installing from a folder and removing, and
// the chosen flow runs its steps in order on the one thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "falcrest/platform/clock.h"
#include "falcrest/platform/console.h"
#include "falcrest/platform/environment.h"
#include "falcrest/platform/files.h"
#include "falcrest/platform/registry.h"
#include "falcrest/platform/services.h"
#include "falcrest/platform/spooler.h"
#include "falcrest/platform/tokens.h"

namespace falcrest {

// Every platform operation a run uses.
struct FalcrestPlatform {
  Environment& environment;
  Files& files;
  Registry& registry;
  Tokens& tokens;
  Spooler& spooler;
  ServiceManagerApi& services;
  Clock& clock;
  Console& console;
};

// Exit status of a run whose port could not be registered, or whose folder was refused.
constexpr int kExitFailure = -1;

// The longest installation folder, final backslash included, whose deepest copy source
// ("Driver\CWBAFAPI.DLL") still fits a 260-unit path buffer.
constexpr size_t kMaxInstallationFolderUnits = 240;

enum class RunMode { kInstall, kRemove };

struct Invocation {
  RunMode Mode = RunMode::kInstall;
  // Ends in a backslash; empty in remove mode.
  std::u16string InstallationFolder;
};

// Chooses the mode by the number of arguments alone: one names the installation folder, none,
// two or three use the program's own folder, four or more remove.
Invocation ChooseInvocation(const std::vector<std::u16string>& arguments,
                            const std::u16string& program_file_path);

// Enables the load-driver privilege of the process token; complains on standard error and goes
// on when it cannot.
void EnableLoadDriverPrivilege(Tokens& tokens, Console& console);

// Writes the port name into the port monitor's key, which must exist already.
bool RegisterPortName(Registry& registry);

// One run of Falcrest with the arguments after the program name; the exit status.
int RunFalcrest(const std::vector<std::u16string>& arguments, const FalcrestPlatform& platform);

}  // namespace falcrest
