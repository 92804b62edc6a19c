// What makes a print count as printed: the print utility's exit codes that mean success, and how
// long the utility may run before it is ended.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace corvale {

constexpr char kDefaultSuccessExitCodes[] = "0";

// The two settings as stored, before they are checked.
struct PrintSettings {
  std::string PrintSuccessExitCodes = kDefaultSuccessExitCodes;
  int32_t PrintTimeoutMinutes = 0;  // 0 or less: wait without limit
  bool operator==(const PrintSettings&) const = default;
};

struct PrintPolicy {
  std::vector<uint32_t> SuccessExitCodes{0};
  int32_t TimeoutMinutes = 0;
  bool IsSuccess(uint32_t exit_code) const;
};

// The policy the settings give. A success list that is not a list leaves the default in force,
// and `complaint` says so; otherwise `complaint` is empty.
PrintPolicy PolicyOf(const PrintSettings& settings, std::string& complaint);

// The codes of a comma-separated list of decimal numbers ("0", "0, 1,3"); a negative number is
// the exit code a program gets by returning it (-1 is 4294967295). Nothing when the text is not
// such a list.
std::optional<std::vector<uint32_t>> ParseExitCodeList(const std::string& text);

}  // namespace corvale
