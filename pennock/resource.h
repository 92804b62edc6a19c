// Resource identifiers of pennock.exe, shared by the resource script and the code.
#pragma once

#define IDD_ACTIVITY 101
#define IDI_PENNOCK 103
#define IDC_ACTIVITY 1000
