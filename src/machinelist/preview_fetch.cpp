// Preview of a stored design: Show Preview fetches the current item from the machine into
// "$$UPLPrv.tmp" with the link library's ordinary upload, under progress dialog 105, and
// hands the file to the preview renderer.
#include <string.h>

#include "design/design_file.h"
#include "design/preview.h"
#include "frame/controls.h"
#include "frame/module.h"
#include "link/link_run.h"
#include "machinelist/design_list.h"
#include "machinelist/fetch_dialog.h"
#include "resource.h"

namespace {

const char PREVIEW_FILE[] = "$$UPLPrv.tmp";
const char PREVIEW_CAPTION[] = "Receiving Preview Data";  // link caption of the fetch

const FetchDialogRole PREVIEW_FETCH_ROLE = {
    "Receive Preview Data",
    "Just a moment, please.",
    &DesignListSide::previewEventCaption,
    &DesignListSide::previewFetchThread,
};

// The preview request: one design entry naming the preview data file, the side's location
// and the current item's design number, then the closing entry. False when the current
// item cannot be read.
bool BuildPreviewRequest(DesignListSide &side, DesignEntry request[2])
{
    memset(request, 0, 2 * sizeof(DesignEntry));
    LVITEMA lvi = {};
    lvi.mask = LVIF_PARAM;
    lvi.iItem = side.currentItem;
    if (!SendMessageA(side.listView, LVM_GETITEMA, 0, (LPARAM)&lvi))
        return false;
    CopyTempFilePath(PREVIEW_FILE, request[0].name);
    request[0].location = (unsigned char)(side.locationCode & 0xFF);
    request[0].number = (unsigned char)(lvi.lParam & 0xFF);
    return true;
}

BOOL IsPreviewableName(HWND list, int item)
{
    char name[261];
    GetListItemText(list, item, 0, name, sizeof name);
    name[260] = '\0';
    return HasExtension(name, "vbd") || HasExtension(name, "ptn");
}
INT_PTR CALLBACK PreviewFetchDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    return FetchDialogMessage(dialog, message, wParam, lParam, PREVIEW_FETCH_ROLE);
}

}  // namespace

void ShowStoredDesignPreview(DesignListSide &side, HWND dialog)
{
    int count = (int)SendMessageA(side.listView, LVM_GETITEMCOUNT, 0, 0);
    if (count <= 0)
        return;
    // A reload keeps the current item; when the new list is shorter it names no design,
    // and there is nothing to fetch: the command does nothing, as on an empty list.
    if (side.currentItem < 0 || side.currentItem >= count)
        return;
    INT_PTR result = RunFetchDialog(side, dialog, PreviewFetchDlgProc);
    char path[MAX_PATH];
    CopyTempFilePath(PREVIEW_FILE, path);
    if (result == 1) {
        // Another extension was fetched all the same, but is not drawn: the box keeps
        // what it showed before.
        if (IsPreviewableName(side.listView, side.currentItem))
            DrawDesignPreview(dialog, path);
    } else {
        ClearPreview(dialog);
    }
    DeleteFileA(path);
    side.lastPreviewedItem = side.currentItem;
}

DWORD PreviewFetchThread(DesignListSide &side, HWND dialog)
{
    HANDLE cancel = side.cancelEvent.Take();
    ScopedLock held(IfCreated(side.previewLock));
    if (IsWindow(dialog)) {
        BOOL written = ChooseLinkRoad(dialog, cancel, [&](auto road) {
            ResetEvent(cancel);
            side.progressTarget = dialog;
            DesignEntry request[2];
            if (!BuildPreviewRequest(side, request))
                return false;
            VembProgressCallback progress = side.transferProgress;
            return RunOnRoad(road, dialog, PREVIEW_CAPTION, cancel, [&](auto link, DWORD *detail) {
                       return link.Upload(request, 1, detail, progress);
                   }) == 0;
        });
        if (IsWindow(dialog))
            PostMessageA(dialog, WM_COMMAND, written ? CMD_WORK_DONE : CMD_WORK_FAILED, 0);
    }
    side.cancelEvent.Close(cancel);
    return 1;
}

