// What the Receive Designs and the Delete Designs dialogs do alike around their machine
// design list: the opening, the first load, the buttons of the two memories, the preview
// on WM_PAINT, the link state in the title, and closing.
#include "design/preview.h"
#include "frame/controls.h"
#include "frame/module.h"
#include "frame/transfer_frame.h"
#include "machinelist/design_list.h"
#include "resource.h"

namespace {

void OnListLoad(DesignListSide &side, HWND dialog)
{
    if (!RunDirectoryUploadDlg(side, dialog)) {
        EndDialog(dialog, 2);
        return;
    }
    InitDesignList(side, dialog);
}

void OnPaint(HWND dialog)
{
    PaintNothing(dialog);
    ShowPreview(dialog);
}

// A click on "Built-in", "ATA PC Card" or "Select Open/Save folder." (their state already
// changed): the check box enabled, the location code of the memory chosen, 4 more with the
// Open/Save folder ticked, and the list reloaded.
void ChooseMemoryLocation(DesignListSide &side, HWND dialog)
{
    EnableWindow(GetDlgItem(dialog, IDC_LOCATION_OPEN_SAVE), TRUE);
    int memory = IsChecked(dialog, IDC_LOCATION_BUILT_IN) ? 1 : 2;
    side.locationCode = (IsChecked(dialog, IDC_LOCATION_OPEN_SAVE) ? 4 : 0) + memory;
    ReloadDesignList(side, dialog);
}
BOOL OnCommand(DesignListSide &side, HWND dialog, int id)
{
    switch (id) {
    case IDCANCEL:
        return PostClose(dialog);
    case IDC_SHOW_PREVIEW:
        ShowStoredDesignPreview(side, dialog);
        return TRUE;
    // Every click reloads, also on the radio button already chosen.
    case IDC_LOCATION_BUILT_IN:
    case IDC_LOCATION_ATA_CARD:
    case IDC_LOCATION_OPEN_SAVE:
        ChooseMemoryLocation(side, dialog);
        return TRUE;
    case CMD_LIST_LOAD:
        OnListLoad(side, dialog);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

INT_PTR OpenDesignListDialog(DesignListSide &side, HWND owner, int templateId, DLGPROC procedure)
{
    INT_PTR result = OpenModuleDialog(templateId, owner, procedure);
    EndDesignListSide(side);
    DeletePreviewSurface();
    return result;
}

void InitDesignListDialog(DesignListSide &side, HWND dialog)
{
    SetTransferTitle(dialog, side.titles);
    CreatePreviewSurface(dialog);
    ClearPreview(dialog);
    CenterWindow(dialog);
    side.listView = GetDlgItem(dialog, IDC_DESIGN_LIST);
    side.locationCode = 1;
    CheckDlgButton(dialog, IDC_LOCATION_BUILT_IN, BST_CHECKED);
    // On screen before the first transfer starts.
    ShowWindow(dialog, SW_SHOW);
    UpdateWindow(dialog);
    PostMessageA(dialog, WM_COMMAND, CMD_LIST_LOAD, 0);
}

BOOL DesignListDialogMessage(DesignListSide &side, HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        return OnCommand(side, dialog, LOWORD(wParam));
    case WM_PAINT:
        OnPaint(dialog);
        return TRUE;
    case WM_CLOSE:
        if (!g_workerHandle)
            UsbTerminate();
        EndDialog(dialog, 1);
        return TRUE;
    case WM_NOTIFY:
        OnDesignListNotify(side, dialog, reinterpret_cast<NMHDR *>(lParam));
        return TRUE;
    case WM_DEVICECHANGE:
        OnTransferDeviceChange(dialog, side.titles, wParam, lParam);
        return TRUE;
    }
    return FALSE;
}

