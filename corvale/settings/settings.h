// Corvale's settings as one value: every printer's slot, the printer selected last, the log and
// start-up options and what makes a print count as printed. The settings store reads it from the
// registry and writes it back; the window edits a copy through its controls; the print server
// works from the copy in force.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "corvale/engine/print_policy.h"
#include "corvale/settings/log_file.h"

namespace corvale {

constexpr int kMaxSlots = 256;

// One printer's settings.
struct TRec {
  bool EnableIPDSEmulation = false;
  std::string PrinterName;
  std::string InputFolder;
  std::string DoneFolder;
  bool DeleteInputFileWhenDone = false;
  int32_t QueueDepth = 1;
  bool operator==(const TRec&) const = default;
};

// Slot arrays are indexed by slot number 1..256; element 0 is unused.
template <typename T>
using SlotArray = std::array<T, kMaxSlots + 1>;

// The settings an administrator set for the computer (the policy key, see settings_store.h), by
// their registry value names: they are in force, shown greyed, and never saved for the user.
struct PolicyFields {
  // Values of the Varnell key, and "DefaultPrinter" of its Devices key.
  std::set<std::string> Names;
  // Values of a printer's key, by slot number.
  std::map<int, std::set<std::string>> SlotNames;

  bool Has(const std::string& name) const { return Names.count(name) != 0; }
  bool SlotHas(int slot, const std::string& name) const {
    auto it = SlotNames.find(slot);
    return it != SlotNames.end() && it->second.count(name) != 0;
  }
  bool Empty() const { return Names.empty() && SlotNames.empty(); }
  bool operator==(const PolicyFields&) const = default;
};

struct Settings {
  // The printer list the slots belong to: slot n is entry n-1. At most kMaxSlots entries.
  std::vector<std::string> Printers;
  SlotArray<TRec> Slots;
  // The printer selected last, spelt as the list spells it; empty: the first one.
  std::string DefaultPrinter;
  // The log file as typed, without a date stamp.
  std::string LogFile;
  bool LogEnabled = true;
  LogSettings Log;
  bool LaunchOnStartup = false;
  PrintSettings Print;
  // Which of the values above the administrator's policy set.
  PolicyFields Policy;

  int32_t SlotCount() const { return static_cast<int32_t>(Printers.size()); }
  bool operator==(const Settings&) const = default;
};

// The printer list for the slots: the system's printers without "Varnell" and "AFP Printer",
// which belong to the other programs of the system, at most as many as there are slots.
std::vector<std::string> PrinterListForSlots(std::vector<std::string> printers);

}  // namespace corvale
