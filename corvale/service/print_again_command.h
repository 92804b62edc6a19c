// "corvale.exe /PrintFailedAgain [printer]": puts a printer's failed jobs (every served
// printer's when none is named) back into its input folder, for scripts. A Corvale window of
// the session is handed the request (WM_COPYDATA) and does it, so that its notice and button
// follow at once; with none, the command does the moves itself, with a server of its own that
// never starts. The running server's watch takes the files either way.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "corvale/service/service_commands.h"

namespace corvale {

struct ServerPlatform;

constexpr char kPrintAgainSwitch[] = "/PrintFailedAgain";
// The tag of the request's WM_COPYDATA; its data is the printer's name in UTF-8.
constexpr uint32_t kPrintAgainRequest = 0x43565041;

// True for "/PrintFailedAgain" (any case), alone or with one printer name.
bool IsPrintAgainCommand(const std::vector<std::string>& args);
std::string PrintAgainPrinter(const std::vector<std::string>& args);

// The window's answer: the exit code in the low byte, then the jobs put back and the jobs that
// stayed (at most 4095 each).
uint32_t PrintAgainReply(int exit_code, int moved, int stayed);
// The command's outcome from the window's answer.
CommandOutcome DescribePrintAgainReply(uint32_t reply, const std::string& printer);

// No Corvale window runs: the settings of the registry, the log, the moves, from here.
CommandOutcome PrintFailedAgainHere(ServerPlatform& platform, const std::string& printer);

}  // namespace corvale
