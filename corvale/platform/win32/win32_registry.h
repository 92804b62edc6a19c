// The Windows registry behind Corvale's Registry interface.
#pragma once

#include "corvale/platform/registry.h"

namespace corvale::win32 {

class Win32Registry : public Registry {
 public:
  std::unique_ptr<RegistryKey> OpenKey(RegistryHive hive, const std::string& path, uint32_t access,
                                       bool create) override;
};

}  // namespace corvale::win32
