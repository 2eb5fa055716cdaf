// The design picker's selection: reading what the common dialog has selected, adding the
// designs to the chosen-designs list, and choosing the design to preview.
#include "send/picker.h"

#include <commctrl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "VembDlg.h"
#include "design/design_io.h"
#include "frame/controls.h"
#include "frame/handles.h"
#include "frame/module.h"
#include "picker_res.h"

namespace {

enum AddResult { ADD_DONE, ADD_FAILED };

const char LIST_FULL_TEXT[] = "100 designs have been selected.\nNo more design can be selected.";
const char TOO_LARGE_FORMAT[] = "In this menu, you cannot send a large design.\nThe \"%s\" design exceeds %d stitch counts.";
const char LIST_VIEW_CLASS[] = "SysListView32";

// ---- the common dialog's file list ----

struct ShellListSearch {
    HWND found;
};

BOOL CALLBACK FindShellList(HWND window, LPARAM param)
{
    char name[32] = "";
    GetClassNameA(window, name, sizeof name);
    if (lstrcmpiA(name, LIST_VIEW_CLASS) != 0 || GetDlgCtrlID(window) == IDC_PICKER_LIST)
        return TRUE;
    if (SendMessageA(window, LVM_GETSELECTEDCOUNT, 0, 0) < 1)
        return TRUE;
    reinterpret_cast<ShellListSearch *>(param)->found = window;
    return FALSE;
}

// ---- adding ----

// What an addition knows of the chosen-designs list: the number of its rows, their paths
// and the sum of their sizes, read once when ">>" starts and kept up as it appends. Reading
// every row for every design (for the duplicate test and again for the totals line) grew
// with the square of the list: 100 designs took over a second. And every message to the
// list costs three round trips to the server under Wine, its tooltip's subclass fetching a
// window property each time, so the count is not asked again either. Nothing else changes
// the list during an addition, and it never holds more than PICKER_MAX_ROWS rows (only
// AddDesign adds).
struct ChosenRows {
    int count;
    uint32_t totalSize;
    char paths[PICKER_MAX_ROWS][PICKER_PATH_SIZE];
};
ChosenRows g_rows;

void ReadChosenRows()
{
    int rows = (int)SendMessageA(g_chosenList, LVM_GETITEMCOUNT, 0, 0);
    g_rows.count = 0;
    g_rows.totalSize = 0;
    for (int row = 0; row < rows && row < PICKER_MAX_ROWS; ++row) {
        GetListItemText(g_chosenList, row, PICKER_COLUMN_PATH, g_rows.paths[row], PICKER_PATH_SIZE);
        g_rows.totalSize += RowSizeValue(row);
        g_rows.count = row + 1;
    }
}

// A character that every locale weighs on its own: printable ASCII (or the end) but the
// hyphen and the apostrophe, which word sorting weighs apart from the rest.
bool PlainCharacter(unsigned char c)
{
    return c == 0 || (c >= 0x20 && c <= 0x7E && c != '-' && c != '\'');
}

// lstrcmpiA runs the locale's full comparison, a few microseconds a pair under Wine. Two
// paths that first differ, other than in a letter's case, at plain characters on both
// sides compare unequal in every locale; the rest is left to lstrcmpiA.
bool DifferOutright(const char *a, const char *b)
{
    for (;; ++a, ++b) {
        unsigned char x = (unsigned char)*a, y = (unsigned char)*b;
        if (x >= 0x80 || y >= 0x80)
            return false;
        if (x >= 'A' && x <= 'Z')
            x = (unsigned char)(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = (unsigned char)(y - 'A' + 'a');
        if (x != y)
            return PlainCharacter(x) && PlainCharacter(y);
        if (x == 0)
            return false;
    }
}

bool PathInList(const char *path)
{
    for (int row = 0; row < g_rows.count; ++row)
        if (!DifferOutright(g_rows.paths[row], path) && lstrcmpiA(g_rows.paths[row], path) == 0)
            return true;
    return false;
}

// The stitch-limit check applies to files whose name ends in ".vbd" from its last dot.
bool NamedAsDesign(const char *fileName)
{
    const char *dot = strrchr(fileName, '.');
    return dot && lstrcmpiA(dot, ".vbd") == 0;
}

void ShowTooLarge(HWND dialog, const char *path)
{
    WIN32_FIND_DATAA found = {};
    HANDLE search = FindFirstFileA(path, &found);
    if (search == INVALID_HANDLE_VALUE)
        found.cFileName[0] = '\0';
    else
        FindClose(search);
    char text[sizeof TOO_LARGE_FORMAT + MAX_PATH + 16];
    snprintf(text, sizeof text, TOO_LARGE_FORMAT, found.cFileName, CurrentStitchLimit().shown);
    MessageBoxA(dialog, text, "Attention", MB_ICONINFORMATION);
}

void SetRowText(int row, int column, const char *text)
{
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = const_cast<char *>(text);
    SendMessageA(g_chosenList, LVM_SETITEMTEXTA, row, (LPARAM)&item);
}

// Adds row `row`, the list's last; false when the list took no row.
bool AppendRow(int row, const char *path, const char *size, const char *date)
{
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.pszText = const_cast<char *>(PathFileName(path));
    row = (int)SendMessageA(g_chosenList, LVM_INSERTITEMA, 0, (LPARAM)&item);
    if (row < 0)
        return false;
    SetRowText(row, PICKER_COLUMN_SIZE, size);
    SetRowText(row, PICKER_COLUMN_DATE, date);
    SetRowText(row, PICKER_COLUMN_PATH, path);
    return true;
}

// ---- reading the selection ----

// The names selected in the common dialog's file list as quoted names.
bool GetShellListSelection(HWND dialog, char *output)
{
    ShellListSearch search = {NULL};
    EnumChildWindows(GetParent(dialog), FindShellList, reinterpret_cast<LPARAM>(&search));
    if (!search.found)
        return false;
    output[0] = '\0';
    for (int item = -1;;) {
        item = (int)SendMessageA(search.found, LVM_GETNEXTITEM, item, LVNI_SELECTED);
        if (item < 0)
            break;
        char name[MAX_PATH];
        GetListItemText(search.found, item, 0, name, MAX_PATH);
        // Names that no longer fit are left out whole; the ones before them stay.
        if (!AppendQuotedName(output, SELECTION_SIZE, name))
            break;
    }
    return true;
}

AddResult AddDesign(HWND dialog, const char *path)
{
    if (PathInList(path))
        return ADD_DONE;
    if (g_rows.count >= PICKER_MAX_ROWS) {
        g_listFull = 1;
        return ADD_FAILED;
    }
    g_listFull = 0;
    // Rows carry paths of at most 259 characters (a send list record); a longer path is a
    // file the module cannot open anyway.
    if (strlen(path) >= PICKER_PATH_SIZE)
        return ADD_FAILED;
    if (IsChecked(g_openSaveBox) && !CheckOpenSaveName(dialog, NULL, path))
        return ADD_DONE;

    OwnedHandle file(CreateFileA(path, GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL));
    if (!file)
        return ADD_FAILED;
    DWORD fileSize = GetFileSize(file.Get(), NULL);
    if (fileSize == INVALID_FILE_SIZE)
        return ADD_DONE;
    // A file shorter than the header reads with its missing fields as 0 (design_io.h).
    DesignHeader header;
    if (!ReadDesignHeader(file.Get(), &header))
        return ADD_FAILED;
    if (g_addingStopped)
        return ADD_DONE;
    if (g_askVersion == 1 && AsksMachineVersion((uint32_t)header.stitchCount)) {
        if (CheckVersionDlg(dialog, 0) != 1) {
            g_addingStopped = 1;
            return ADD_DONE;
        }
        g_askVersion = 0;
    }
    if (NamedAsDesign(PathFileName(path)) && DesignTooLarge(header.stitchCount)) {
        file.Close();  // free while the message shows
        ShowTooLarge(dialog, path);
        return ADD_DONE;
    }

    char date[DATE_TEXT_SIZE] = "";
    FILETIME lastWrite;
    if (GetFileTime(file.Get(), NULL, NULL, &lastWrite))
        FormatFileDate(&lastWrite, date);
    DWORD size = HasExtension(path, "vbd") ? GetDesignDataSize(file.Get(), fileSize) : fileSize;
    file.Close();
    char digits[16];
    snprintf(digits, sizeof digits, "%lu", (unsigned long)size);
    char *grouped = FormatThousands(digits);

    const char *sizeText = grouped ? grouped : digits;
    if (AppendRow(g_rows.count, path, sizeText, date)) {
        lstrcpynA(g_rows.paths[g_rows.count++], path, PICKER_PATH_SIZE);
        g_rows.totalSize += SizeTextValue(sizeText);
    }
    free(grouped);
    ShowTotals(g_rows.count, g_rows.totalSize);
    return ADD_DONE;
}

int AddStep(const char *folder, const char *name, void *context)
{
    HWND dialog = static_cast<HWND>(context);
    // A path longer than the module's 260-character paths names a file it cannot open:
    // it is treated as one.
    if (!JoinFolderAndName(g_addPath, folder, name))
        return -2;
    return AddDesign(dialog, g_addPath) == ADD_DONE ? 0 : -2;
}

// One pass of an addition over the selection in g_addText. True when the pass failed on
// some file and the other source is to be tried.
bool AddPass(HWND dialog)
{
    if (IsSeveralNames(g_addText))
        return ForEachSelectedName(g_addText, AddStep, dialog) == -2;
    return AddDesign(dialog, g_addText) == ADD_FAILED;
}

// ---- previewing ----

void PreviewPath(HWND dialog, const char *path)
{
    if (!CopyPickerPath(g_previewPath, path))
        return;  // too long to be a design the module can read
    if (HasExtension(g_previewPath, "vbd"))
        InvalidateRect(dialog, NULL, FALSE);
}

int PreviewStep(const char *folder, const char *name, void *context)
{
    if (strstr(g_lastSelection, name))
        return 0;  // selected before: the preview shows the first newly selected design
    char path[PICKER_PATH_SIZE];
    if (!JoinFolderAndName(path, folder, name))
        return 0;  // cannot be shown; the next new name may
    PreviewPath(static_cast<HWND>(context), path);
    return 1;
}

void PreviewFromSelection(HWND dialog)
{
    if (IsSeveralNames(g_selectionText))
        ForEachSelectedName(g_selectionText, PreviewStep, dialog);
    else if (HasExtension(g_selectionText, "vbd"))
        PreviewPath(dialog, g_selectionText);
}

}  // namespace

bool GetSelectedNames(HWND dialog, char *output, SelectionSource source)
{
    HWND common = GetParent(dialog);
    if (source == FROM_NAME_BOX) {
        g_namesBuffer[0] = '\0';
        LRESULT got = SendMessageA(common, CDM_GETSPEC, SELECTION_SIZE, (LPARAM)g_namesBuffer);
        if (got <= 0 && !GetShellListSelection(dialog, g_namesBuffer))
            return false;
    } else if (!GetShellListSelection(dialog, g_namesBuffer)) {
        return false;
    }
    g_namesBuffer[SELECTION_SIZE - 1] = '\0';

    memset(g_fileBuffer, 0, sizeof g_fileBuffer);
    if (SendMessageA(common, CDM_GETFOLDERPATH, SELECTION_SIZE, (LPARAM)g_fileBuffer) < 1)
        return false;
    g_fileBuffer[SELECTION_SIZE - 1] = '\0';
    return ComposeSelection(output, SELECTION_SIZE, g_fileBuffer, g_namesBuffer);
}

void AddSelectedDesigns(HWND dialog)
{
    {
        RedrawPause redraw(g_chosenList);
        ReadChosenRows();
        if (!GetSelectedNames(dialog, g_addText, FROM_NAME_BOX))
            return;
        if (!AddPass(dialog))
            return;
        // Rows added by the first pass come back as duplicates and are passed over.
        if (!GetSelectedNames(dialog, g_addText, FROM_FILE_LIST))
            return;
        AddPass(dialog);
    }
    if (g_listFull)
        MessageBoxA(dialog, LIST_FULL_TEXT, "Attention", MB_ICONHAND);
}

void PreviewNewSelection(HWND dialog)
{
    if (!GetSelectedNames(dialog, g_selectionText, FROM_NAME_BOX))
        return;
    PreviewFromSelection(dialog);
    strcpy(g_lastSelection, g_selectionText);
    if (!GetSelectedNames(dialog, g_selectionText, FROM_FILE_LIST))
        return;
    PreviewFromSelection(dialog);
    strcpy(g_lastSelection, g_selectionText);
}
