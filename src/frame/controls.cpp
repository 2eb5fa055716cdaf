#include "frame/controls.h"

#include "frame/module.h"

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
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = dialog;
        tool.uId = (UINT_PTR)GetDlgItem(dialog, e->controlId);
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
    return IsChecked(GetDlgItem(dialog, id));
}

bool IsChecked(HWND button)
{
    return SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
}
