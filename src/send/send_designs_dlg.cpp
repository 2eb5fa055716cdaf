#include "send/send_designs_dlg.h"

#include <commctrl.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "VembDlg.h"
#include "design/design_io.h"
#include "frame/controls.h"
#include "frame/handles.h"
#include "frame/module.h"
#include "frame/transfer_frame.h"
#include "link/usb_link.h"
#include "resource.h"
#include "send/check_files_dlg.h"
#include "send/name_dlg.h"
#include "send/send_checks.h"
#include "send/send_list.h"
#include "send/send_state.h"
#include "send/send_worker.h"
#include "send_designs_res.h"

namespace {

const TransferTitles SEND_TITLES = {"Send Designs - USB Connected", "Send Designs - USB Disconnected",
                                    "Send Designs - COM Port"};

const char ATTENTION[] = "Attention";
const char ALREADY_FULL[] = "100 designs are already registered.\nNo design can be registered.";

// Start was pressed: a second press (only a program can press the hidden button) and the
// Name button do nothing more.
bool g_sendStarted;
// WM_CLOSE ended the dialog before a worker was started, while the preparation was still
// under way (its Check Files dialog or a message box runs the messages meanwhile): the
// preparation then starts no worker, which would send after the user had closed.
bool g_sendClosed;

// ---- ending a send before its worker ----

// Shows the message, if any, releases what the preparation made and lets the dialog finish.
// No worker will close the cancel event, so it goes here.
void EndSend(HWND dialog, const char *text, const char *caption = SENDING_CAPTION, UINT style = MB_ICONHAND)
{
    if (text)
        MessageBoxA(dialog, text, caption, style);
    ReleaseSendHeap();
    g_sendCancel.Discard();
    PostMessageA(dialog, WM_SEND_FINISHED, 0, 0);
}

// The stored design count of the send location; false when the send has been ended.
bool CheckRoom(HWND dialog)
{
    g_storedDesignCount = CountStoredDesigns(dialog);
    if (g_storedDesignCount < 0) {
        EndSend(dialog, NULL);  // the link library has told why
        return false;
    }
    if (g_storedDesignCount >= LOCATION_DESIGN_MAX) {
        EndSend(dialog, ALREADY_FULL, ATTENTION);
        return false;
    }
    return true;
}

void StartWorker(HWND dialog, LPTHREAD_START_ROUTINE thread)
{
    if (g_sendClosed) {
        EndSend(dialog, NULL);
        return;
    }
    g_workerHandle = CreateThread(NULL, 0, thread, dialog, 0, NULL);
    if (!g_workerHandle)
        EndSend(dialog, "Failed to create thread.");
}

// ---- reading the send list ----

enum class RecordCheck { Accept, Skip, Fail };

// The checks of one staged record: the Open/Save folder name limit, the file itself, the
// version question and the stitch limit.
RecordCheck CheckRecord(HWND dialog, const DesignEntry *entry, bool openSave)
{
    const char *path = entry->name;
    const char *fileName = PathFileName(path);
    if (openSave && strlen(fileName) > OPEN_SAVE_NAME_MAX) {
        g_longNameSkip = 1;
        return RecordCheck::Skip;
    }
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES)
        return RecordCheck::Fail;
    // A file too short to hold the stitch count reads it as 0: it passes the limit, and the
    // machine is the judge of what it is.
    DesignHeader header;
    if (!ReadDesignFileHeader(path, &header))
        return RecordCheck::Fail;
    int32_t stitches = header.stitchCount;
    if (g_versionQuestion == 1 && AsksMachineVersion((uint32_t)stitches)) {
        CheckVersionDlg(dialog, 0);
        g_versionQuestion = 0;
    }
    if (DesignTooLarge(stitches)) {
        static const char format[] = "The design is too large and cannot be sent in this menu.\n"
                                     "The pattern (%s) exceeds the %d stitch limit.";
        char text[sizeof format + VEMB_NAME_FIELD + 16];
        snprintf(text, sizeof text, format, fileName, CurrentStitchLimit().shown);
        MessageBoxA(dialog, text, ATTENTION, MB_ICONEXCLAMATION);
        return RecordCheck::Skip;
    }
    return RecordCheck::Accept;
}

