#pragma once
// Driving the machine design list (control 1000 of Receive Designs and Delete Designs) as
// a user would, from a UI script: reading its items, clicking an item or its check box,
// arrow keys, and waiting until a directory upload has been shown in the list.
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "resource.h"
#include "vemb_fixture.h"

namespace vt {

inline HWND DesignList(HWND dialog)
{
    return GetDlgItem(dialog, IDC_DESIGN_LIST);
}

inline int ItemCount(HWND dialog)
{
    return (int)SendMessageA(DesignList(dialog), LVM_GETITEMCOUNT, 0, 0);
}

inline std::vector<std::string> ItemNames(HWND dialog)
{
    std::vector<std::string> names;
    HWND list = DesignList(dialog);
    for (int i = 0, n = ItemCount(dialog); i < n; ++i) {
        char text[300] = "";
        LVITEMA item = {};
        item.iSubItem = 0;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        SendMessageA(list, LVM_GETITEMTEXTA, i, (LPARAM)&item);
        names.push_back(text);
    }
    return names;
}

inline LPARAM ItemData(HWND dialog, int index)
{
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    item.iItem = index;
    SendMessageA(DesignList(dialog), LVM_GETITEMA, 0, (LPARAM)&item);
    return item.lParam;
}

inline bool IsItemTicked(HWND dialog, int index)
{
    UINT state = (UINT)SendMessageA(DesignList(dialog), LVM_GETITEMSTATE, index, LVIS_STATEIMAGEMASK);
    return (state >> 12) == 2;
}

inline int SelectedItem(HWND dialog)
{
    return (int)SendMessageA(DesignList(dialog), LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED);
}

inline std::vector<int> TickedItems(HWND dialog)
{
    std::vector<int> ticked;
    for (int i = 0, n = ItemCount(dialog); i < n; ++i)
        if (IsItemTicked(dialog, i))
            ticked.push_back(i);
    return ticked;
}

// Waits until the dialog's thread has handled everything that was queued before: it
// answers a sent message only between two of its own messages.
inline void Settle(HWND dialog)
{
    DWORD_PTR result;
    SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result);
}

// Waits until the dialog's thread has handled every message posted to it before (clicks,
// keys): posts a change of the list's text colour behind them and waits to see it. A
// message that opens a modal dialog lets the barrier through from inside that dialog.
inline void Barrier(Ui &u, HWND dialog)
{
    HWND list = DesignList(dialog);
    COLORREF now = (COLORREF)SendMessageA(list, LVM_GETTEXTCOLOR, 0, 0);
    COLORREF next = now == RGB(0, 0, 0) ? RGB(0, 0, 1) : RGB(0, 0, 0);
    PostMessageA(list, LVM_SETTEXTCOLOR, 0, next);
    u.WaitUntil([&] { return (COLORREF)SendMessageA(list, LVM_GETTEXTCOLOR, 0, 0) == next; },
                "posted messages handled");
    Settle(dialog);
}

// Puts the mouse cursor on a screen point and waits until the module would see it there.
// Pointer events of earlier moves (and of windows that came and went under the pointer)
// reach the dialog's thread late and may carry the cursor back: the dialog's thread is
// let take them in before and after the move, until the cursor stays put.
inline void MoveCursor(HWND dialog, POINT screen)
{
    for (int tries = 0; tries < 50; ++tries) {
        Settle(dialog);
        SetCursorPos(screen.x, screen.y);
        Settle(dialog);
        Sleep(10);
        Settle(dialog);
        POINT now;
        GetCursorPos(&now);
        if (now.x == screen.x && now.y == screen.y)
            return;
    }
}

// Clicks with the mouse at a point of the list's client area: the cursor goes there first,
// since the list's owner asks where the cursor is when it hears of a click.
inline void ClickListAt(HWND dialog, POINT client)
{
    HWND list = DesignList(dialog);
    POINT screen = client;
    ClientToScreen(list, &screen);
    MoveCursor(dialog, screen);
    LPARAM at = MAKELPARAM(client.x, client.y);
    PostMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(list, WM_LBUTTONUP, 0, at);
}

// The middle of an item's check box: left of its icon, one state image wide.
inline POINT CheckBoxPoint(HWND dialog, int index)
{
    HWND list = DesignList(dialog);
    RECT icon = {};
    icon.left = LVIR_ICON;
    SendMessageA(list, LVM_GETITEMRECT, index, (LPARAM)&icon);
    int width = 16, height = 16;
    if (HIMAGELIST states = (HIMAGELIST)SendMessageA(list, LVM_GETIMAGELIST, LVSIL_STATE, 0))
        ImageList_GetIconSize(states, &width, &height);
    return {icon.left - width / 2, (icon.top + icon.bottom) / 2};
}

// Ticks or clears an item's check box as a user does: a click on the box.
inline void ClickCheckBox(HWND dialog, int index)
{
    ClickListAt(dialog, CheckBoxPoint(dialog, index));
}

// Clicks on an item's name.
inline void ClickItem(HWND dialog, int index)
{
    RECT label = {};
    label.left = LVIR_LABEL;
    SendMessageA(DesignList(dialog), LVM_GETITEMRECT, index, (LPARAM)&label);
    ClickListAt(dialog, {label.left + 4, (label.top + label.bottom) / 2});
}

// Presses an arrow key in the list, which has the focus after a click.
inline void PressKey(HWND dialog, WORD key)
{
    HWND list = DesignList(dialog);
    PostMessageA(list, WM_KEYDOWN, key, 1);
    PostMessageA(list, WM_KEYUP, key, 0xC0000001);
}

// The directory uploads the simulator has answered so far, serial and USB.
inline std::vector<SimCall> DirectoryUploads()
{
    std::vector<SimCall> uploads;
    for (const SimCall &c : ReadSimCalls())
        if (c.op == "Protocol_Seq_DirUpload" || c.op == "USB_DirUpload_Sequence")
            uploads.push_back(c);
    return uploads;
}

inline std::vector<SimCall> Uploads()
{
    std::vector<SimCall> uploads;
    for (const SimCall &c : ReadSimCalls())
        if (c.op == "Protocol_Seq_Upload" || c.op == "USB_Upload_Sequence")
            uploads.push_back(c);
    return uploads;
}

// Waits until the `count`th directory upload has come back and the list shows it.
inline void WaitListLoaded(Ui &u, HWND dialog, size_t count)
{
    u.WaitUntil([&] { return DirectoryUploads().size() >= count; },
                "directory upload " + std::to_string(count));
    u.WaitUntil([] { return !FindWindowA(NULL, "Receive Design List"); }, "directory upload dialog gone");
    Settle(dialog);
}

// Waits until the `count`th preview fetch (an upload of one entry) has come back and the
// dialog has dealt with it.
inline void WaitPreviewDone(Ui &u, HWND dialog, size_t count)
{
    u.WaitUntil([&] { return Uploads().size() >= count; }, "preview fetch " + std::to_string(count));
    u.WaitUntil([] { return !FindWindowA(NULL, "Receive Preview Data"); }, "preview dialog gone");
    Settle(dialog);
}

}  // namespace vt
