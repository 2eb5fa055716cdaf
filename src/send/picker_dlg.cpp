// The design picker's child dialog (template 101) inside the common file-open dialog:
// PickerHookProc and what it does for the list, the preview, the totals and Send.
#include "send/picker.h"

#include <commctrl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "design/design_file.h"
#include "design/preview.h"
#include "frame/controls.h"
#include "frame/module.h"
#include "picker_res.h"
#include "resource.h"
#include "send/send_list.h"
#include "send/send_state.h"

namespace {

const ListColumn PICKER_COLUMNS[] = {
    {130, "File Name"},
    {50, "Size"},
    {100, "Modified"},
    {5, " Path"},  // narrow: the path stays out of sight
};

const char PREVIEW_TIP[] = "Preview";

// The preview box's tooltip text: the full path of the design on show, else "Preview".
char g_previewTip[PICKER_PATH_SIZE + 1] = "Preview";

// The first entry's text changes at run time (SetPreviewTip).
ToolTipEntry g_pickerTips[] = {
    {IDC_PREVIEW_BOX, g_previewTip},
    {IDC_PICKER_ADD, "Add embroidery file."},
    {IDC_PICKER_REMOVE, "Remove embroidery file."},
    {IDC_PICKER_CLEAR_ALL, "Remove all embroidery files."},
    {IDC_PICKER_LIST, "Embroidery File lists"},
    {IDC_PICKER_TOTALS, "Number of selected design and total size in byte"},
    {IDC_PICKER_SEND, "Start to send."},
    {IDC_PICKER_BUILTIN, "Send to Built-in memory in Loomstar."},
    {IDC_PICKER_ATA_CARD, "Send to ATA PC Card in Loomstar."},
    {-1, NULL},
};

// The preview box's tooltip: a path (copied) or "Preview".
void SetPreviewTip(const char *text)
{
    lstrcpynA(g_previewTip, text, sizeof g_previewTip);
}

RECT ClientRectOf(HWND dialog, int controlId)
{
    RECT r = {};
    GetWindowRect(GetDlgItem(dialog, controlId), &r);
    MapWindowPoints(NULL, dialog, reinterpret_cast<POINT *>(&r), 2);
    return r;
}

void MoveBy(HWND dialog, int controlId, int dx, int dy)
{
    RECT r = ClientRectOf(dialog, controlId);
    MoveWindow(GetDlgItem(dialog, controlId), r.left + dx, r.top + dy, r.right - r.left, r.bottom - r.top, FALSE);
}

// ---- the first selected row ----

// Places Send below the common dialog's Cancel button and the location choices beside it.
void LayoutPickerControls(HWND dialog)
{
    HWND common = GetParent(dialog);
    HWND ok = GetDlgItem(common, IDOK), cancel = GetDlgItem(common, IDCANCEL);
    HWND send = GetDlgItem(dialog, IDC_PICKER_SEND);
    // The child dialog gets WM_SIZE before its controls exist.
    if (!ok || !cancel || !send || !GetDlgItem(dialog, IDC_PICKER_OPEN_SAVE))
        return;

    RECT group = ClientRectOf(dialog, IDC_PICKER_SEND_GROUP);
    RECT okRect, cancelRect, sendRect;
    GetWindowRect(ok, &okRect);
    GetWindowRect(cancel, &cancelRect);
    GetWindowRect(send, &sendRect);
    POINT sendAt = {cancelRect.left, cancelRect.bottom + (cancelRect.top - okRect.bottom)};
    ScreenToClient(dialog, &sendAt);
    MoveWindow(send, sendAt.x, sendAt.y, cancelRect.right - cancelRect.left, sendRect.bottom - sendRect.top, FALSE);

    int groupWidth = group.right - group.left;
    int groupX = sendAt.x - 20 - groupWidth, groupY = sendAt.y;
    MoveWindow(GetDlgItem(dialog, IDC_PICKER_SEND_GROUP), groupX, groupY, groupWidth, group.bottom - group.top,
               FALSE);
    // The choices travel with their group; the Open/Save box goes 3 pixels further up at
    // every layout, so each new size raises it once more.
    int dx = groupX - group.left, dy = groupY - group.top;
    MoveBy(dialog, IDC_PICKER_BUILTIN, dx, dy);
    MoveBy(dialog, IDC_PICKER_ATA_CARD, dx, dy);
    MoveBy(dialog, IDC_PICKER_OPEN_SAVE, dx, dy - 3);
}

void PreviewFirstSelectedRow(HWND dialog)
{
    int row = (int)SendMessageA(g_chosenList, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED);
    if (row < 0)
        return;
    GetListItemText(g_chosenList, row, PICKER_COLUMN_PATH, g_previewPath, PICKER_PATH_SIZE);
    InvalidateRect(dialog, NULL, FALSE);
}

// ---- Send ----

void OnSend(HWND dialog)
{
    if (SendMessageA(g_chosenList, LVM_GETITEMCOUNT, 0, 0) == 0) {
        MessageBoxA(dialog, "no data available.", "Download", MB_ICONEXCLAMATION);
        return;
    }
    if (!WriteSendList(dialog, g_chosenList, g_pickerListPath))
        return;
    g_sendRequested = 1;
    g_sendLocation = SendLocationCode(IsChecked(dialog, IDC_PICKER_BUILTIN), IsChecked(dialog, IDC_PICKER_OPEN_SAVE));
    // The common dialog ends as if cancelled, without an extended error.
    PostMessageA(GetParent(dialog), WM_CLOSE, 0, 0);
}

// ---- messages ----

BOOL OnInitDialog(HWND dialog)
{
    CreatePreviewSurface(dialog);
    g_pickerDialog = dialog;
    g_sendButton = GetDlgItem(dialog, IDC_PICKER_SEND);
    g_totalsLine = GetDlgItem(dialog, IDC_PICKER_TOTALS);
    g_openSaveBox = GetDlgItem(dialog, IDC_PICKER_OPEN_SAVE);
    CheckDlgButton(dialog, IDC_PICKER_BUILTIN, BST_CHECKED);
    g_chosenList = GetDlgItem(dialog, IDC_PICKER_LIST);
    UpdateTotals();
    g_chosenList = InsertListColumns(dialog, IDC_PICKER_LIST, PICKER_COLUMNS,
                                     sizeof PICKER_COLUMNS / sizeof PICKER_COLUMNS[0]);
    SendMessageA(g_chosenList, LVM_DELETEALLITEMS, 0, 0);
    g_lastSelection[0] = '\0';
    SetPreviewTip(PREVIEW_TIP);
    CreateToolTips(dialog, g_pickerTips);
    HWND common = GetParent(dialog);
    SendMessageA(common, CDM_SETCONTROLTEXT, IDOK, (LPARAM) "Open Folder");
    SendMessageA(common, CDM_SETCONTROLTEXT, IDCANCEL, (LPARAM) "Cancel");
    LayoutPickerControls(dialog);
    EnableWindow(g_sendButton, FALSE);
    g_askVersion = 1;
    return TRUE;
}

void OnPaint(HWND dialog)
{
    if (HasExtension(g_previewPath, "vbd")) {
        if (DrawDesignPreview(dialog, g_previewPath)) {
            SetPreviewTip(g_previewPath);
        } else {
            SetPreviewTip(PREVIEW_TIP);
            ClearPreview(dialog);
        }
    } else {
        ClearPreview(dialog);
    }
    PAINTSTRUCT ps;
    BeginPaint(dialog, &ps);
    EndPaint(dialog, &ps);
}

void OnNotify(HWND dialog, NMHDR *header)
{
    switch (header->code) {
    case CDN_FILEOK:
        // The common dialog stays open: its OK button ("Open Folder") only opens folders.
        SetWindowLongPtrA(dialog, DWLP_MSGRESULT, 1);
        break;
    case CDN_FOLDERCHANGE:
        SetPreviewTip(PREVIEW_TIP);
        break;
    case CDN_SELCHANGE:
        PreviewNewSelection(dialog);
        break;
    case CDN_INITDONE:
        CenterParentWindow(dialog);
        break;
    case TTN_NEEDTEXTA:
        SetToolTipText(dialog, reinterpret_cast<NMTTDISPINFOA *>(header), g_pickerTips);
        break;
    case LVN_KEYDOWN:
        switch (reinterpret_cast<NMLVKEYDOWN *>(header)->wVKey) {
        case VK_PRIOR:
        case VK_NEXT:
        case VK_END:
        case VK_HOME:
        case VK_UP:
        case VK_DOWN:
            // Posted: the list moves its selection after this notification.
            PostMessageA(dialog, WM_COMMAND, CMD_PREVIEW_SELECTED, 0);
            break;
        }
        break;
    case NM_CLICK:
        if (header->idFrom == IDC_PICKER_LIST)
            PreviewFirstSelectedRow(dialog);
        break;
    }
}

void OnCommand(HWND dialog, int id, int code)
{
    switch (id) {
    case IDC_PICKER_ADD:
        g_addingStopped = 0;
        AddSelectedDesigns(dialog);
        break;
    case IDC_PICKER_REMOVE: {
        bool removed = false;
        for (;;) {
            int row = (int)SendMessageA(g_chosenList, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED);
            if (row < 0 || !SendMessageA(g_chosenList, LVM_DELETEITEM, row, 0))
                break;
            removed = true;
        }
        if (removed)
            UpdateTotals();
        break;
    }
    case IDC_PICKER_CLEAR_ALL:
        SendMessageA(g_chosenList, LVM_DELETEALLITEMS, 0, 0);
        UpdateTotals();
        break;
    case IDC_PICKER_SEND:
        // Send notifies its focus changes too (BS_NOTIFY). Those must not send: focus
        // coming back to Send after a message box of a failed Send would send again, and
        // again, without end.
        if (code != BN_SETFOCUS && code != BN_KILLFOCUS)
            OnSend(dialog);
        break;
    case IDC_PICKER_OPEN_SAVE:
        if (IsChecked(dialog, IDC_PICKER_OPEN_SAVE)) {
            DropLongNames(dialog, g_chosenList);
            UpdateTotals();
        }
        break;
    case CMD_PREVIEW_SELECTED:
        PreviewFirstSelectedRow(dialog);
        break;
    }
}

}  // namespace

