// "corvale.exe /Close [seconds]": asks every Corvale window on the computer, in every session, to
// close through its own close path (queued files back to their input folders, the default
// printer restored, settings saved), waits up to `seconds` (60 unless given) and says how it
// went. For deployment scripts, before an upgrade replaces the programs. Exit codes: 0 none runs
// any more; 1 one still runs, or none can be asked; 2 not such a command line; 5 not allowed to
// ask them (run it elevated). The sessions whose Corvale it closed are noted in `reopen_file`
// (C:\ProgramData\Varnell\Corvale.reopen), for "corvale.exe /Reopen" after the upgrade: it starts Corvale again
// (/LaunchOnStartup) in each of them, as its user, where it may (run as the system, it may in
// every session; else in its own), and exits 0 when every noted session has its Corvale again.
#pragma once

#include <string>
#include <vector>

#include "corvale/service/service_commands.h"

namespace corvale {

class FileSystem;
class RunningCorvales;

constexpr uint32_t kDefaultCloseWaitSeconds = 60;
constexpr uint32_t kMostCloseWaitSeconds = 3600;

// True for "/Close" (any case), alone or with a number of seconds, and for "/Reopen".
bool IsCloseCommand(const std::vector<std::string>& arguments);

CommandOutcome RunCloseCommand(const std::vector<std::string>& arguments,
                               RunningCorvales& corvales, FileSystem& files,
                               const std::string& reopen_file);

}  // namespace corvale
