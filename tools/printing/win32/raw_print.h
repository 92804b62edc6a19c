// RAW printing through the Windows spooler and the default printer, for the tools.
#pragma once

#include <string>

namespace varnell::tools {

// Sends `bytes` unchanged to `printer` as one RAW document. Empty on success, else the reason.
std::string PrintRaw(const std::string& printer, const std::string& document_name,
                     const std::string& bytes, unsigned long* job_id = nullptr);

// The whole file into `bytes`. Empty on success, else the reason.
std::string ReadWholeFile(const std::string& path, std::string& bytes);

// GetDefaultPrinter's name; empty when there is no default printer.
std::string DefaultPrinterName();

// The system's text for the calling thread's last error, with its number.
std::string LastErrorText();

}  // namespace varnell::tools
