// Falcrest's run: command-line dispatch and the install and remove flows.
#include "falcrest/installer_flow.h"

#include <memory>

#include "falcrest/driver_installer.h"
#include "falcrest/installer_names.h"
#include "falcrest/paths.h"
#include "falcrest/service_control.h"

namespace falcrest {

namespace {

constexpr size_t kRemoveArgumentCount = 4;

InstallerPlatform InstallerPlatformOf(const FalcrestPlatform& platform) {
  return InstallerPlatform{platform.environment, platform.files, platform.spooler,
                           platform.console};
}

// A folder the path buffers cannot hold, or one that names nothing, is refused before anything
// on the system changes.
bool InstallationFolderAccepted(const std::vector<std::u16string>& arguments,
                                const Invocation& invocation, Console& console) {
  if (arguments.size() == 1 && arguments[0].empty()) {
    console.WriteErr("The installation folder argument is empty.\r\n");
    return false;
  }
  if (invocation.InstallationFolder.empty()) {
    console.WriteErr("The installation folder is empty.\r\n");
    return false;
  }
  if (invocation.InstallationFolder.size() > kMaxInstallationFolderUnits) {
    console.WriteErr("The installation folder is longer than 240 characters.\r\n");
    return false;
  }
  return true;
}

int InstallFlow(const std::u16string& installation_folder, const std::u16string& system_folder,
                const FalcrestPlatform& platform) {
  EnableLoadDriverPrivilege(platform.tokens, platform.console);
  // Both folders end in a backslash; a missing DLL shows only when the driver is used.
  platform.files.CopyOver(installation_folder + kApiDllSource, system_folder + kApiDllTarget);

  DriverInstaller installer(InstallerPlatformOf(platform));
  // A monitor that cannot be added may still be there from an earlier install.
  installer.InstallMonitor(installation_folder);
  if (!RegisterPortName(platform.registry)) {
    platform.console.WriteOut("\r\nFailed to create printer port\r\n");
    return kExitFailure;
  }

  // The restarted spooler loads the monitor, which then offers the port.
  SpoolerServiceControl service(platform.services, platform.clock, platform.console);
  service.StopSpoolerService();
  service.StartSpoolerService();

  platform.console.WriteOut("Preparing to install AFP driver...\r\n");
  installer.InstallDriver(installation_folder + kDriverSubfolder);
  return 0;
}

int RemoveFlow(const FalcrestPlatform& platform) {
  EnableLoadDriverPrivilege(platform.tokens, platform.console);
  SpoolerServiceControl service(platform.services, platform.clock, platform.console);
  service.StopSpoolerService();
  platform.registry.DeleteMachineKey(kPortMonitorKey);
  service.StartSpoolerService();

  DriverInstaller installer(InstallerPlatformOf(platform));
  installer.RemoveDriver();
  service.StartSpoolerService();
  return 0;
}

}  // namespace

Invocation ChooseInvocation(const std::vector<std::u16string>& arguments,
                            const std::u16string& program_file_path) {
  if (arguments.size() >= kRemoveArgumentCount) return Invocation{RunMode::kRemove, {}};
  if (arguments.size() == 1)
    return Invocation{RunMode::kInstall, WithTrailingBackslash(arguments[0])};
  return Invocation{RunMode::kInstall, FolderOfFile(program_file_path)};
}

void EnableLoadDriverPrivilege(Tokens& tokens, Console& console) {
  std::unique_ptr<AccessToken> token;
  if (!tokens.OpenCurrentProcessToken(kTokenAdjustPrivileges | kTokenQuery, token)) {
    console.WriteErr("Cannot open process token to lookup privilege value\r\n");
    return;
  }
  Luid privilege;
  if (!tokens.LookupPrivilege(kLoadDriverPrivilege, privilege)) {
    console.WriteErr("Cannot lookup process token privilege value\n\r");
    return;
  }
  if (!token->AdjustPrivilege(privilege, kSePrivilegeEnabled))
    console.WriteErr("Cannot adjust token privilege value\r\n");
}

bool RegisterPortName(Registry& registry) {
  std::unique_ptr<RegistryKey> key;
  if (!registry.OpenMachineKey(kPortMonitorKey, kKeyWrite, key)) return false;
  // REG_SZ bytes, little-endian units, terminator included.
  const std::u16string port = kPortName;
  std::vector<uint8_t> data;
  for (size_t i = 0; i <= port.size(); ++i) {
    const char16_t unit = i < port.size() ? port[i] : u'\0';
    data.push_back(static_cast<uint8_t>(unit & 0xFF));
    data.push_back(static_cast<uint8_t>(unit >> 8));
  }
  const Outcome set = key->SetValueBytes(kPortNameValue, kRegSz, data);
  key.reset();
  return set.Succeeded;
}

int RunFalcrest(const std::vector<std::u16string>& arguments, const FalcrestPlatform& platform) {
  const std::u16string system_folder =
      ExpandedOr(platform.environment, kSystemFolderTemplate, kSystemFolderFallback);
  const bool own_folder = arguments.size() != 1 && arguments.size() < kRemoveArgumentCount;
  const Invocation invocation = ChooseInvocation(
      arguments, own_folder ? platform.environment.ProgramFilePath() : std::u16string());
  if (invocation.Mode == RunMode::kRemove) return RemoveFlow(platform);
  if (!InstallationFolderAccepted(arguments, invocation, platform.console)) return kExitFailure;
  return InstallFlow(invocation.InstallationFolder, system_folder, platform);
}

}  // namespace falcrest
