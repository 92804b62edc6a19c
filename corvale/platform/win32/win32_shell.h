// Starting the print utility and opening documents through the Windows shell.
#pragma once

#include "corvale/platform/shell.h"

namespace corvale::win32 {

class Win32Shell : public Shell {
 public:
  std::unique_ptr<StartedProgram> StartHidden(const std::string& program,
                                              const std::string& parameters,
                                              uint32_t& error) override;
  void OpenDocument(const std::string& path) override;
  bool StartElevated(const std::string& program, const std::string& parameters) override;
  void SetOwnerWindow(void* owner) { owner_ = owner; }

 private:
  void* owner_ = nullptr;
};

}  // namespace corvale::win32
