// Start with the system: the Run entry written or removed at close, and the automatic start when
// the program was launched at logon.
#include "corvale/platform/registry.h"
#include "corvale/platform/system_info.h"
#include "corvale/ui/server_main_unit.h"

namespace corvale {

namespace {

constexpr char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char kRunValue[] = "Corvale";

}  // namespace

void TForm1::UpdateRunEntry() {
  Registry& registry = platform_.registry;
  const std::string data = ShortPathOf(platform_.system.ProgramPath()) + " /LaunchOnStartup";
  if (cbAutoRun.Checked()) {
    if (auto key = registry.OpenKey(RegistryHive::kLocalMachine, kRunKey,
                                    kKeyAllAccess | kKeyWow64_64Key, /*create=*/true))
      key->SetString(kRunValue, data);
    return;
  }
  bool exists = false;
  if (auto key = registry.OpenKey(RegistryHive::kLocalMachine, kRunKey, kKeyRead | kKeyWow64_64Key,
                                  /*create=*/false))
    exists = key->GetValue(kRunValue).has_value();
  if (!exists) return;
  if (auto key = registry.OpenKey(RegistryHive::kLocalMachine, kRunKey,
                                  kKeyAllAccess | kKeyWow64_64Key, /*create=*/false)) {
    if (key->GetValue(kRunValue)) key->DeleteValue(kRunValue);
  }
}

void TForm1::TimerAutoRunTimer() {
  // The first tick comes a second after start-up; a start refused then (a network share that
  // is not up yet) is tried again every minute, until it succeeds or the operator presses
  // Start or Stop.
  constexpr uint32_t kRetryIntervalMs = 60000;
  const bool first = TimerAutoRun.Interval() != kRetryIntervalMs;
  TimerAutoRun.SetEnabled(false);
  if (!ServerRunning()) {
    unattended_ = true;
    bool started = false;
    GuardedUnattended([&] { started = StartServer(); });
    unattended_ = false;
    if (!started) {
      TimerAutoRun.SetInterval(kRetryIntervalMs);
      TimerAutoRun.SetEnabled(true);
    }
  }
  if (first && OnMinimize) OnMinimize();
}

}  // namespace corvale
