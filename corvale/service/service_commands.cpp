// The service's command-line switches.
#include "corvale/service/service_commands.h"

#include "common/text.h"
#include "corvale/platform/service_manager.h"
#include "corvale/service/service_names.h"
#include "corvale/settings/run_entry.h"

namespace corvale {

namespace {

constexpr uint32_t kServiceExists = 1073;
constexpr uint32_t kServiceDoesNotExist = 1060;
constexpr uint32_t kServiceNotActive = 1062;
constexpr uint32_t kServiceAlreadyRunning = 1056;

// Who may do what with the service: the system and administrators everything, every user logged
// on at the computer (interactive) may also start and stop it, so that the window of the
// service's account works without an elevated prompt.
constexpr char kServiceSecurity[] =
    "D:(A;;CCLCSWRPWPDTLOCRRC;;;SY)(A;;CCDCLCSWRPWPDTLOCRSDRCWDWO;;;BA)"
    "(A;;CCLCSWRPWPDTLOCRRC;;;IU)(A;;CCLCSWLOCRRC;;;SU)";

std::optional<std::string> SwitchValue(const std::vector<std::string>& arguments,
                                       const std::string& name) {
  const std::string prefix = "/" + name + ":";
  for (const std::string& argument : arguments) {
    if (argument.size() >= prefix.size() &&
        varnell::EqualsIgnoreCase(argument.substr(0, prefix.size()), prefix))
      return argument.substr(prefix.size());
  }
  return std::nullopt;
}

bool Is(const std::vector<std::string>& arguments, const char* command) {
  return !arguments.empty() && varnell::EqualsIgnoreCase(arguments[0], command);
}

CommandOutcome Failed(const std::string& what, uint32_t error, std::string (*error_text)(uint32_t)) {
  return {kCommandFailed, what + ": " + error_text(error)};
}

CommandOutcome Install(const std::vector<std::string>& arguments, ServiceManager& services,
                       Registry& registry, const ProgramPath& program,
                       std::string (*error_text)(uint32_t)) {
  const std::string account = ServiceAccountName(SwitchValue(arguments, "Account").value_or(""));
  if (account.empty()) {
    return {kCommandRefused,
            "Give the account the service runs as: corvale.exe /InstallService /Account:NAME "
            "/Password:SECRET"};
  }
  if (IsSystemAccount(account)) {
    return {kCommandRefused,
            "The service does not run as " + account +
                ": that account's default printer and printer connections are not an "
                "operator's, and it meets shares as the computer. Give the operator's account, "
                "or one made for printing."};
  }
  if (!services.Elevated()) {
    return {kCommandNotElevated,
            "Installing the service needs an elevated prompt (Run as administrator)."};
  }
  if (SystemError error = services.GrantServiceLogonRight(account))
    return Failed("The account " + account + " cannot be given the right to log on as a service",
                  error, error_text);
  ServiceConfig config;
  config.name = kServiceName;
  config.display_name = kServiceDisplayName;
  config.description = kServiceDescription;
  config.command_line = "\"" + program.full + "\" /Service";
  config.account = account;
  config.password = SwitchValue(arguments, "Password").value_or("");
  // The spooler for the printers; the workstation service for folders on shares.
  config.dependencies = {"Spooler", "LanmanWorkstation"};
  config.security = kServiceSecurity;
  if (SystemError error = services.Install(config)) {
    if (error == kServiceExists)
      return {kCommandFailed, "The service " + std::string(kServiceName) + " is installed already."};
    return Failed("The service cannot be installed", error, error_text);
  }
  // The window of the service's account shows the service: nothing starts it at logon any more.
  RemoveRunEntries(registry, {program.full, program.short_form});
  return {kCommandDone, "The service " + std::string(kServiceName) + " is installed; it runs as " +
                            account +
                            " and starts with Windows. Start it now with: net start " +
                            kServiceName};
}

CommandOutcome Remove(ServiceManager& services, std::string (*error_text)(uint32_t)) {
  if (!services.Elevated()) {
    return {kCommandNotElevated,
            "Removing the service needs an elevated prompt (Run as administrator)."};
  }
  if (services.State(kServiceName) == ServiceState::kNotInstalled)
    return {kCommandDone, "The service " + std::string(kServiceName) + " is not installed."};
  SystemError error = services.Stop(kServiceName, kServiceStopWaitMs);
  if (error != 0 && error != kServiceNotActive)
    return Failed("The service did not stop", error, error_text);
  error = services.Remove(kServiceName);
  if (error != 0 && error != kServiceDoesNotExist)
    return Failed("The service cannot be removed", error, error_text);
  return {kCommandDone, "The service " + std::string(kServiceName) + " is removed."};
}

}  // namespace

std::string ServiceAccountName(const std::string& account) {
  const std::string name = varnell::Trim(account);
  if (name.empty()) return name;
  if (name.find('\\') != std::string::npos || name.find('@') != std::string::npos) return name;
  return ".\\" + name;
}

bool IsSystemAccount(const std::string& account) {
  std::string name = varnell::ToLowerAscii(varnell::Trim(account));
  if (name.rfind(".\\", 0) == 0) name = name.substr(2);
  for (const char* system : {"localsystem", "system", "nt authority\\system", "localservice",
                             "nt authority\\localservice", "networkservice",
                             "nt authority\\networkservice", "nt authority\\local service",
                             "nt authority\\network service"}) {
    if (name == system) return true;
  }
  return false;
}

bool IsServiceCommand(const std::vector<std::string>& arguments) {
  for (const char* command : {"/InstallService", "/RemoveService", "/StartService", "/StopService"})
    if (Is(arguments, command)) return true;
  return false;
}

CommandOutcome RunServiceCommand(const std::vector<std::string>& arguments,
                                 ServiceManager& services, Registry& registry,
                                 const ProgramPath& program,
                                 std::string (*error_text)(uint32_t)) {
  if (Is(arguments, "/InstallService"))
    return Install(arguments, services, registry, program, error_text);
  if (Is(arguments, "/RemoveService")) return Remove(services, error_text);
  if (Is(arguments, "/StartService")) {
    const SystemError error = services.Start(kServiceName);
    if (error == 0 || error == kServiceAlreadyRunning)
      return {kCommandDone, "The service " + std::string(kServiceName) + " is started."};
    return Failed("The service cannot be started", error, error_text);
  }
  if (Is(arguments, "/StopService")) {
    const SystemError error = services.Stop(kServiceName, kServiceStopWaitMs);
    if (error == 0 || error == kServiceNotActive)
      return {kCommandDone, "The service " + std::string(kServiceName) + " is stopped."};
    return Failed("The service cannot be stopped", error, error_text);
  }
  return {kCommandRefused, "Not a command of the Corvale service."};
}

}  // namespace corvale
