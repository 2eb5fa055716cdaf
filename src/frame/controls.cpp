#include "frame/controls.h"

#include "frame/module.h"

#include <new>

HWND InsertListColumns(HWND dialog, int controlId, const ListColumn *columns, int count)
{
    HWND list = GetDlgItem(dialog, controlId);
    for (int i = 0; i < count; ++i) {
        LVCOLUMNA column = {};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.cx = columns[i].width;
        column.pszText = const_cast<char *>(columns[i].title);
        column.iSubItem = i;
        SendMessageA(list, LVM_INSERTCOLUMNA, i, (LPARAM)&column);
    }
    return list;
}

namespace {

// What a tool window needs to pass its mouse messages on: the tooltip window and the
// window procedure it had before. Lives from TTM_ADDTOOL to the tool's WM_NCDESTROY.
struct ToolRelay {
    WNDPROC previous;
    HWND tips;
};

// A tooltip learns of the mouse from the tool's own messages. comctl32 can subclass each
// tool for that (TTF_SUBCLASS), but its subclass chain fetches a window property on every
// message the tool receives, and under Wine each fetch is a round trip to the server: 21
// of the 37 a design cost in the picker's ">>". This plain subclass keeps its data in the
// tool's user data (the dialog's controls leave it unused) and relays the messages
// TTF_SUBCLASS relays.
LRESULT CALLBACK RelayToolMessages(HWND tool, UINT message, WPARAM wParam, LPARAM lParam)
{
    ToolRelay *relay = reinterpret_cast<ToolRelay *>(GetWindowLongPtrW(tool, GWLP_USERDATA));
    WNDPROC previous = relay->previous;
    switch (message) {
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
        if (IsWindow(relay->tips)) {
            MSG msg = {tool, message, wParam, lParam, (DWORD)GetMessageTime(), {}};
            SendMessageW(relay->tips, TTM_RELAYEVENT, 0, (LPARAM)&msg);
        }
        break;
    case WM_NCDESTROY:
        SetWindowLongPtrW(tool, GWLP_USERDATA, 0);
        delete relay;
        break;
    }
    return CallWindowProcW(previous, tool, message, wParam, lParam);
}

// Relays the mouse messages of `tool` to `tips`; where that cannot be set up, comctl32
// subclasses the tool itself.
UINT RelayToTips(HWND tool, HWND tips)
{
    ToolRelay *relay = new (std::nothrow) ToolRelay{NULL, tips};
    if (!tool || !relay) {
        delete relay;
        return TTF_SUBCLASS;
    }
    SetWindowLongPtrW(tool, GWLP_USERDATA, (LONG_PTR)relay);
    relay->previous = (WNDPROC)SetWindowLongPtrW(tool, GWLP_WNDPROC, (LONG_PTR)RelayToolMessages);
    return 0;
}

}  // namespace

HWND CreateToolTips(HWND dialog, const ToolTipEntry *table)
{
    HWND tips = CreateWindowExA(0, TOOLTIPS_CLASSA, NULL, TTS_ALWAYSTIP, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, dialog, NULL,
                                g_moduleInstance, NULL);
    if (!tips)
        return NULL;
    for (const ToolTipEntry *e = table; e->controlId != -1; ++e) {
        TOOLINFOA tool = {};
        // TOOLINFOA without the trailing lpReserved member, which comctl32 before version 6
        // refuses; the classic size works with every version.
        tool.cbSize = TTTOOLINFOA_V2_SIZE;
        tool.hwnd = dialog;
        tool.uId = (UINT_PTR)GetDlgItem(dialog, e->controlId);
        tool.uFlags = TTF_IDISHWND | RelayToTips((HWND)tool.uId, tips);
        tool.hinst = NULL;
        tool.lpszText = LPSTR_TEXTCALLBACKA;
        SendMessageA(tips, TTM_ADDTOOLA, 0, (LPARAM)&tool);
    }
    return tips;
}

BOOL SetToolTipText(HWND dialog, NMTTDISPINFOA *info, const ToolTipEntry *table)
{
    for (const ToolTipEntry *e = table; e->controlId != -1; ++e) {
        if ((HWND)info->hdr.idFrom == GetDlgItem(dialog, e->controlId)) {
            info->lpszText = const_cast<char *>(e->text);
            info->hinst = NULL;
            return TRUE;
        }
    }
    return FALSE;
}

void GetListItemText(HWND listView, int item, int column, char *text, int size)
{
    LVITEMA lv = {};
    lv.iSubItem = column;
    lv.pszText = text;
    lv.cchTextMax = size;
    text[0] = '\0';
    SendMessageA(listView, LVM_GETITEMTEXTA, item, (LPARAM)&lv);
}

void OpenClip(HWND animation, int clipId)
{
    if (animation)
        Animate_OpenEx(animation, g_moduleInstance, MAKEINTRESOURCEA(clipId));
}

void PlayClip(HWND animation)
{
    if (animation)
        Animate_Play(animation, 0, -1, -1);
}

void StopClip(HWND *animation)
{
    if (!*animation)
        return;
    Animate_Stop(*animation);
    Animate_Close(*animation);
    *animation = NULL;
}

bool IsChecked(HWND dialog, int id)
{
    return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}
