// The command-line switches that install, remove, start and stop the Corvale service:
//   corvale.exe /InstallService /Account:NAME [/Password:SECRET]
//   corvale.exe /RemoveService
//   corvale.exe /StartService | /StopService
// Installing and removing need an elevated prompt. Each gives an exit code and a text for the
// console: 0 done; 1 the system refused (its reason in the text); 2 not such a command line, or an
// account a service must not run as; 5 not elevated.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace corvale {

class Registry;
class ServiceManager;

constexpr int kCommandDone = 0;
constexpr int kCommandFailed = 1;
constexpr int kCommandRefused = 2;
constexpr int kCommandNotElevated = 5;

struct CommandOutcome {
  int exit_code = kCommandDone;
  std::string text;
};

// How long removing waits for the running service to stop.
constexpr uint32_t kServiceStopWaitMs = 60000;

// Whether `arguments` ask for one of the service's commands (the first argument decides).
bool IsServiceCommand(const std::vector<std::string>& arguments);

// corvale.exe's path: in full, and its short form where the file system has one.
struct ProgramPath {
  std::string full;
  std::string short_form;
};

// Runs the command `arguments` ask for; `error_text` turns a system error code into its text.
CommandOutcome RunServiceCommand(const std::vector<std::string>& arguments,
                                 ServiceManager& services, Registry& registry,
                                 const ProgramPath& program,
                                 std::string (*error_text)(uint32_t));

// The account as the Service Control Manager takes it: "name" and ".\name" are this computer's
// account ".\name"; "DOMAIN\name" and "name@domain" stay. Empty for an empty name.
std::string ServiceAccountName(const std::string& account);
// True for the system's own accounts, which a Corvale service must not run as: their default
// printer and printer connections are not an operator's, and they meet shares as the computer.
bool IsSystemAccount(const std::string& account);

}  // namespace corvale
