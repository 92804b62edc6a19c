// Identifiers of the tools' test window.
#pragma once

#define IDD_TOOLS_TEST 100
#define IDC_FOLDER 101
#define IDC_DELETE 102
#define IDC_PRINTER 103
#define IDC_START 104
#define IDC_STATUS 105
