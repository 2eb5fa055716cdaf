#pragma once
// The design picker: TransferVBDFiles opens the common file-open dialog (Explorer style)
// with the child template 101 and PickerHookProc. The user browses and selects ".vbd"
// files there, adds them to the chosen-designs list (1001) and presses Send, which writes
// the send list file and closes the common dialog; TransferVBDFiles then runs the Send
// Designs dialog in list mode.
//
// Everything runs on the host's thread inside the common dialog's modal loop.
#include <windows.h>
#include <commdlg.h>
#include <stdint.h>

#include "send/selection.h"

// ---- module-wide state, set up again by each TransferVBDFiles ----

// The common dialog's file-name buffer; the picker also asks the common dialog's current
// folder into it, and its text goes back to the caller.
extern char g_fileBuffer[SELECTION_SIZE + 1];
// The text of the file name box, or the names selected in the file list.
extern char g_namesBuffer[SELECTION_SIZE];
// The selection as read for adding, and as read when the selection changes.
extern char g_addText[SELECTION_SIZE];
extern char g_selectionText[SELECTION_SIZE];
// The selection text seen at the previous selection change.
extern char g_lastSelection[SELECTION_SIZE + 1];
// The design that the preview box shows or is to show.
extern char g_previewPath[PICKER_PATH_SIZE + 1];
// Folder and name joined while adding several files.
extern char g_addPath[PICKER_PATH_SIZE];
extern HWND g_pickerDialog;   // the child dialog
extern HWND g_chosenList;     // the chosen-designs list (1001)
// Controls that an addition reads or updates for every design, found once at
// WM_INITDIALOG: under Wine each GetDlgItem asks the server for the dialog's children.
extern HWND g_sendButton;
extern HWND g_totalsLine;
extern HWND g_openSaveBox;
extern BYTE g_sendRequested;  // Send wrote the send list: open the Send Designs dialog
extern int g_askVersion;      // the version question has not been confirmed in this opening
extern int g_addingStopped;   // the user declined the version question in this addition
extern int g_listFull;        // the last design tried found 100 rows in the list
// The send list file "SendList.tp$", kept by TransferVBDFiles (TempFilePath's buffer is
// overwritten by its next caller): Send writes it, the Send Designs dialog reads it.
extern char g_pickerListPath[MAX_PATH];

enum {
    PICKER_MAX_ROWS = 100,
    // Columns of the chosen-designs list.
    PICKER_COLUMN_NAME = 0,
    PICKER_COLUMN_SIZE = 1,
    PICKER_COLUMN_DATE = 2,
    PICKER_COLUMN_PATH = 3,
    // A size cell as the totals read it back.
    SIZE_TEXT_SIZE = 1280,
};

// ---- the hook and its helpers (picker_dlg.cpp) ----
UINT_PTR CALLBACK PickerHookProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Send's state and the totals line from the rows of the list.
void UpdateTotals();
// Send's state and the totals line for `rows` rows whose sizes sum to `total` bytes.
void ShowTotals(int rows, uint32_t total);
// The number a size cell shows ("12,345"): its digits without the commas.
uint32_t SizeTextValue(const char *text);
// The size cell of a row of the chosen-designs list as a number.
uint32_t RowSizeValue(int row);

// ---- reading the selection and adding (picker_select.cpp) ----
enum SelectionSource { FROM_NAME_BOX, FROM_FILE_LIST };
// Reads the common dialog's selection, joined with its current folder, into `output`
// (SELECTION_SIZE characters): one path, or the folder and quoted names.
bool GetSelectedNames(HWND dialog, char *output, SelectionSource source);
// ">>": adds the selected files, from the file name box and then from the file list.
void AddSelectedDesigns(HWND dialog);
// CDN_SELCHANGE: previews the first newly selected design.
void PreviewNewSelection(HWND dialog);

// ---- the send list file (picker_send_list.cpp) ----
// Writes one 260-byte record per row of the list, in row order, into a file made anew at
// `path`. Shows the message and returns FALSE when it cannot.
BOOL WriteSendList(HWND owner, HWND list, const char *path);
