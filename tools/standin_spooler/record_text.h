// Texts of the stand-in spooler's record: one line per call, naming what was asked for and what
// was answered, so that a test can check the calls of the program under test. Any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/standin_spooler/spooler_play.h"

namespace standin_spooler {

// PRINTER_NOTIFY_OPTIONS as a caller passes them.
struct RequestedType {
  std::uint16_t type = 0;
  std::vector<std::uint16_t> fields;
};
struct RequestedOptions {
  std::uint32_t version = 0;
  std::uint32_t flags = 0;
  std::vector<RequestedType> types;
};

// "version 2 flags 1 job(0 1 10) printer(18 20)" (a type other than job and printer by its
// number); "none" without options.
std::string OptionsText(const std::optional<RequestedOptions>& options);

// What a fetch answered: "TRUE info #3 (step 2, 5 entries, discarded)", "TRUE no information
// (step 4)", "FALSE (step 5, the spooler restarts)", ... `info_number` counts the information
// blocks handed out.
std::string FetchText(const FetchAnswer& answer, int info_number);

// The name in double quotes.
std::string Quoted(const std::string& name);

}  // namespace standin_spooler
