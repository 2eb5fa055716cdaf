// UploadData and the Receive Designs dialog (103): the machine design list of the chosen
// location, previews, the receive folder, and "Receive", which builds the receive list
// for the receive step that runs once the dialog has closed.
#include <shlobj.h>

#include "VembDlg.h"
#include "design/preview.h"
#include "frame/controls.h"
#include "frame/module.h"
#include "frame/transfer_frame.h"
#include "link/settings.h"
#include "machinelist/design_list.h"
#include "receive/receive.h"
#include "receive_designs_res.h"
#include "resource.h"

namespace {

// Registered when the list is first loaded. The folder edit, the hoop label and the
// Open/Save check box have no tooltip.
const ToolTipEntry RECEIVE_TOOLTIPS[] = {
    {IDC_DESIGN_LIST, "Designs in Loomstar"},
    {IDC_PREVIEW_BOX, "Preview Window."},
    {IDC_AUTO_PREVIEW, "Automatically showed by selecting design."},
    {IDC_SHOW_PREVIEW, "Show design."},
    {IDC_RECEIVE_SELECT_ALL, "Select all designs at once."},
    {IDC_RECEIVE_BUILT_IN, "Select Built-in memory."},
    {IDC_RECEIVE_ATA_CARD, "Select ATA PC Card."},
    {IDC_RECEIVE_DESIGN_CARD, "Select PC Design Card."},
    {IDOK, "Start to receive designs."},
    {IDCANCEL, "Cancel"},
    {IDC_RECEIVE_BROWSE, "Select location."},
    {IDC_SELECTED_COUNT, "Read number of selected designs."},
    {-1, nullptr},
};

// The status line of the folder browser: the path of the highlighted folder.
char g_browseStatus[VEMB_NAME_FIELD];

void ReadReceiveFolderSetting()
{
    ZeroMemory(g_receiveFolder, sizeof g_receiveFolder);
    if (ReadReceiveFolder(g_receiveFolder))
        return;  // used as it is, without any test
    ZeroMemory(g_receiveFolder, sizeof g_receiveFolder);
    DWORD length = GetCurrentDirectoryA(MAX_PATH, g_receiveFolder);
    if (length == 0 || length >= MAX_PATH)
        ZeroMemory(g_receiveFolder, sizeof g_receiveFolder);
    WriteReceiveFolder(g_receiveFolder);
}

int CALLBACK BrowseFolderCallback(HWND window, UINT message, LPARAM parameter, LPARAM data)
{
    switch (message) {
    case BFFM_INITIALIZED:
        CenterWindow(window);
        if (data)
            SendMessageA(window, BFFM_SETSELECTIONA, TRUE, data);
        break;
    case BFFM_SELCHANGED:
        ZeroMemory(g_browseStatus, sizeof g_browseStatus);
        SHGetPathFromIDListA((LPCITEMIDLIST)parameter, g_browseStatus);
        SendMessageA(window, BFFM_SETSTATUSTEXTA, 0, (LPARAM)g_browseStatus);
        break;
    }
    return 0;
}

void BrowseReceiveFolder(HWND dialog)
{
    char path[VEMB_NAME_FIELD];
    lstrcpynA(path, g_receiveFolder, sizeof path);
    BROWSEINFOA browse = {};
    browse.hwndOwner = dialog;
    browse.pidlRoot = NULL;  // the desktop
    browse.pszDisplayName = path;
    browse.lpszTitle = "Select the folder to store the received embroidery data.";
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN | BIF_STATUSTEXT;
    browse.lpfn = BrowseFolderCallback;
    browse.lParam = (LPARAM)g_receiveFolder;
    LPITEMIDLIST chosen = SHBrowseForFolderA(&browse);
    if (!chosen)
        return;
    // A path needs up to MAX_PATH characters; the buffer holds them.
    path[0] = '\0';
    BOOL isFolder = SHGetPathFromIDListA(chosen, path);
    CoTaskMemFree(chosen);
    if (!isFolder || path[0] == '\0')
        return;  // not a file-system folder
    lstrcpynA(g_receiveFolder, path, sizeof g_receiveFolder);
    WriteReceiveFolder(g_receiveFolder);
    SetDlgItemTextA(dialog, IDC_RECEIVE_FOLDER, g_receiveFolder);
}

BOOL OnInitDialog(HWND dialog)
{
    ReadReceiveFolderSetting();
    SetDlgItemTextA(dialog, IDC_RECEIVE_FOLDER, g_receiveFolder);
    InitDesignListDialog(g_receiveSide, dialog);
    return TRUE;
}

// The commands of this dialog's own; the others are the design list dialog's.
bool OnCommand(HWND dialog, int id)
{
    DesignListSide &side = g_receiveSide;
    switch (id) {
    case IDOK:
        if (BuildReceiveList(dialog))
            EndDialog(dialog, 1);
        return true;
    case IDC_RECEIVE_SELECT_ALL:
        SetAllDesignChecks(side, 1);
        RefreshDesignSelection(side, dialog);
        return true;
    case IDC_RECEIVE_DESIGN_CARD:
        EnableWindow(GetDlgItem(dialog, IDC_RECEIVE_OPEN_SAVE), FALSE);  // its tick stays
        side.locationCode = 4;
        ReloadDesignList(side, dialog);
        return true;
    case IDC_RECEIVE_OPEN_SAVE:
        if (!IsChecked(dialog, IDC_RECEIVE_DESIGN_CARD))
            return false;  // a memory is chosen: the shared handling
        ReloadDesignList(side, dialog);  // no memory chosen: the code stays, the list reloads
        return true;
    case IDC_RECEIVE_BROWSE:
        BrowseReceiveFolder(dialog);
        return true;
    }
    return false;
}

INT_PTR CALLBACK ReceiveDesignsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(dialog);
    case WM_COMMAND:
        if (!OnCommand(dialog, LOWORD(wParam)))
            DesignListDialogMessage(g_receiveSide, dialog, message, wParam, lParam);
        return TRUE;  // also for the commands that are ignored
    }
    return DesignListDialogMessage(g_receiveSide, dialog, message, wParam, lParam);
}

// Opens the dialog inside the transfer frame; once it has closed, the receive step runs
// on the list that "Receive" built, and the list is freed.
INT_PTR OpenReceiveDialogs(HWND owner)
{
    INT_PTR result = OpenDesignListDialog(g_receiveSide, owner, IDD_RECEIVE_DESIGNS, ReceiveDesignsDlgProc);
    if (result < 0)
        return result;  // not created
    // The dialog ends with 1 after "Receive" and "Cancel" alike: the list tells them apart.
    if (result != 2 && g_receiveList)
        ReceiveSelectedDesigns(owner, g_receiveList, g_receiveCount);
    FreeReceiveList();
    return result;
}

}  // namespace

extern "C" BOOL WINAPI UploadData(HWND owner)
{
    FreeReceiveList();
    BeginDesignListSide(g_receiveSide, RECEIVE_TOOLTIPS);
    return ExportResult(RunTransferFrame(owner, OpenReceiveDialogs));
}
