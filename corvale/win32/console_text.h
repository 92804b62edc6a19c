// Text for the console that started corvale.exe (a window program has none of its own): its
// output when redirected, else the console of the program that started it; nowhere when there
// is neither.
#pragma once

#include <string>

namespace corvale::win32 {

void WriteConsoleText(const std::string& utf8);

}  // namespace corvale::win32
