// The names under which Corvale runs as a Windows service, and the files it shares with the
// window that shows it.
#pragma once

namespace corvale {

constexpr char kServiceName[] = "Corvale";
constexpr char kServiceDisplayName[] = "Corvale hot-folder print server";
constexpr char kServiceDescription[] =
    "Prints the AFP files dropped into the hot folders of Corvale's printers, with nobody logged "
    "on; the Corvale window of the service's account shows it and starts and stops it.";
// The service's state, as it writes it for the window, in the job store.
constexpr char kServiceStatusFileName[] = "Corvale.status";

}  // namespace corvale
