// The play of the stand-in spooler's script.
#include "tools/standin_spooler/spooler_play.h"

#include <algorithm>

namespace standin_spooler {

SpoolerPlay::SpoolerPlay(SpoolerScript script)
    : script_(std::move(script)), states_(script_.printers.size()) {}

bool SpoolerPlay::Down(const State& state, std::uint64_t now) const {
  return state.down_for_good || now < state.down_until;
}

bool SpoolerPlay::CanOpen(std::size_t printer, std::uint64_t now) const {
  return !script_.printers[printer].open_fails && !Down(states_[printer], now);
}

bool SpoolerPlay::Register(std::size_t printer, std::uint64_t now) {
  State& state = states_[printer];
  if (script_.printers[printer].register_fails || Down(state, now)) return false;
  state.registered = true;
  state.signaled.reset();
  ArmNext(printer, now);
  return true;
}

void SpoolerPlay::Unregister(std::size_t printer) {
  State& state = states_[printer];
  state.registered = false;
  state.due.reset();
  state.signaled.reset();
}

void SpoolerPlay::ArmNext(std::size_t printer, std::uint64_t now) {
  State& state = states_[printer];
  const std::vector<ScriptStep>& steps = script_.printers[printer].steps;
  if (state.next_step < steps.size()) {
    state.due = now + steps[state.next_step].after_ms;
  } else {
    state.due.reset();
  }
}

std::vector<std::size_t> SpoolerPlay::SignalDue(std::uint64_t now) {
  std::vector<std::size_t> signaled;
  for (std::size_t printer = 0; printer < states_.size(); ++printer) {
    State& state = states_[printer];
    if (!state.registered || !state.due || *state.due > now || state.signaled) continue;
    state.due.reset();
    state.signaled = state.next_step++;
    state.fetched_once = false;
    signaled.push_back(printer);
  }
  return signaled;
}

std::optional<std::uint64_t> SpoolerPlay::NextDue() const {
  std::optional<std::uint64_t> next;
  for (const State& state : states_) {
    if (state.registered && state.due) next = std::min(next.value_or(*state.due), *state.due);
  }
  return next;
}

FetchAnswer SpoolerPlay::Fetch(std::size_t printer, std::uint64_t now) {
  State& state = states_[printer];
  if (!state.registered || !state.signaled) return FetchAnswer{};
  const ScriptStep& step = script_.printers[printer].steps[*state.signaled];
  FetchAnswer answer;
  answer.step = static_cast<int>(*state.signaled) + 1;
  if (step.kind == StepKind::kRestart) {
    answer.kind = FetchKind::kFails;
    answer.stops_registration = true;
    Unregister(printer);
    state.down_for_good = !step.down_ms;
    state.down_until = now + step.down_ms.value_or(0);
    return answer;
  }
  answer.refetch = state.fetched_once;
  const ScriptFetch& fetch = answer.refetch ? *step.refetch : step.fetch;
  answer.kind = fetch.fails     ? FetchKind::kFails
                : fetch.no_info ? FetchKind::kNoInfo
                                : FetchKind::kInfo;
  answer.fetch = &fetch;
  // A change whose data was discarded waits for its refetch before the next step is armed.
  if (!answer.refetch && fetch.discarded && step.refetch) {
    state.fetched_once = true;
  } else {
    state.signaled.reset();
    ArmNext(printer, now);
  }
  return answer;
}

}  // namespace standin_spooler
