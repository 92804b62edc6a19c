// corvale.exe /Service: the Service Control Manager's side of the Corvale service. Runs the
// service until it stops; the process's exit code. Started by hand, it says what it is for and
// gives 1.
#pragma once

namespace corvale::win32 {

int RunAsService();

}  // namespace corvale::win32
