// The stand-in spooler's play of its script: which printers can be opened and registered, when
// each registered printer's next change is due, and what each fetch returns. Times are
// milliseconds on the caller's clock. Not thread-safe: the caller holds its lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "tools/standin_spooler/spooler_script.h"

namespace standin_spooler {

enum class FetchKind {
  kFails,       // FALSE
  kNoInfo,      // TRUE without information
  kInfo,        // TRUE with the entries of `fetch`
  kUnsignaled,  // TRUE although no change was signalled: a fault of the caller
};

struct FetchAnswer {
  FetchKind kind = FetchKind::kUnsignaled;
  const ScriptFetch* fetch = nullptr;  // kInfo
  int step = 0;                        // the step's number in its printer's list, from 1
  bool refetch = false;                // the second fetch of the step's change
  bool stops_registration = false;     // the spooler restarts: the change handle stops working
};

class SpoolerPlay {
 public:
  explicit SpoolerPlay(SpoolerScript script);

  const std::vector<ScriptPrinter>& Printers() const { return script_.printers; }

  bool CanOpen(std::size_t printer, std::uint64_t now) const;
  // False when registering fails; otherwise the printer's next step is due after its pause.
  bool Register(std::size_t printer, std::uint64_t now);
  void Unregister(std::size_t printer);
  bool Registered(std::size_t printer) const { return states_[printer].registered; }

  // The printers whose next change is due by `now`, now signalled, in printer order.
  std::vector<std::size_t> SignalDue(std::uint64_t now);
  // When the next change of any registered printer is due.
  std::optional<std::uint64_t> NextDue() const;

  // One FindNextPrinterChangeNotification of a registered printer.
  FetchAnswer Fetch(std::size_t printer, std::uint64_t now);

 private:
  struct State {
    bool registered = false;
    std::size_t next_step = 0;
    std::optional<std::uint64_t> due;
    std::optional<std::size_t> signaled;  // the step whose change waits to be fetched
    bool fetched_once = false;
    bool down_for_good = false;
    std::uint64_t down_until = 0;
  };
  bool Down(const State& state, std::uint64_t now) const;
  void ArmNext(std::size_t printer, std::uint64_t now);

  SpoolerScript script_;
  std::vector<State> states_;
};

}  // namespace standin_spooler
