#pragma once
// The Communication Settings dialog (template 110) behind SetSerialCommParamDlg: the COM
// port and the speed of the serial link, stored through the settings store.
#include <windows.h>

INT_PTR CALLBACK CommSettingsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Stores the chosen port and speed; false (after storing whatever came before the
// failing step) when there is no choice or the Tambora key refuses a write.
bool SaveCommSettings(HWND dialog);
// Checks the speed button of a baud rate code (1..5); other codes check nothing.
void CheckBaudRateButton(HWND dialog, int code);
// The code of the first checked speed button, -1 when none is checked.
int GetCheckedBaudRateCode(HWND dialog);
