// Writing the send list file from the design picker's list: one 260-byte record per row.
#include "send/picker.h"

#include <commctrl.h>
#include <string.h>

#include "frame/controls.h"
#include "frame/handles.h"
#include "send/send_list.h"

BOOL WriteSendList(HWND owner, HWND list, const char *path)
{
    int rows = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
    if (rows <= 0) {
        MessageBoxA(owner, "No data available.", "error", MB_ICONEXCLAMATION);
        return FALSE;
    }
    OwnedHandle file(CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL));
    if (!file) {
        MessageBoxA(owner, "Failed to open a temporary file.", "Error", MB_ICONEXCLAMATION);
        return FALSE;
    }
    for (int row = 0; row < rows; ++row) {
        char rowPath[SEND_RECORD_SIZE];
        GetListItemText(list, row, PICKER_COLUMN_PATH, rowPath, sizeof rowPath);
        unsigned char record[SEND_RECORD_SIZE];
        BuildSendRecord(rowPath, record);
        DWORD written = 0;
        if (!WriteFile(file.Get(), record, sizeof record, &written, NULL) || written != sizeof record) {
            file.Close();  // the message finds the file free
            MessageBoxA(owner, "Failed to write a temporary file.", "Error", MB_ICONEXCLAMATION);
            return FALSE;
        }
    }
    return TRUE;
}