uint32_t SizeTextValue(const char *text)
{
    char digits[SIZE_TEXT_SIZE];
    size_t n = 0;
    for (const char *p = text; *p && n + 1 < sizeof digits; ++p)
        if (*p != ',')
            digits[n++] = *p;
    digits[n] = '\0';
    return (uint32_t)strtoul(digits, NULL, 10);
}

uint32_t RowSizeValue(int row)
{
    char size[SIZE_TEXT_SIZE];
    GetListItemText(g_chosenList, row, PICKER_COLUMN_SIZE, size, sizeof size);
    return SizeTextValue(size);
}

void ShowTotals(int rows, uint32_t total)
{
    EnableWindow(g_sendButton, rows != 0);
    char kilobytes[KILOBYTE_TEXT_SIZE];
    FormatKilobytes(total, kilobytes);
    char text[96];
    snprintf(text, sizeof text, "Designs : %d  ,  Memory : %s K bytes", rows, kilobytes);
    SendMessageA(g_totalsLine, WM_SETTEXT, 0, (LPARAM)text);
}

void UpdateTotals()
{
    int rows = (int)SendMessageA(g_chosenList, LVM_GETITEMCOUNT, 0, 0);
    uint32_t total = 0;
    for (int row = 0; row < rows; ++row)
        total += RowSizeValue(row);
    ShowTotals(rows, total);
}

UINT_PTR CALLBACK PickerHookProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(dialog);
    case WM_SIZE:
        LayoutPickerControls(dialog);
        return TRUE;
    case WM_PAINT:
        OnPaint(dialog);
        return TRUE;
    case WM_NOTIFY:
        OnNotify(dialog, reinterpret_cast<NMHDR *>(lParam));
        return TRUE;
    case WM_COMMAND:
        OnCommand(dialog, LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    }
    return FALSE;
}
