// The Confirm Machine's Version dialog (template 115) behind CheckVersionDlg, and the
// machine version it records (1 = program version 2.1 or earlier, 2 = version 2.2).
#include "VembDlg.h"
#include "frame/controls.h"
#include "frame/transfer_frame.h"
#include "link/settings.h"
#include "machine_version_res.h"
#include "resource.h"

namespace {

const char SELECT_CAPTION[] = "Select Machine's Version";
// Shown for version 2.2 and when no version is known.
const char REOPEN_NOTE[] = "* Click [Loomstar] - [Select Machine's Version] \n   to open this dialog again.";
// Shown for version 2.1 or earlier.
const char UPDATE_NOTE[] = "* We recomend you to update LS9000's program.\n"
                           "* Visit our website at  http://www.loomstar.example/support/"
                           "\n    to download new program.";

void SetNote(HWND dialog, const char *note)
{
    SetDlgItemTextA(dialog, IDC_VERSION_NOTE, note);
}

int GetCheckedVersion(HWND dialog)
{
    if (IsChecked(dialog, IDC_VERSION_21))
        return 1;
    if (IsChecked(dialog, IDC_VERSION_22))
        return 2;
    return -1;
}

BOOL OnInitDialog(HWND dialog, int force)
{
    int version = GetVersionCode();
    if (version == -1) {
        SetWindowTextA(dialog, SELECT_CAPTION);
        SetNote(dialog, REOPEN_NOTE);
        return TRUE;
    }
    if (force)
        SetWindowTextA(dialog, SELECT_CAPTION);
    // Any version other than 2 is treated as 2.1 or earlier.
    if (version == 2) {
        SetNote(dialog, REOPEN_NOTE);
        CheckDlgButton(dialog, IDC_VERSION_22, BST_CHECKED);
    } else {
        SetNote(dialog, UPDATE_NOTE);
        CheckDlgButton(dialog, IDC_VERSION_21, BST_CHECKED);
    }
    return TRUE;
}

BOOL OnCommand(HWND dialog, int id, int code)
{
    switch (id) {
    case IDC_VERSION_21:
        if (code == BN_CLICKED)
            SetNote(dialog, UPDATE_NOTE);
        return TRUE;
    case IDC_VERSION_22:
        if (code == BN_CLICKED)
            SetNote(dialog, REOPEN_NOTE);
        return TRUE;
    case IDOK:
        // Also with neither button checked: -1 then records that no version is known. A
        // failed write is not the user's concern here.
        WriteMachineVersion(GetCheckedVersion(dialog));
        EndDialog(dialog, 1);
        return TRUE;
    case IDCANCEL:
        return PostClose(dialog);
    }
    return FALSE;
}

INT_PTR CALLBACK VersionDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(dialog, (int)lParam);
    case WM_COMMAND:
        return OnCommand(dialog, LOWORD(wParam), HIWORD(wParam));
    case WM_CLOSE:
        EndDialog(dialog, 2);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

extern "C" int WINAPI GetVersionCode(void)
{
    return ReadMachineVersion();
}

extern "C" int WINAPI CheckVersionDlg(HWND owner, int force)
{
    if (force == 0 && GetVersionCode() == 2)
        return 1;
    // The dialog ends with 1 or 2; anything else (-1, or 0 for an invalid owner) means it
    // never opened.
    INT_PTR result = OpenModuleDialog(IDD_MACHINE_VERSION, owner, VersionDlgProc, force);
    return result == 1 || result == 2 ? (int)result : -1;
}
