// The process token and its privileges.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "falcrest/platform/outcome.h"

namespace falcrest {

constexpr uint32_t kTokenAdjustPrivileges = 0x20;
constexpr uint32_t kTokenQuery = 0x8;
constexpr uint32_t kSePrivilegeEnabled = 2;

// A locally unique identifier of a privilege.
struct Luid {
  uint32_t LowPart = 0;
  int32_t HighPart = 0;
  bool operator==(const Luid&) const = default;
};

// An open access token; closed when destroyed.
class AccessToken {
 public:
  virtual ~AccessToken() = default;
  // AdjustTokenPrivileges(token, FALSE, one privilege with these attributes, 16, NULL, NULL).
  virtual Outcome AdjustPrivilege(const Luid& privilege, uint32_t attributes) = 0;
};

class Tokens {
 public:
  virtual ~Tokens() = default;
  // OpenProcessToken(GetCurrentProcess(), access, ...).
  virtual Outcome OpenCurrentProcessToken(uint32_t access, std::unique_ptr<AccessToken>& token) = 0;
  // LookupPrivilegeValueW(NULL, name, ...).
  virtual Outcome LookupPrivilege(const std::u16string& name, Luid& privilege) = 0;
};

}  // namespace falcrest
