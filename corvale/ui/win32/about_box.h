// The modal window "About", made from a dialog template built in memory.
#pragma once

#include <string>

#include "common/win32/windows_support.h"

namespace corvale::win32 {

// Shows the program's name and version text with an "OK" button; returns when it is closed.
void ShowAboutBox(HWND owner, const std::string& program, const std::string& version);

}  // namespace corvale::win32
