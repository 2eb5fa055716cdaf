// The list of designs stored in a location: filled from the directory information, sorted
// by name, ticks tracked in the item data, the "Selected designs : %d" label, select-all,
// clicks and arrow keys. Also the two sides and their thunks.
#include "machinelist/design_list.h"

#include <stdio.h>
#include <stdlib.h>

#include "design/preview.h"
#include "frame/module.h"
#include "machinelist/directory_info.h"
#include "machinelist/fetch_dialog.h"
#include "resource.h"

namespace {

// The thread procedures and the progress callback get no word of their side from their
// callers; one thunk per side supplies it.
template <DesignListSide &side>
DWORD WINAPI DirectoryUploadThreadOf(LPVOID dialog)
{
    return DirectoryUploadThread(side, (HWND)dialog);
}

template <DesignListSide &side>
DWORD WINAPI PreviewFetchThreadOf(LPVOID dialog)
{
    return PreviewFetchThread(side, (HWND)dialog);
}

template <DesignListSide &side>
int __stdcall TransferProgressOf(DWORD, DWORD, DWORD done, DWORD total)
{
    return TransferProgressCallback(side, done, total);
}

const TransferTitles RECEIVE_TITLES = {
    "Receive Designs - USB Connected",
    "Receive Designs - USB Disconnected",
    "Receive Designs - COM Port",
};

const TransferTitles DELETE_TITLES = {
    "Delete Designs - USB Connected",
    "Delete Designs - USB Disconnected",
    "Delete Designs - COM Port",
};

enum { UNTICKED_IMAGE = 1, TICKED_IMAGE = 2 };

int StateImage(UINT state)
{
    return (int)((state & LVIS_STATEIMAGEMASK) >> 12);
}

int ItemCount(HWND list)
{
    return (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
}

bool ReadItemData(HWND list, int item, LPARAM *data, UINT *state)
{
    LVITEMA lvi = {};
    lvi.mask = LVIF_PARAM | LVIF_STATE;
    lvi.iItem = item;
    lvi.stateMask = LVIS_STATEIMAGEMASK | LVIS_SELECTED;
    if (!SendMessageA(list, LVM_GETITEMA, 0, (LPARAM)&lvi))
        return false;
    *data = lvi.lParam;
    if (state)
        *state = lvi.state;
    return true;
}

void SetItemState(HWND list, int item, UINT state, UINT mask)
{
    LVITEMA lvi = {};
    lvi.state = state;
    lvi.stateMask = mask;
    SendMessageA(list, LVM_SETITEMSTATE, item, (LPARAM)&lvi);
}

void PostShowPreview(HWND dialog)
{
    PostMessageA(dialog, WM_COMMAND, IDC_SHOW_PREVIEW, 0);
}

// The directory information file into a buffer of its records (without the header).
// Null when there is nothing to list; `failedRead` when the file could not be read whole.
unsigned char *ReadDirectoryRecords(const char *path, size_t *size, bool *failedRead)
{
    *failedRead = false;
    OwnedHandle file(CreateFileA(path, GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL));
    if (!file)
        return nullptr;
    LARGE_INTEGER fileSize;
    unsigned char *records = nullptr;
    // A file of 1 byte has no room for the header; one beyond 4 GB cannot be held.
    if (GetFileSizeEx(file.Get(), &fileSize) && fileSize.QuadPart >= (LONGLONG)DIRECTORY_HEADER_SIZE &&
        fileSize.QuadPart <= 0x7FFFFFFF) {
        DWORD length = (DWORD)fileSize.QuadPart - DIRECTORY_HEADER_SIZE;
        records = (unsigned char *)calloc(length + 1, 1);
        if (records) {
            DWORD read = 0;
            LARGE_INTEGER offset;
            offset.QuadPart = DIRECTORY_HEADER_SIZE;
            if (!SetFilePointerEx(file.Get(), offset, NULL, FILE_BEGIN) ||
                (length > 0 && (!ReadFile(file.Get(), records, length, &read, NULL) || read != length))) {
                free(records);
                records = nullptr;
                *failedRead = true;
            } else {
                *size = length;
            }
        }
    }
    return records;
}

int InsertListRow(HWND list, int image, LPARAM itemData, const char *const *texts, int columns, int index)
{
    LVITEMA lvi = {};
    lvi.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    lvi.iItem = index;
    lvi.iImage = image;
    lvi.lParam = itemData;
    lvi.pszText = const_cast<char *>(texts[0]);
    int inserted = (int)SendMessageA(list, LVM_INSERTITEMA, 0, (LPARAM)&lvi);
    for (int column = 1; column < columns && inserted >= 0; ++column) {
        LVITEMA sub = {};
        sub.mask = LVIF_TEXT;
        sub.iItem = inserted;
        sub.iSubItem = column;
        sub.pszText = const_cast<char *>(texts[column]);
        SendMessageA(list, LVM_SETITEMA, 0, (LPARAM)&sub);
    }
    return inserted;
}

// True when an item state shows a ticked check box (any state image but the unticked one).
bool TickedState(UINT state)
{
    return StateImage(state) != UNTICKED_IMAGE;
}

bool IsDesignTicked(HWND list, int item)
{
    return TickedState((UINT)SendMessageA(list, LVM_GETITEMSTATE, item, LVIS_STATEIMAGEMASK));
}

// The item's text (at most 260 characters) and its item data.
bool ReadDesignItem(HWND list, int item, char text[261], LPARAM *itemData)
{
    LVITEMA lvi = {};
    lvi.mask = LVIF_TEXT | LVIF_PARAM;
    lvi.iItem = item;
    lvi.pszText = text;
    lvi.cchTextMax = 261;
    text[0] = '\0';
    if (!SendMessageA(list, LVM_GETITEMA, 0, (LPARAM)&lvi))
        return false;
    text[260] = '\0';
    *itemData = lvi.lParam;
    return true;
}

int HitTestDesignList(DesignListSide &side)
{
    LVHITTESTINFO info = {};
    GetCursorPos(&info.pt);
    ScreenToClient(side.listView, &info.pt);
    info.flags = LVHT_ONITEM;
    int item = (int)SendMessageA(side.listView, LVM_HITTEST, 0, (LPARAM)&info);
    return item >= 0 && (info.flags & LVHT_ONITEM) ? item : -1;
}

// Every item's state and item data, read once for both the count and the refresh. Under
// Wine each message to the list costs round trips to the server (its tooltip subclasses
// it), and "Select All" over 255 designs reads the list once instead of twice.
struct ItemSnapshot {
    bool read;  // LVM_GETITEM answered
    UINT state;
    LPARAM data;
};

// The items in list order, at most DESIGN_NUMBER_MAX of them (the list never holds more);
// returns their number.
int ReadItemSnapshots(HWND list, ItemSnapshot *items)
{
    int count = ItemCount(list);
    if (count > (int)DESIGN_NUMBER_MAX)
        count = DESIGN_NUMBER_MAX;
    for (int i = 0; i < count; ++i) {
        items[i].read = ReadItemData(list, i, &items[i].data, &items[i].state);
        if (!items[i].read)
            items[i].state = 0;  // what LVM_GETITEMSTATE answers for an item it cannot read
    }
    return count;
}

void CountSelectedDesigns(DesignListSide &side, HWND dialog, const ItemSnapshot *items, int count)
{
    EnableWindow(GetDlgItem(dialog, IDOK), FALSE);
    if (count <= 0)
        return;  // RefreshDesignSelection writes the label
    UINT selected = 0;
    for (int i = 0; i < count; ++i)
        selected += TickedState(items[i].state);
    side.selectedCount = selected;
    if (selected > 0)
        EnableWindow(GetDlgItem(dialog, IDOK), TRUE);
    char label[64];
    sprintf(label, "Selected designs : %d", (int)selected);
    SetDlgItemTextA(dialog, IDC_SELECTED_COUNT, label);
}

// Lets the list's LVN_ITEMCHANGED notifications pass without a refresh while it lives: for
// changes whose refresh the owner makes once, afterwards or itself. A refresh reads every
// item, so one per change grows with the square of the list.
class RefreshPause {
public:
    explicit RefreshPause(DesignListSide &side) : side_(side), outer_(!side.rebuilding)
    {
        side_.rebuilding = true;
    }
    ~RefreshPause()
    {
        if (outer_)
            side_.rebuilding = false;
    }
    RefreshPause(const RefreshPause &) = delete;
    RefreshPause &operator=(const RefreshPause &) = delete;

private:
    DesignListSide &side_;
    bool outer_;
};

// While the list is filled or all its ticks set, every item makes the list send
// LVN_ITEMCHANGED. The callers refresh once when the list is complete, which ends in the
// same counts, label, item data and selection, so the notifications are let pass meanwhile
// and the list is not redrawn until it is whole.
class ListRebuild {
public:
    explicit ListRebuild(DesignListSide &side) : refresh_(side), redraw_(side.listView) {}

private:
    RefreshPause refresh_;
    RedrawPause redraw_;
};

}  // namespace

DesignListSide g_receiveSide(RECEIVE_TITLES, "Upload", "Directory Information", "Directory Infomation",
                             DirectoryUploadThreadOf<g_receiveSide>, PreviewFetchThreadOf<g_receiveSide>,
                             TransferProgressOf<g_receiveSide>);

DesignListSide g_deleteSide(DELETE_TITLES, "Delete", "Directory Information Upload", "Directory Information",
                            DirectoryUploadThreadOf<g_deleteSide>, PreviewFetchThreadOf<g_deleteSide>,
                            TransferProgressOf<g_deleteSide>);

void BeginDesignListSide(DesignListSide &side, const ToolTipEntry *toolTips)
{
    side.toolTips = toolTips;
    side.listView = NULL;
    side.toolTipWindow = NULL;
    side.locationCode = 1;
    side.currentItem = 0;
    side.lastPreviewedItem = -1;
    side.selectedCount = 0;
    side.progressTarget = NULL;
    side.fetchWorker = NULL;
    if (!side.previewLock)
        side.previewLock.emplace();
}

void EndDesignListSide(DesignListSide &side)
{
    side.previewLock.reset();
    side.listView = NULL;
    side.toolTipWindow = NULL;
}

void InitDesignList(DesignListSide &side, HWND dialog)
{
    side.toolTipWindow = CreateToolTips(dialog, side.toolTips);
    // The list has no header, so the column's title is never seen.
    static const ListColumn COLUMNS[] = {{200, "FileName"}};
    side.listView = InsertListColumns(dialog, IDC_DESIGN_LIST, COLUMNS, 1);
    SendMessageA(side.listView, LVM_DELETEALLITEMS, 0, 0);
    SendMessageA(side.listView, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES, LVS_EX_CHECKBOXES);
    FillDesignList(side, dialog);
    RefreshDesignSelection(side, dialog);
}

void FillDesignList(DesignListSide &side, HWND dialog)
{
    HWND list = side.listView;
    ListRebuild rebuild(side);
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    char path[MAX_PATH];
    CopyTempFilePath(DIRECTORY_FILE, path);
    size_t size = 0;
    bool failedRead = false;
    unsigned char *records = ReadDirectoryRecords(path, &size, &failedRead);
    if (failedRead)
        MessageBoxA(dialog, "Failed to read a temporary file.", side.listCaption, MB_ICONHAND);
    if (records) {
        // The names are sorted before they go in, so that each row is inserted once; without
        // the memory for that the list stays in file order.
        DesignSortRecord *sorted = (DesignSortRecord *)calloc(DESIGN_NUMBER_MAX, sizeof(DesignSortRecord));
        DirectoryReader reader;
        DirectoryReaderBegin(&reader, records, size);
        char name[DIRECTORY_NAME_MAX + 1];
        unsigned number;
        // A design travels to the machine with its number in one byte: the list stops at the
        // last number a byte can carry, so that no tick, preview or deletion can reach design
        // 256 + n and land on design n.
        int k = 0;
        for (; k < (int)DESIGN_NUMBER_MAX && DirectoryReaderNext(&reader, name, &number); ++k) {
            if (sorted) {
                lstrcpynA(sorted[k].name, name, sizeof sorted[k].name);
                sorted[k].index = k;
                sorted[k].itemData = number & 0xFFFF;
            } else {
                const char *texts[] = {name};
                InsertListRow(list, 0, (LPARAM)(number & 0xFFFF), texts, 1, k);
            }
        }
        if (sorted) {
            SortDesignSnapshots(sorted, (size_t)k);
            for (int j = 0; j < k; ++j) {
                const char *texts[] = {sorted[j].name};
                InsertListRow(list, 0, (LPARAM)sorted[j].itemData, texts, 1, j);
            }
            free(sorted);
        }
        free(records);
    }
    // Whoever reads the file deletes it, whatever came of the reading.
    DeleteFileA(path);
}

BOOL RefreshDesignSelection(DesignListSide &side, HWND dialog)
{
    HWND list = side.listView;
    ItemSnapshot items[DESIGN_NUMBER_MAX];
    int count = ReadItemSnapshots(list, items);
    CountSelectedDesigns(side, dialog, items, count);
    if (count <= 0) {
        SetDlgItemTextA(dialog, IDC_SELECTED_COUNT, "Selected designs : 0");
        return FALSE;
    }
    int changed = -1;
    {
        // Each item data written makes the list notify a change; this refresh covers them
        // all. The selection below is notified as usual.
        RefreshPause pause(side);
        for (int i = 0; i < count; ++i) {
            if (!items[i].read)
                continue;
            DWORD tick = (DWORD)(StateImage(items[i].state) - 1);
            LPARAM data = items[i].data;
            if ((tick & 0xFFFF) != ((DWORD)data >> 16)) {
                LVITEMA lvi = {};
                lvi.mask = LVIF_PARAM;
                lvi.iItem = i;
                lvi.lParam = (LPARAM)((tick << 16) | ((DWORD)data & 0xFFFF));
                SendMessageA(list, LVM_SETITEMA, 0, (LPARAM)&lvi);
                changed = i;
            }
        }
    }
    if (changed < 0)
        return FALSE;
    SetItemState(list, changed, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    side.currentItem = changed;
    return TRUE;
}

void SetAllDesignChecks(DesignListSide &side, int ticked)
{
    // A refresh for each tick read the whole list three times: "Select All" over 255 designs
    // took over a minute under Wine. The callers refresh once afterwards and find all the
    // newly ticked items changed at once, the last of them becoming the selected one.
    ListRebuild rebuild(side);
    int count = ItemCount(side.listView);
    for (int i = 0; i < count; ++i)
        SetItemState(side.listView, i, INDEXTOSTATEIMAGEMASK(ticked + 1), LVIS_STATEIMAGEMASK);
}

void ReloadDesignList(DesignListSide &side, HWND dialog)
{
    if (!RunDirectoryUploadDlg(side, dialog))
        return;
    ClearPreview(dialog);
    FillDesignList(side, dialog);
    RefreshDesignSelection(side, dialog);
}

bool BuildTickedEntryList(DesignListSide &side, HWND dialog, const char *memoryCaption, MovableBlock *block,
                          DesignEntry **entries, UINT *count)
{
    FreeEntryList(block, entries, count);
    HWND list = side.listView;
    int items = ItemCount(list);
    UINT selected = side.selectedCount;
    // The OK button is disabled then; Enter finds nothing to do either.
    if (items <= 0 || selected == 0)
        return false;
    DesignEntry *locked = (DesignEntry *)block->Allocate((selected + 1) * sizeof(DesignEntry));
    if (!locked) {
        MessageBoxA(dialog, "Not enough memory space.", memoryCaption, MB_ICONHAND);
        return false;
    }
    UINT written = 0;
    for (int i = 0; i < items && written < selected; ++i) {
        char name[DESIGN_LIST_TEXT_SIZE];
        LPARAM data = 0;
        if (!IsDesignTicked(list, i) || !ReadDesignItem(list, i, name, &data))
            continue;
        DesignEntry &entry = locked[written++];
        lstrcpynA(entry.name, name, VEMB_NAME_FIELD - 1);
        entry.location = (unsigned char)side.locationCode;
        entry.number = (unsigned char)(data & 0xFF);
    }
    *entries = locked;
    *count = written;
    return true;
}

void FreeEntryList(MovableBlock *block, DesignEntry **entries, UINT *count)
{
    block->Free();
    *entries = nullptr;
    *count = 0;
}

void OnDesignListNotify(DesignListSide &side, HWND dialog, NMHDR *header)
{
    switch (header->code) {
    case LVN_ITEMCHANGED:
        if (header->idFrom == IDC_DESIGN_LIST && !side.rebuilding)
            RefreshDesignSelection(side, dialog);
        break;
    case NM_CLICK: {
        if (header->idFrom != IDC_DESIGN_LIST)
            break;
        RefreshDesignSelection(side, dialog);
        int item = HitTestDesignList(side);
        if (item < 0)
            break;
        side.currentItem = item;
        if (IsChecked(dialog, IDC_AUTO_PREVIEW) && item != side.lastPreviewedItem)
            PostShowPreview(dialog);
        break;
    }
    case LVN_KEYDOWN: {
        if (header->idFrom != IDC_DESIGN_LIST)
            break;
        WORD key = reinterpret_cast<NMLVKEYDOWN *>(header)->wVKey;
        if (key != VK_UP && key != VK_DOWN)
            break;
        int selected = (int)SendMessageA(side.listView, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED);
        if (selected < 0)
            break;
        int target = key == VK_UP ? selected - 1 : selected + 1;
        if (target < 0 || target >= ItemCount(side.listView))
            break;
        side.currentItem = target;
        if (IsChecked(dialog, IDC_AUTO_PREVIEW))
            PostShowPreview(dialog);  // every move, also back to the last previewed item
        break;
    }
    case TTN_NEEDTEXTA:
        SetToolTipText(dialog, reinterpret_cast<NMTTDISPINFOA *>(header), side.toolTips);
        break;
    }
}
