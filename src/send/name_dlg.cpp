#include "send/name_dlg.h"

#include "design_name_res.h"
#include "frame/module.h"
#include "frame/transfer_frame.h"
#include "send/send_state.h"

namespace {

BOOL OnInitDialog(HWND dialog)
{
    SetDlgItemTextA(dialog, IDC_DESIGN_NAME_EDIT, g_directDesignName);
    CenterWindow(dialog);
    return TRUE;
}

void OnOk(HWND dialog)
{
    char typed[DESIGN_NAME_SIZE] = "";
    GetDlgItemTextA(dialog, IDC_DESIGN_NAME_EDIT, typed, sizeof typed);
    if (typed[0] == '\0')
        MakeDefaultDesignName(typed);
    if (!BuildDesignName(g_directDesignName, typed)) {
        MessageBoxA(dialog,
                    "A filename cannot contain any of the following characters:\n \\ / : * ? \" < > |",
                    "Rename", MB_ICONHAND);
        return;
    }
    EndDialog(dialog, 1);
}

}  // namespace

void MakeDefaultDesignName(char buffer[DESIGN_NAME_SIZE])
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    // The local time converted as it is, without any time-zone shift.
    FILETIME count = {};
    SystemTimeToFileTime(&now, &count);
    DefaultDesignName(((uint64_t)count.dwHighDateTime << 32) | count.dwLowDateTime, buffer);
}

INT_PTR CALLBACK NameDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(dialog);
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            OnOk(dialog);
            return TRUE;
        case IDCANCEL:
            return PostClose(dialog);
        }
        return FALSE;
    case WM_CLOSE:
        EndDialog(dialog, 2);
        return TRUE;
    case WM_PAINT:
        return PaintNothing(dialog);
    }
    return FALSE;
}
