// The Run entry "Corvale" that starts Corvale at every logon: machine-wide where the user may
// write it, else for the user alone (under UAC a program run as invoker may not write below
// HKEY_LOCAL_MACHINE, administrators included).
#pragma once

#include <string>
#include <vector>

namespace corvale {

class Registry;

enum class RunEntryPlace { kNone, kMachine, kUser };

// Writes the entry with `data` (program and switches) machine-wide, or for the current user when
// that is refused; a per-user entry of this program goes once the machine-wide one is written.
// Returns where the entry is now: kNone when neither could be written.
RunEntryPlace WriteRunEntry(Registry& registry, const std::string& data,
                            const std::vector<std::string>& program_forms);

// Removes the entries, machine-wide and per user, that start this program (`program_forms`: its
// path in every form an entry may give, long and short); an entry of a Corvale elsewhere stays.
void RemoveRunEntries(Registry& registry, const std::vector<std::string>& program_forms);

// Whether the command line `command` starts one of `program_forms` (quoted or not, any case).
bool RunEntryStarts(const std::string& command, const std::vector<std::string>& program_forms);

// The log line and status text for where the entry went, empty when nothing needs saying.
std::string RunEntryReport(RunEntryPlace place);

}  // namespace corvale
