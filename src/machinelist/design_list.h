#pragma once
// The machine design list: the designs stored in one memory location of the machine,
// fetched as directory information ("$$UPLDir.tmp") and shown in a list view with one
// check box per design, with the preview of one stored design beside it. The Receive
// Designs and the Delete Designs dialogs each run their own instance of all of it: a
// side, with its own list, location, items, progress dialog, cancel event and preview
// lock. Every operation takes the side it works for; the dialog and thread procedures,
// which cannot take it, find it through their dialog or their side's thunk.
#include <windows.h>
#include <commctrl.h>

#include "frame/controls.h"
#include "frame/handles.h"
#include "frame/sync.h"
#include "link/usb_link.h"
#include "link/vemblink.h"

struct DesignListSide {
    DesignListSide(const TransferTitles &titles, const char *listCaption, const char *uploadEventCaption,
                   const char *previewEventCaption, LPTHREAD_START_ROUTINE directoryUploadThread,
                   LPTHREAD_START_ROUTINE previewFetchThread, VembProgressCallback transferProgress)
        : titles(titles), listCaption(listCaption), uploadEventCaption(uploadEventCaption),
          previewEventCaption(previewEventCaption), directoryUploadThread(directoryUploadThread),
          previewFetchThread(previewFetchThread), transferProgress(transferProgress)
    {
    }
    DesignListSide(const DesignListSide &) = delete;
    DesignListSide &operator=(const DesignListSide &) = delete;

    // ---- what differs between the sides ----
    // Titles of the owning dialog with the link suffix.
    const TransferTitles &titles;
    // Caption of "Failed to create Window." and "Failed to read a temporary file.".
    const char *const listCaption;
    // Caption of "Failed to create event object." in the directory upload and in the
    // preview fetch.
    const char *const uploadEventCaption;
    const char *const previewEventCaption;
    // The thread procedures and the progress callback bound to this side.
    const LPTHREAD_START_ROUTINE directoryUploadThread;
    const LPTHREAD_START_ROUTINE previewFetchThread;
    const VembProgressCallback transferProgress;

    // ---- state, set up for each export by BeginDesignListSide ----
    const ToolTipEntry *toolTips = nullptr;  // the owning dialog's tooltip table
    HWND listView = NULL;                    // control 1000 of the owning dialog
    HWND toolTipWindow = NULL;               // created when the list is first loaded
    int locationCode = 1;
    int currentItem = 0;                     // the item Show Preview fetches; kept over reloads
    int lastPreviewedItem = -1;              // -1 again after every directory upload
    UINT selectedCount = 0;                  // ticked items at the last count
    HWND progressTarget = NULL;              // the progress dialog the callback writes to
    CancelEventSlot cancelEvent;             // of the side's progress dialog (105)
    std::optional<CriticalSection> previewLock;  // held by the preview worker for its whole run
    HANDLE fetchWorker = NULL;               // the worker of the progress dialog open now
    bool rebuilding = false;                 // the list is being filled
};

extern DesignListSide g_receiveSide;
extern DesignListSide g_deleteSide;

// Before the owning dialog opens: current item 0, last previewed item -1, nothing listed,
// the dialog's tooltip table, and the side's preview lock created.
void BeginDesignListSide(DesignListSide &side, const ToolTipEntry *toolTips);
// After the owning dialog has closed: the preview lock deleted.
void EndDesignListSide(DesignListSide &side);

// ---- directory upload (progress dialog 105) ----
// Fetches the directory information of the side's location into "$$UPLDir.tmp" under a
// modal progress dialog. FALSE (after "Failed to create Window.") only when the dialog
// cannot be created; TRUE whatever the upload's outcome. Sets the last previewed item to -1.
BOOL RunDirectoryUploadDlg(DesignListSide &side, HWND owner);
DWORD DirectoryUploadThread(DesignListSide &side, HWND dialog);
// Moves the progress bar of the side's progress dialog to done / total; returns 1.
int TransferProgressCallback(DesignListSide &side, DWORD done, DWORD total);

// ---- the list ----
void InitDesignList(DesignListSide &side, HWND dialog);
// The directory information file's designs in name order (CompareDesignNames, equal
// names in file order), unticked; the file is deleted whatever came of reading it.
void FillDesignList(DesignListSide &side, HWND dialog);
BOOL RefreshDesignSelection(DesignListSide &side, HWND dialog);
void SetAllDesignChecks(DesignListSide &side, int ticked);

// After a click on a location control (the location code already set): a fresh directory
// upload, then the preview cleared and the list filled, sorted and counted again.
void ReloadDesignList(DesignListSide &side, HWND dialog);
// The ticked designs as a design entry list, in list order: the item's text (at most 259
// characters), the side's location code and the low byte of the design number (the list
// holds no number beyond one byte). The block is movable, zero-filled and locked, with room
// for the selected count and the closing entry. False without a block when nothing is
// listed or ticked, and after "Not enough memory space." (caption `memoryCaption`) when the
// block cannot be had.
bool BuildTickedEntryList(DesignListSide &side, HWND dialog, const char *memoryCaption, MovableBlock *block,
                          DesignEntry **entries, UINT *count);
// Frees such a block, if there is one, and clears the three.
void FreeEntryList(MovableBlock *block, DesignEntry **entries, UINT *count);
// The list's and the tooltips' notifications (WM_NOTIFY of the owning dialog).
void OnDesignListNotify(DesignListSide &side, HWND dialog, NMHDR *header);

// ---- the owning dialog (Receive Designs, Delete Designs) ----
// Opens the owning dialog (template `templateId`) over `owner`; once it has closed, the
// side's preview lock is deleted and so is the preview surface. The dialog's result, -1
// when it could not be created.
INT_PTR OpenDesignListDialog(DesignListSide &side, HWND owner, int templateId, DLGPROC procedure);
// Its WM_INITDIALOG after its own steps: the title from the link, the preview surface,
// centred, location 1 with "Built-in" checked, on screen at once, CMD_LIST_LOAD posted.
void InitDesignListDialog(DesignListSide &side, HWND dialog);
// What both dialogs handle alike: WM_PAINT (the preview), WM_NOTIFY (the list and the
// tooltips), WM_DEVICECHANGE (the title), WM_CLOSE (ends with 1), and the commands
// CMD_LIST_LOAD, Show Preview, Cancel and the buttons of the two memories. TRUE when the
// message is one of these.
BOOL DesignListDialogMessage(DesignListSide &side, HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// ---- preview of a stored design (progress dialog 105 again) ----
// Show Preview (command 1002): fetches the current item into "$$UPLPrv.tmp", draws it when
// its name is a design's, clears the preview box when the fetch failed, deletes the file.
void ShowStoredDesignPreview(DesignListSide &side, HWND dialog);
DWORD PreviewFetchThread(DesignListSide &side, HWND dialog);
