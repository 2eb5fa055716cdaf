// The Communication Settings dialog (template 110) behind SetSerialCommParamDlg: the COM
// port and the speed of the serial link, stored through the settings store.
#include "VembDlg.h"
#include "comm_settings_res.h"
#include "frame/controls.h"
#include "frame/module.h"
#include "frame/transfer_frame.h"
#include "link/settings.h"
#include "resource.h"

namespace {

// The speed buttons in the order a checked one is looked for; the n-th stands for code n.
const int kBaudRateButtons[] = {IDC_BAUD_4800, IDC_BAUD_9600, IDC_BAUD_19200, IDC_BAUD_38400, IDC_BAUD_57600};
const int kBaudRateButtonCount = sizeof kBaudRateButtons / sizeof kBaudRateButtons[0];
const int DEFAULT_BAUD_RATE_CODE = 4;

void CheckBaudRateButton(HWND dialog, int code)
{
    // The button ids are not one range, so CheckRadioButton cannot do this.
    if (code < 1 || code > kBaudRateButtonCount)
        return;
    for (int i = 0; i < kBaudRateButtonCount; ++i)
        CheckDlgButton(dialog, kBaudRateButtons[i], i == code - 1 ? BST_CHECKED : BST_UNCHECKED);
}

int GetCheckedBaudRateCode(HWND dialog)
{
    for (int i = 0; i < kBaudRateButtonCount; ++i)
        if (IsChecked(dialog, kBaudRateButtons[i]))
            return i + 1;
    return -1;
}

bool SaveCommSettings(HWND dialog)
{
    // The port is stored before the speed is looked at: a missing speed leaves the new
    // port stored.
    LRESULT item = SendDlgItemMessageA(dialog, IDC_COMM_PORT, CB_GETCURSEL, 0, 0);
    if (item == CB_ERR)
        return false;
    if (!WriteComPort((int)item + 1))
        return false;
    int code = GetCheckedBaudRateCode(dialog);
    if (code == -1)
        return false;
    return WriteBaudRateCode(code) != FALSE;
}

BOOL OnInitDialog(HWND dialog)
{
    HWND combo = GetDlgItem(dialog, IDC_COMM_PORT);
    for (int i = 0; g_comPortNames[i][0]; ++i)
        SendMessageA(combo, CB_ADDSTRING, 0, (LPARAM)g_comPortNames[i]);

    // Opening the dialog repairs missing or invalid settings in the registry, even when
    // the user cancels afterwards.
    if (const char *port = ReadComPort()) {
        LRESULT item = SendMessageA(combo, CB_FINDSTRING, (WPARAM)-1, (LPARAM)port);
        SendMessageA(combo, CB_SETCURSEL, item, 0);
    } else {
        WriteComPort(1);
        SendMessageA(combo, CB_SETCURSEL, 0, 0);
    }
    int code = ReadBaudRateCode();
    if (code == -1) {
        WriteBaudRateCode(DEFAULT_BAUD_RATE_CODE);
        code = DEFAULT_BAUD_RATE_CODE;
    }
    CheckBaudRateButton(dialog, code);

    CenterWindow(dialog);
    return TRUE;
}

void OnOk(HWND dialog)
{
    if (SaveCommSettings(dialog)) {
        EndDialog(dialog, 1);
        return;
    }
    MessageBoxA(dialog, "Failed to get the parameter.", "Setting serial communication propaties",
                MB_OK | MB_ICONHAND);
}

BOOL OnCommand(HWND dialog, int id)
{
    switch (id) {
    case IDOK:
        OnOk(dialog);
        return TRUE;
    case IDCANCEL:
        return PostClose(dialog);
    }
    return FALSE;
}

INT_PTR CALLBACK CommSettingsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(dialog);
    case WM_COMMAND:
        return OnCommand(dialog, LOWORD(wParam));
    case WM_CLOSE:
        EndDialog(dialog, 2);
        return TRUE;
    case WM_PAINT:
        return PaintNothing(dialog);
    }
    return FALSE;
}

}  // namespace

extern "C" BOOL WINAPI SetSerialCommParamDlg(HWND owner)
{
    // The dialog ends with 1 or 2; anything else (-1, or 0 for an invalid owner) means it
    // never opened.
    INT_PTR result = OpenModuleDialog(IDD_COMM_SETTINGS, owner, CommSettingsDlgProc);
    return result == 1 || result == 2 ? 1 : 0;
}