// Reads the send list into the design entry list: null when it was read, else the message
// that ends the send (shown once the file is closed again).
const char *LoadSendList(HWND dialog, bool openSave)
{
    OwnedHandle file(g_sendListPath ? CreateFileA(g_sendListPath, GENERIC_READ, 0, NULL, OPEN_EXISTING,
                                                  FILE_ATTRIBUTE_NORMAL, NULL)
                                    : INVALID_HANDLE_VALUE);
    DWORD sizeHigh = 0;
    DWORD size = file ? GetFileSize(file.Get(), &sizeHigh) : 0;
    if (!file || size == 0 || size == INVALID_FILE_SIZE)
        return "File Open Error.";
    // Room for every record and the closing entry. A list too large to count in memory
    // (beyond 4 GB, or whose entries would not fit the address space) is a memory shortage.
    uint32_t capacity = SendListCapacity(size);
    DesignEntry *entries = NULL;
    if (CreateSendHeap() && sizeHigh == 0 && capacity <= (SIZE_MAX / sizeof(DesignEntry)))
        entries = (DesignEntry *)SendHeapAlloc((size_t)capacity * sizeof(DesignEntry));
    if (!entries)
        return "Not Enough Memory.";
    g_sendEntries = entries;
    SendListBuilder list;
    SendListBegin(&list, entries, capacity, (unsigned char)g_sendLocation);
    for (;;) {
        unsigned char record[SEND_RECORD_SIZE];
        DWORD got = 0;
        if (!ReadFile(file.Get(), record, sizeof record, &got, NULL))
            return "File Read Error.";
        if (got < sizeof record)
            break;
        const DesignEntry *entry = SendListStage(&list, record);
        if (!entry)
            break;  // the file grew behind its size: the list holds what the size promised
        RecordCheck check = CheckRecord(dialog, entry, openSave);
        if (check == RecordCheck::Fail)
            return "File Read Error.";
        if (check == RecordCheck::Accept)
            SendListAccept(&list);
    }
    SendListClose(&list);
    g_sendEntryCount = (int)list.count;
    return NULL;
}

// Reads the send list; false when the send has been ended.
bool ReadSendListFile(HWND dialog, bool openSave)
{
    const char *failure = LoadSendList(dialog, openSave);
    if (failure)
        EndSend(dialog, failure);
    return !failure;
}

// ---- the dialog ----

void ShowControl(HWND dialog, int id, bool show)
{
    HWND control = GetDlgItem(dialog, id);
    EnableWindow(control, show);
    ShowWindow(control, show ? SW_SHOW : SW_HIDE);
}

