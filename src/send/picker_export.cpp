// TransferVBDFiles: the design picker in the common file-open dialog, then the Send
// Designs dialog in list mode over the send list the picker wrote.
#include <windows.h>
#include <commdlg.h>
#include <string.h>

#include "VembDlg.h"
#include "design/preview.h"
#include "frame/module.h"
#include "frame/transfer_frame.h"
#include "resource.h"
#include "send/picker.h"
#include "send/send_designs_dlg.h"
#include "send/send_state.h"

char g_fileBuffer[SELECTION_SIZE + 1];
char g_namesBuffer[SELECTION_SIZE];
char g_addText[SELECTION_SIZE];
char g_selectionText[SELECTION_SIZE];
char g_lastSelection[SELECTION_SIZE + 1];
char g_previewPath[PICKER_PATH_SIZE + 1];
char g_addPath[PICKER_PATH_SIZE];
HWND g_pickerDialog;
HWND g_chosenList;
HWND g_sendButton;
HWND g_totalsLine;
HWND g_openSaveBox;
BYTE g_sendRequested;
int g_askVersion;
int g_addingStopped;
int g_listFull;
char g_pickerListPath[MAX_PATH];

namespace {

const char SEND_LIST_NAME[] = "\\SendList.tp$";
const char PICKER_FILTER[] = "Embroidery Files(*.vbd)\0*.vbd\0";

// The caller's folder string: the common dialog opens there, and its folder goes back.
char *g_pickerFolder;

// The text of the file buffer goes back to the caller's folder string, which holds at
// least 260 characters: a longer text (never a folder the common dialog reports) is cut
// to 259.
void ReturnFolder(char *folder)
{
    if (folder)
        lstrcpynA(folder, g_fileBuffer, PICKER_PATH_SIZE);
}

// The picker, then the Send Designs dialog when the picker's Send wrote the send list.
INT_PTR OpenPickerDialogs(HWND owner)
{
    g_previewPath[0] = '\0';
    memset(g_fileBuffer, 0, sizeof g_fileBuffer);
    g_lastSelection[0] = '\0';
    g_sendRequested = 0;

    EnsureCommonControls();
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;  // 76
    ofn.hwndOwner = owner;
    ofn.hInstance = g_moduleInstance;
    ofn.lpstrFilter = PICKER_FILTER;
    ofn.lpstrCustomFilter = NULL;
    ofn.nFilterIndex = 0;
    ofn.lpstrFile = g_fileBuffer;
    ofn.nMaxFile = SELECTION_SIZE;
    ofn.lpstrFileTitle = NULL;
    ofn.lpstrInitialDir = g_pickerFolder;
    ofn.lpstrTitle = "Select Designs";
    ofn.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_ALLOWMULTISELECT | OFN_ENABLETEMPLATE | OFN_ENABLEHOOK |
                OFN_HIDEREADONLY;  // 0x81264
    ofn.lpstrDefExt = "vbd";
    ofn.lpfnHook = PickerHookProc;
    ofn.lpTemplateName = MAKEINTRESOURCEA(IDD_PICKER);
    BOOL picked = GetOpenFileNameA(&ofn);

    DeletePreviewSurface();
    ReturnFolder(g_pickerFolder);
    if (picked != 1 && CommDlgExtendedError() != 0)
        return FRAME_NOTHING_RAN;
    if (g_sendRequested != 1)
        return 0;
    return OpenSendListDialog(owner, g_pickerListPath);
}

}  // namespace

extern "C" BOOL WINAPI TransferVBDFiles(HWND owner, char *folder)
{
    g_pickerFolder = folder;
    lstrcpynA(g_pickerListPath, TempFilePath(SEND_LIST_NAME), sizeof g_pickerListPath);
    INT_PTR result = RunTransferFrame(owner, OpenPickerDialogs);
    DiscardSendLeftovers();
    DeleteFileA(g_pickerListPath);
    return result == FRAME_NOTHING_RAN ? 0 : ExportResult(result);
}
