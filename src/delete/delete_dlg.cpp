// DeleteData and the Delete Designs dialog (108): the machine design list of the chosen
// location, previews, and "Delete", which after a confirmation builds the delete list and
// runs the wait dialog over it.
#include "VembDlg.h"
#include "delete/delete.h"
#include "delete_designs_res.h"
#include "design/preview.h"
#include "frame/module.h"
#include "frame/transfer_frame.h"
#include "machinelist/design_list.h"
#include "machinelist/directory_info.h"
#include "resource.h"

DesignEntry *g_deleteList;
UINT g_deleteCount;

namespace {

MovableBlock g_deleteListBlock;  // movable block of the delete list

// Registered when the list is first loaded. The hoop label and the Open/Save check box
// have no tooltip.
const ToolTipEntry DELETE_TOOLTIPS[] = {
    {IDC_DESIGN_LIST, "Designs in Loomstar"},
    {IDC_PREVIEW_BOX, "Preview Window."},
    {IDC_SELECTED_COUNT, "Read number of selected designs."},
    {IDC_AUTO_PREVIEW, "Automatically showed by selecting design."},
    {IDC_SHOW_PREVIEW, "Show Design."},
    {IDC_DELETE_SELECT_ALL, "Select all designs at once."},
    {IDC_LOCATION_BUILT_IN, "Select Built-in memory."},
    {IDC_LOCATION_ATA_CARD, "Select ATA PC Card."},
    {IDOK, "Start to delete designs."},
    {IDCANCEL, "Cancel"},
    {-1, nullptr},
};

// Builds the delete list from the ticked designs, highest design number first: 1 when
// built, 0 when nothing is listed or ticked or memory cannot be had (after a message).
int BuildDeleteList(HWND dialog)
{
    if (!BuildTickedEntryList(g_deleteSide, dialog, "Preview", &g_deleteListBlock, &g_deleteList, &g_deleteCount))
        return 0;
    // Deleting a design renumbers the designs behind it: the highest number goes first, so
    // that every number still names the design it was read for.
    SortDeleteList(g_deleteList, g_deleteCount);
    return 1;
}

void FreeDeleteList()
{
    FreeEntryList(&g_deleteListBlock, &g_deleteList, &g_deleteCount);
}

void OnDelete(HWND dialog)
{
    // Enter reaches here while the button is disabled: nothing is ticked then.
    if (!IsWindowEnabled(GetDlgItem(dialog, IDOK)))
        return;
    if (MessageBoxA(dialog, "Are you sure?", DELETE_CAPTION, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    if (!BuildDeleteList(dialog))
        return;
    INT_PTR result = OpenModuleDialog(IDD_DELETE_WAIT, dialog, DeleteWaitDlgProc);
    FreeDeleteList();
    if (result != 1 && result != 2) {
        MessageBoxA(dialog, "Failed to create Window.", DELETE_CAPTION, MB_ICONHAND | MB_TOPMOST);
        return;
    }
    EndDialog(dialog, 1);
}

INT_PTR CALLBACK DeleteDesignsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        InitDesignListDialog(g_deleteSide, dialog);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            OnDelete(dialog);
            break;
        case IDC_DELETE_SELECT_ALL:
            SetAllDesignChecks(g_deleteSide, 1);
            RefreshDesignSelection(g_deleteSide, dialog);
            break;
        default:
            DesignListDialogMessage(g_deleteSide, dialog, message, wParam, lParam);
        }
        return TRUE;
    }
    return DesignListDialogMessage(g_deleteSide, dialog, message, wParam, lParam);
}

INT_PTR OpenDeleteDialog(HWND owner)
{
    return OpenDesignListDialog(g_deleteSide, owner, IDD_DELETE_DESIGNS, DeleteDesignsDlgProc);
}

}  // namespace

extern "C" BOOL WINAPI DeleteData(HWND owner)
{
    FreeDeleteList();
    BeginDesignListSide(g_deleteSide, DELETE_TOOLTIPS);
    return ExportResult(RunTransferFrame(owner, OpenDeleteDialog));
}