BOOL OnInitDialog(HWND dialog)
{
    g_longNameSkip = 0;
    g_sendAnimation = NULL;
    g_workerHandle = NULL;
    g_sendStarted = false;
    g_sendClosed = false;
    g_sendCancel.Discard();
    g_sendProgressTarget = dialog;

    SetTransferTitle(dialog, SEND_TITLES);

    if (g_sendMode == SEND_MODE_DIRECT) {
        // A direct send never goes to an Open/Save folder unless the user ticks it now.
        if (g_sendLocation == SEND_TO_BUILTIN_OPEN_SAVE)
            g_sendLocation = SEND_TO_BUILTIN;
        else if (g_sendLocation == SEND_TO_ATA_CARD_OPEN_SAVE)
            g_sendLocation = SEND_TO_ATA_CARD;
    } else {
        ShowControl(dialog, IDC_SEND_NAME, false);
    }
    bool ataCard = g_sendLocation == SEND_TO_ATA_CARD || g_sendLocation == SEND_TO_ATA_CARD_OPEN_SAVE;
    CheckDlgButton(dialog, ataCard ? IDC_SEND_ATA_CARD : IDC_SEND_BUILTIN, BST_CHECKED);
    if (g_sendLocation == SEND_TO_BUILTIN_OPEN_SAVE || g_sendLocation == SEND_TO_ATA_CARD_OPEN_SAVE)
        CheckDlgButton(dialog, IDC_SEND_OPEN_SAVE, BST_CHECKED);

    SendDlgItemMessageA(dialog, IDC_SEND_PROGRESS, PBM_SETPOS, 0, 0);
    SendDlgItemMessageA(dialog, IDC_SEND_PROGRESS, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    g_sendAnimation = GetDlgItem(dialog, IDC_SEND_ANIMATION);
    CenterWindow(dialog);
    return TRUE;
}

// A direct send bound for an Open/Save folder needs a name that fits there: when it does
// not, the box is cleared again (the message has told why) and the result is true. List
// sends check each design's name as they read the list.
bool OpenSaveNameRefused(HWND dialog)
{
    if (g_sendMode != SEND_MODE_DIRECT || !IsChecked(dialog, IDC_SEND_OPEN_SAVE) ||
        CheckOpenSaveName(dialog, g_directDesignName, NULL))
        return false;
    CheckDlgButton(dialog, IDC_SEND_OPEN_SAVE, BST_UNCHECKED);
    return true;
}

// What Start runs after it has stored the location and set the transfer status: each
// either starts the worker or ends the send with its message and WM_SEND_FINISHED.
void PrepareListSend(HWND dialog)
{
    bool openSave = IsChecked(dialog, IDC_SEND_OPEN_SAVE);
    if (!ReadSendListFile(dialog, openSave))
        return;
    if (g_sendEntryCount == 0) {
        EndSend(dialog, "Failed to send the selected VBD files.", "Warning");
        return;
    }
    if (!g_sendCancel.Put()) {
        EndSend(dialog, "Failed to create event object.");
        return;
    }
    if (!CheckRoom(dialog))
        return;
    g_listCut = CutSendListToRoom(g_sendEntries, (uint32_t)g_sendEntryCount, g_storedDesignCount) ? 1 : 0;
    StartWorker(dialog, SendListThread);
}

void PrepareDirectSend(HWND dialog)
{
    if (!g_sendCancel.Put()) {
        EndSend(dialog, "Failed to create event object.");
        return;
    }
    g_listCut = 0;
    if (!CheckRoom(dialog))
        return;
    StartWorker(dialog, SendDirectThread);
}

void OnStart(HWND dialog)
{
    if (g_sendStarted || OpenSaveNameRefused(dialog))
        return;
    g_sendStarted = true;
    OpenClip(g_sendAnimation, IDR_AVI_SENDING);

    ShowControl(dialog, IDOK, false);
    ShowControl(dialog, IDCANCEL, false);
    ShowControl(dialog, IDC_SEND_NAME, false);
    CenterControl(dialog, IDC_SEND_STATUS);
    CenterControl(dialog, IDC_SEND_ANIMATION);
    SetDlgItemTextA(dialog, IDC_SEND_STATUS, "Just a moment, please.");
    PlayClip(g_sendAnimation);

    EnableWindow(GetDlgItem(dialog, IDC_SEND_BUILTIN), FALSE);
    EnableWindow(GetDlgItem(dialog, IDC_SEND_ATA_CARD), FALSE);
    EnableWindow(GetDlgItem(dialog, IDC_SEND_OPEN_SAVE), FALSE);
    g_sendLocation =
        SendLocationCode(IsChecked(dialog, IDC_SEND_BUILTIN), IsChecked(dialog, IDC_SEND_OPEN_SAVE));

    g_transferStatus = 1;
    if (g_sendMode == SEND_MODE_DIRECT)
        PrepareDirectSend(dialog);
    else
        PrepareListSend(dialog);
}

void OnName(HWND dialog)
{
    INT_PTR result = OpenModuleDialog(IDD_DESIGN_NAME, dialog, NameDlgProc);
    if (result != 1 && result != 2)
        MessageBoxA(dialog, "Failed to create Window.", "Enter Filename", MB_ICONHAND);
}

BOOL OnCommand(HWND dialog, int id, int code)
{
    switch (id) {
    case IDOK:
        OnStart(dialog);
        return TRUE;
    case IDCANCEL:
        return PostClose(dialog);
    case IDC_SEND_NAME:
        if (g_sendMode == SEND_MODE_DIRECT && !g_sendStarted)
            OnName(dialog);
        return TRUE;
    case IDC_SEND_OPEN_SAVE:
        if (code == BN_CLICKED)
            OpenSaveNameRefused(dialog);
        return TRUE;
    }
    return FALSE;
}

void OnSendFinished(HWND dialog)
{
    if (!g_workerHandle)
        UsbTerminate();
    g_sendCancel.Set();
    StopClip(&g_sendAnimation);
    if (g_listCut)
        MessageBoxA(dialog, "100 designs have been registered.\nNo more design can be registered.", ATTENTION,
                    MB_ICONHAND);
    g_transferStatus = 0;
    EndDialog(dialog, 1);
}

void OnClose(HWND dialog)
{
    g_sendCancel.Set();
    StopClip(&g_sendAnimation);
    if (g_workerHandle)
        return;  // the worker ends the dialog with WM_SEND_FINISHED
    // Closed before a worker was started (ready, checking, or an ended preparation whose
    // WM_SEND_FINISHED is still queued and now never handled): no send is running, so the
    // transfer status that Start set goes back to 0 here.
    g_sendClosed = true;
    g_transferStatus = 0;
    UsbTerminate();
    EndDialog(dialog, 2);
}

INT_PTR CALLBACK SendDesignsDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(dialog);
    case WM_COMMAND:
        return OnCommand(dialog, LOWORD(wParam), HIWORD(wParam));
    case WM_SEND_FINISHED:
        OnSendFinished(dialog);
        return TRUE;
    case WM_CLOSE:
        OnClose(dialog);
        return TRUE;
    case WM_DEVICECHANGE:
        OnTransferDeviceChange(dialog, SEND_TITLES, wParam, lParam);
        SetWindowLongPtrA(dialog, DWLP_MSGRESULT, TRUE);
        return TRUE;
    case WM_PAINT:
        return PaintNothing(dialog);
    }
    return FALSE;
}

}  // namespace

INT_PTR OpenSendListDialog(HWND owner, const char *listPath)
{
    g_sendMode = SEND_MODE_LIST;
    g_sendListPath = listPath;
    return OpenModuleDialog(IDD_SEND_DESIGNS, owner, SendDesignsDlgProc);
}

INT_PTR OpenSendDirectDialog(HWND owner)
{
    g_sendMode = SEND_MODE_DIRECT;
    return OpenModuleDialog(IDD_SEND_DESIGNS, owner, SendDesignsDlgProc);
}
