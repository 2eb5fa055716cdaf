// The two exports that send without the design picker: DirectDownload (one design held by
// the host, under a name) and DirectFilesDownload (a send list file made by the host).
#include "VembDlg.h"
#include "frame/transfer_frame.h"
#include "send/name_dlg.h"
#include "send/send_designs_dlg.h"
#include "send/send_state.h"

namespace {

// DirectFilesDownload's list, for the frame's dialog step.
const char *g_hostListPath;

INT_PTR OpenDirectSend(HWND owner)
{
    return OpenSendDirectDialog(owner);
}

INT_PTR OpenHostListSend(HWND owner)
{
    return OpenSendListDialog(owner, g_hostListPath);
}

}  // namespace

extern "C" BOOL WINAPI DirectDownload(HWND owner, DWORD designData, DWORD designSize, const char *name)
{
    g_designData = designData;
    g_designSize = designSize;
    // The host's name is taken as it is (no ".vbd" added, no character refused), cut to
    // the buffer should a host pass a longer one.
    if (name && name[0] != '\0')
        lstrcpynA(g_directDesignName, name, DESIGN_NAME_SIZE);
    else
        MakeDefaultDesignName(g_directDesignName);
    INT_PTR result = RunTransferFrame(owner, OpenDirectSend);
    DiscardSendLeftovers();
    return ExportResult(result);
}

extern "C" int WINAPI DirectFilesDownload(HWND owner, const char *listPath, int askVersion)
{
    g_hostListPath = listPath;
    // Both flags outlive this export: a later picker send finds them as this one left them.
    g_versionQuestion = askVersion;
    g_listCut = 0;
    INT_PTR result = RunTransferFrame(owner, OpenHostListSend);
    DiscardSendLeftovers();
    return result < 0 ? 0 : (int)result;
}
