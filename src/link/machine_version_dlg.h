#pragma once
// The Confirm Machine's Version dialog (template 115) behind CheckVersionDlg, and the
// machine version it records (1 = program version 2.1 or earlier, 2 = version 2.2).
#include <windows.h>

// The dialog's parameter is CheckVersionDlg's force flag.
INT_PTR CALLBACK VersionDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// 1 when "Version 2.1 or earlier" is checked, else 2 when "Version 2.2" is, else -1.
int GetCheckedVersion(HWND dialog);
