// The exit-code list of the print utility.
#include "corvale/engine/print_policy.h"

#include <algorithm>
#include <limits>

#include "common/text.h"

namespace corvale {

namespace {

std::optional<uint32_t> ParseExitCode(const std::string& item) {
  const std::string text = varnell::Trim(item);
  const bool negative = !text.empty() && text[0] == '-';
  const std::string digits = negative ? text.substr(1) : text;
  if (digits.empty() || digits.size() > 10) return std::nullopt;
  int64_t value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (negative) {
    if (value > -static_cast<int64_t>(std::numeric_limits<int32_t>::min())) return std::nullopt;
    return static_cast<uint32_t>(-value);
  }
  if (value > std::numeric_limits<uint32_t>::max()) return std::nullopt;
  return static_cast<uint32_t>(value);
}

}  // namespace

bool PrintPolicy::IsSuccess(uint32_t exit_code) const {
  return std::find(SuccessExitCodes.begin(), SuccessExitCodes.end(), exit_code) !=
         SuccessExitCodes.end();
}

PrintPolicy PolicyOf(const PrintSettings& settings, std::string& complaint) {
  PrintPolicy policy;
  policy.TimeoutMinutes = settings.PrintTimeoutMinutes > 0 ? settings.PrintTimeoutMinutes : 0;
  complaint.clear();
  if (auto codes = ParseExitCodeList(settings.PrintSuccessExitCodes)) {
    policy.SuccessExitCodes = *codes;
  } else {
    complaint = "PrintSuccessExitCodes \"" + settings.PrintSuccessExitCodes +
                "\" is not a comma-separated list of exit codes; \"" + kDefaultSuccessExitCodes +
                "\" is used";
  }
  return policy;
}

std::optional<std::vector<uint32_t>> ParseExitCodeList(const std::string& text) {
  std::vector<uint32_t> codes;
  size_t start = 0;
  while (true) {
    const size_t comma = text.find(',', start);
    const std::optional<uint32_t> code = ParseExitCode(text.substr(start, comma - start));
    if (!code) return std::nullopt;
    codes.push_back(*code);
    if (comma == std::string::npos) return codes;
    start = comma + 1;
  }
}

}  // namespace corvale
