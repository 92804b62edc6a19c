// The setup wizard as the main window reads it once it has closed with OK: its printer list,
// which entries are ticked and the input folder it gives a printer. The wizard window model
// implements it.
#pragma once

#include <string>
#include <vector>

namespace corvale {

class SetupWizard {
 public:
  virtual ~SetupWizard() = default;
  // The wizard's printer list, in the order of the main window's printer box.
  virtual const std::vector<std::string>& Printers() const = 0;
  virtual bool Ticked(int index) const = 0;
  virtual int TickedCount() const = 0;
  virtual std::string FolderForPrinter(const std::string& printer) const = 0;
};

}  // namespace corvale
