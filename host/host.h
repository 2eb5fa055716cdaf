#pragma once
// "Loomstar Link", the demo host of VembDlg.dll.
#include <windows.h>

#include <string>

// Commands of the main window, one per export (also posted by the tour).
enum HostCommand {
    HOST_SEND_PICKER = 100,   // TransferVBDFiles
    HOST_SEND_MEMORY,         // DirectDownload
    HOST_SEND_LIST,           // DirectFilesDownload
    HOST_RECEIVE,             // UploadData
    HOST_DELETE,              // DeleteData
    HOST_SETTINGS,            // SetSerialCommParamDlg
    HOST_VERSION,             // CheckVersionDlg with the force flag
    HOST_COMMAND_LAST = HOST_VERSION,
};

// Posted by the main window when an export has returned: wParam the command, lParam the
// export's result.
enum { WM_HOST_EXPORT_DONE = WM_APP + 1 };

// Appends a line to the host's log window (and to the tour's summary).
void HostLog(const std::string &line);

// The scripted tour (host/tour.cpp): drives every dialog as a user would, saves a PNG of
// each into `outputFolder`, performs a send, a receive and a delete on the simulator and
// writes a summary. Runs on its own thread; closes the main window when done.
void StartTour(HWND mainWindow, const std::string &outputFolder);
// 0 when every step of the tour went as planned, else 1.
int TourExitCode();
// Called by the main window after each export.
void TourExportDone(int command, INT_PTR result);
