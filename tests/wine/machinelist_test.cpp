// The machine design list and the preview of stored designs, as the Receive Designs
// dialog shows them: Show Preview, Auto Preview, clicks and arrow keys, the preview
// request, tooltips, the progress dialog of the directory upload, and the templates.
#include <windows.h>
#include <commctrl.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "design/preview.h"
#include "designgen/design_writer.h"
#include "directory_upload_res.h"
#include "machinelist/design_list.h"
#include "machinelist_support.h"
#include "receive_designs_res.h"
#include "receive_progress_res.h"
#include "resource.h"
#include "settings_support.h"
#include "vemb_fixture.h"

using namespace vt;

namespace {

const char RECEIVE_COM[] = "Receive Designs - COM Port";
const COLORREF LIGHT_GREY = RGB(192, 192, 192);

class MachineList : public VembTest {
protected:
    void SetUp() override
    {
        VembTest::SetUp();
        SetRegString(Key::Tambora, "RcvPath", WorkDir());
    }
    // Stored in this order: design numbers 1 to 5. Sorted: A10 (3), A9 (4), Zed (1),
    // apple (2), rose (5).
    void SeedFive()
    {
        const char *names[] = {"Zed.ptn", "apple.vbd", "A10.vbd", "A9.vbd", "rose.PtN"};
        for (int i = 0; i < 5; ++i)
            SeedDesign(1, names[i], Design(i % 3));
    }
    // Hoop 0 normal, 1 small, 2 large.
    static std::vector<char> Design(int hoop)
    {
        designgen::DesignSpec spec;
        spec.stitchCount = 300;
        spec.hoopCode = (uint32_t)hoop;
        return designgen::MakeDesign(spec);
    }
};

// Pixels of the preview box that are not the light grey of an empty box, inside the area
// the preview draws on (the box less its borders) and clear of the box's own frame.
int PaintedPixels(HWND dialog)
{
    HWND box = GetDlgItem(dialog, IDC_PREVIEW_BOX);
    RECT outer;
    GetWindowRect(box, &outer);
    int w = outer.right - outer.left - 6, h = outer.bottom - outer.top - 6;
    HDC dc = GetDC(box);
    int painted = 0;
    for (int y = 3; y < h - 3; y += 2)
        for (int x = 3; x < w - 3; x += 2)
            painted += GetPixel(dc, x, y) != LIGHT_GREY;
    ReleaseDC(box, dc);
    return painted;
}

std::string HoopLabel(HWND dialog)
{
    return ControlText(dialog, IDC_HOOP_LABEL);
}

// Shows the preview of `item` with the button; waits for the fetch.
void PreviewItem(Ui &u, HWND dialog, int item, size_t fetchNumber)
{
    ClickItem(dialog, item);
    Barrier(u, dialog);
    u.Click(dialog, IDC_SHOW_PREVIEW);
    WaitPreviewDone(u, dialog, fetchNumber);
}

TEST_F(MachineList, ShowPreviewOnAnEmptyListDoesNothing)
{
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog(RECEIVE_COM);
        WaitListLoaded(u, dlg, 1);
        u.Click(dlg, IDC_SHOW_PREVIEW);
        u.Click(dlg, IDC_RECEIVE_BUILT_IN);  // a reload behind it: the preview command came first
        WaitListLoaded(u, dlg, 2);
        u.Click(dlg, IDCANCEL);
        u.WaitGone(dlg);
    });
    DialogWatch watch({"Receive Preview Data"});
    EXPECT_EQ(Dll().UploadData(Owner()), 1);
    ui.Join();
    EXPECT_EQ(watch.Stop(), 0);
    EXPECT_TRUE(Uploads().empty());
}

// A design is fetched by its design number, drawn, and its hoop named; the file goes.
TEST_F(MachineList, ShowPreviewDrawsTheStoredDesignAndNamesItsHoop)
{
    SeedFive();
    std::string emptyLabel, labels[3];
    int paintedBefore = -1, painted[3] = {};
    bool fileLeft = true;
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog(RECEIVE_COM);
        WaitListLoaded(u, dlg, 1);
        emptyLabel = HoopLabel(dlg);
        paintedBefore = PaintedPixels(dlg);
        PreviewItem(u, dlg, 3, 1);  // apple.vbd, design 2, small hoop
        labels[0] = HoopLabel(dlg);
        painted[0] = PaintedPixels(dlg);
        PreviewItem(u, dlg, 0, 2);  // A10.vbd, design 3, large hoop
        labels[1] = HoopLabel(dlg);
        painted[1] = PaintedPixels(dlg);
        PreviewItem(u, dlg, 2, 3);  // Zed.ptn, design 1, normal hoop: .ptn is drawn too
        labels[2] = HoopLabel(dlg);
        painted[2] = PaintedPixels(dlg);
        fileLeft = FileExists(TempFile("$$UPLPrv.tmp"));
        u.Click(dlg, IDCANCEL);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(Dll().UploadData(Owner()), 1);
    ui.Join();
    EXPECT_EQ(emptyLabel, " ");
    EXPECT_EQ(paintedBefore, 0);
    EXPECT_EQ(labels[0], "Small Hoop");
    EXPECT_EQ(labels[1], "Large Hoop");
    EXPECT_EQ(labels[2], "Normal Hoop");
    for (int p : painted)
        EXPECT_GT(p, 100);
    EXPECT_FALSE(fileLeft);
    std::vector<SimCall> uploads = Uploads();
    ASSERT_EQ(uploads.size(), 3u);
    const int numbers[] = {2, 3, 1};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(uploads[i].op, "Protocol_Seq_Upload");
        EXPECT_EQ(uploads[i].Arg("count"), "1");
        ASSERT_EQ(uploads[i].entries.size(), 1u);
        EXPECT_EQ(uploads[i].entries[0].name, TempFile("$$UPLPrv.tmp"));
        EXPECT_EQ(uploads[i].entries[0].location, 1);
        EXPECT_EQ(uploads[i].entries[0].number, numbers[i]);
    }
    EXPECT_TRUE(RecordedMessageBoxes().empty());
}

// A stored file that is not a design is fetched and deleted, but not drawn: the box and
// the hoop label keep the previous design.
TEST_F(MachineList, OtherExtensionsAreFetchedButNotDrawn)
{
    SeedDesign(1, "b.vbd", Design(1));
    SeedDesign(1, "a.txt", Design(2));
    std::string label;
    int before = 0, after = 0;
    bool fileLeft = true;
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog(RECEIVE_COM);
        WaitListLoaded(u, dlg, 1);
        PreviewItem(u, dlg, 1, 1);  // b.vbd
        before = PaintedPixels(dlg);
        PreviewItem(u, dlg, 0, 2);  // a.txt
        label = HoopLabel(dlg);
        after = PaintedPixels(dlg);
        fileLeft = FileExists(TempFile("$$UPLPrv.tmp"));
        u.Click(dlg, IDCANCEL);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(Dll().UploadData(Owner()), 1);
    ui.Join();
    std::vector<SimCall> uploads = Uploads();
    ASSERT_EQ(uploads.size(), 2u);
    EXPECT_EQ(uploads[1].entries.at(0).number, 2);
    EXPECT_EQ(label, "Small Hoop");
    EXPECT_GT(before, 100);
    EXPECT_EQ(after, before);
    EXPECT_FALSE(fileLeft);
}

// A failed fetch: one message (the library's), the box cleared, the label " ".
TEST_F(MachineList, FailedFetchClearsThePreview)
{
    SeedFive();
    std::string labelBefore, labelAfter;
    int paintedBefore = 0, paintedAfter = -1;
    MessageBoxInfo box;
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog(RECEIVE_COM);
        WaitListLoaded(u, dlg, 1);
        PreviewItem(u, dlg, 0, 1);
        labelBefore = HoopLabel(dlg);
        paintedBefore = PaintedPixels(dlg);
        SetFaults("fail.Protocol_Seq_Upload=11,4\n");
        u.Click(dlg, IDC_SHOW_PREVIEW);
        box = u.WaitMessageBox();
        u.Answer(box, IDOK);
        WaitPreviewDone(u, dlg, 2);
        labelAfter = HoopLabel(dlg);
        paintedAfter = PaintedPixels(dlg);
        u.Click(dlg, IDCANCEL);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(Dll().UploadData(Owner()), 1);
    ui.Join();
    EXPECT_EQ(labelBefore, "Large Hoop");
    EXPECT_GT(paintedBefore, 100);
    EXPECT_EQ(box.caption, "Receiving Preview Data");
    EXPECT_EQ(box.text.rfind("Loomstar link error 11 (detail 4).", 0), 0u) << box.text;
    EXPECT_EQ(RecordedMessageBoxes().size(), 1u);
    EXPECT_EQ(labelAfter, " ");
    EXPECT_EQ(paintedAfter, 0);
    EXPECT_FALSE(FileExists(TempFile("$$UPLPrv.tmp")));
}

// Closing the preview's progress dialog cancels the fetch: the library stops, explains,
// and the box is cleared.
TEST_F(MachineList, ClosingThePreviewDialogCancelsTheFetch)
{
    SeedFive();
    std::string caption, text, label;
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog(RECEIVE_COM);
        WaitListLoaded(u, dlg, 1);
        SetFaults("delay=200\n");
        u.Click(dlg, IDC_SHOW_PREVIEW);
        HWND fetch = u.WaitDialog("Receive Preview Data");
        caption = WindowText(fetch);
        text = ControlText(fetch, IDC_UPLOAD_TEXT);
        u.Close(fetch);
        MessageBoxInfo box = u.WaitMessageBox("Receiving Preview Data");
        u.Answer(box, IDOK);
        u.WaitGone(fetch);
        Settle(dlg);
        label = HoopLabel(dlg);
        u.Click(dlg, IDCANCEL);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(Dll().UploadData(Owner()), 1);
    ui.Join();
    EXPECT_EQ(text, "Just a moment, please.");
    EXPECT_EQ(label, " ");
    std::vector<SimCall> uploads = Uploads();
    ASSERT_EQ(uploads.size(), 1u);
    EXPECT_EQ(uploads[0].result, 3);
}

// Auto Preview: two clicks on one item fetch once; the button fetches every time; the
// arrow keys fetch on every move inside the list.
TEST_F(MachineList, AutoPreviewFollowsClicksAndArrowKeys)
{
    SeedFive();
    std::vector<size_t> counts;
    std::vector<int> selected;
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog(RECEIVE_COM);
        WaitListLoaded(u, dlg, 1);
        u.Click(dlg, IDC_AUTO_PREVIEW);
        Barrier(u, dlg);
        size_t n = 0;
        auto note = [&] {
            counts.push_back(Uploads().size());
            selected.push_back(SelectedItem(dlg));
        };
        ClickItem(dlg, 1);
        WaitPreviewDone(u, dlg, ++n);  // 1
        ClickItem(dlg, 1);
        Barrier(u, dlg);
        note();  // same item: no fetch
        u.Click(dlg, IDC_SHOW_PREVIEW);
        WaitPreviewDone(u, dlg, ++n);  // 2: the button fetches again
        note();
        PressKey(dlg, VK_DOWN);
        WaitPreviewDone(u, dlg, ++n);  // 3: design of item 2
        note();
        PressKey(dlg, VK_UP);
        WaitPreviewDone(u, dlg, ++n);  // 4: back to item 1, fetched again
        note();
        PressKey(dlg, VK_UP);
        WaitPreviewDone(u, dlg, ++n);  // 5: item 0
        PressKey(dlg, VK_UP);          // first item: nothing
        Barrier(u, dlg);
        note();
        ClickCheckBox(dlg, 4);         // a check box click ticks and fetches
        WaitPreviewDone(u, dlg, ++n);  // 6: item 4
        note();
        u.Click(dlg, IDC_AUTO_PREVIEW);
        Barrier(u, dlg);
        ClickItem(dlg, 2);
        Barrier(u, dlg);
        note();  // Auto Preview off: no fetch
        u.Click(dlg, IDCANCEL);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(Dll().UploadData(Owner()), 1);
    ui.Join();
    EXPECT_EQ(counts, (std::vector<size_t>{1, 2, 3, 4, 5, 6, 6}));
    EXPECT_EQ(selected, (std::vector<int>{1, 1, 2, 1, 0, 4, 2}));
    std::vector<int> numbers;
    for (const SimCall &c : Uploads())
        numbers.push_back(c.entries.at(0).number);
    // Items 1, 1, 2, 1, 0, 4 of the sorted list.
    EXPECT_EQ(numbers, (std::vector<int>{4, 4, 1, 4, 3, 5}));
}

// After a location change the first click fetches, since nothing was previewed there.
TEST_F(MachineList, ReloadForgetsTheLastPreviewedItem)
{
    SeedFive();
    SeedDesign(2, "card.vbd", Design(0));
    SeedDesign(2, "deck.vbd", Design(1));
    std::vector<int> numbers;
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog(RECEIVE_COM);
        WaitListLoaded(u, dlg, 1);
        u.Click(dlg, IDC_AUTO_PREVIEW);
        ClickItem(dlg, 1);
        WaitPreviewDone(u, dlg, 1);
        u.Click(dlg, IDC_RECEIVE_ATA_CARD);
        WaitListLoaded(u, dlg, 2);
        ClickItem(dlg, 1);  // item 1 again, now of the card
        WaitPreviewDone(u, dlg, 2);
        u.Click(dlg, IDCANCEL);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(Dll().UploadData(Owner()), 1);
    ui.Join();
    std::vector<SimCall> uploads = Uploads();
    ASSERT_EQ(uploads.size(), 2u);
    EXPECT_EQ(uploads[1].entries.at(0).location, 2);
    EXPECT_EQ(uploads[1].entries.at(0).number, 2);
}

// The current item survives a reload. When the reloaded list is shorter it names no
// design: Show Preview then does nothing, as on an empty list.
TEST_F(MachineList, ShowPreviewBeyondTheReloadedListDoesNothing)
{
    SeedFive();
    int itemsAfter = 0;
    size_t fetchesBeyond = 9;
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog(RECEIVE_COM);
        WaitListLoaded(u, dlg, 1);
        ClickItem(dlg, 4);
        Barrier(u, dlg);
        linksim::DeleteDesign(1, 5);
        linksim::DeleteDesign(1, 4);
        linksim::DeleteDesign(1, 3);
        u.Click(dlg, IDC_RECEIVE_BUILT_IN);
        WaitListLoaded(u, dlg, 2);
        itemsAfter = ItemCount(dlg);
        u.Click(dlg, IDC_SHOW_PREVIEW);
        u.Click(dlg, IDC_RECEIVE_BUILT_IN);  // behind it: the preview command came first
        WaitListLoaded(u, dlg, 3);
        fetchesBeyond = Uploads().size();
        PreviewItem(u, dlg, 1, 1);  // within the list: fetched
        u.Click(dlg, IDCANCEL);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(Dll().UploadData(Owner()), 1);
    ui.Join();
    EXPECT_EQ(itemsAfter, 2);
    EXPECT_EQ(fetchesBeyond, 0u);
    std::vector<SimCall> uploads = Uploads();
    ASSERT_EQ(uploads.size(), 1u);
    EXPECT_EQ(uploads[0].entries.at(0).number, 2);  // "apple.vbd" after "Zed.ptn"
}

// Clicking below the last item leaves the current item as it was.
TEST_F(MachineList, ClickBelowTheItemsKeepsTheCurrentItem)
{
    SeedFive();
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog(RECEIVE_COM);
        WaitListLoaded(u, dlg, 1);
        ClickItem(dlg, 3);
        Barrier(u, dlg);
        RECT last = {};
        last.left = LVIR_BOUNDS;
        SendMessageA(DesignList(dlg), LVM_GETITEMRECT, 4, (LPARAM)&last);
        ClickListAt(dlg, {last.left + 10, last.bottom + 20});
        Barrier(u, dlg);
        u.Click(dlg, IDC_SHOW_PREVIEW);
        WaitPreviewDone(u, dlg, 1);
        u.Click(dlg, IDCANCEL);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(Dll().UploadData(Owner()), 1);
    ui.Join();
    std::vector<SimCall> uploads = Uploads();
    ASSERT_EQ(uploads.size(), 1u);
    EXPECT_EQ(uploads[0].entries.at(0).number, 2);  // item 3, "apple.vbd"
}

TEST_F(MachineList, ToolTipsOfTheReceiveDialog)
{
    std::vector<std::pair<int, std::string>> texts;
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog(RECEIVE_COM);
        WaitListLoaded(u, dlg, 1);
        for (int id : {1000, 1003, 1001, 1002, 1005, 1008, 1009, 1028, 1, 2, 1022, 1007, 1021, 1026, 1029}) {
            NMTTDISPINFOA info = {};
            info.hdr.hwndFrom = NULL;
            info.hdr.idFrom = (UINT_PTR)GetDlgItem(dlg, id);
            info.hdr.code = TTN_NEEDTEXTA;
            info.uFlags = TTF_IDISHWND;
            SendMessageTimeoutA(dlg, WM_NOTIFY, info.hdr.idFrom, (LPARAM)&info, SMTO_NORMAL, 10000, NULL);
            texts.push_back({id, info.lpszText ? info.lpszText : "<none>"});
        }
        u.Click(dlg, IDCANCEL);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(Dll().UploadData(Owner()), 1);
    ui.Join();
    std::vector<std::pair<int, std::string>> expected = {
        {1000, "Designs in Loomstar"},
        {1003, "Preview Window."},
        {1001, "Automatically showed by selecting design."},
        {1002, "Show design."},
        {1005, "Select all designs at once."},
        {1008, "Select Built-in memory."},
        {1009, "Select ATA PC Card."},
        {1028, "Select PC Design Card."},
        {1, "Start to receive designs."},
        {2, "Cancel"},
        {1022, "Select location."},
        {1007, "Read number of selected designs."},
        {1021, "<none>"},
        {1026, "<none>"},
        {1029, "<none>"},
    };
    EXPECT_EQ(texts, expected);
}

// The directory upload's progress dialog, and its close box: the library stops and
// explains, and the list is empty.
TEST_F(MachineList, ClosingTheDirectoryUploadCancelsIt)
{
    SeedFive();
    SetFaults("delay=200\n");
    int items = -1;
    int position = -1;
    std::string text;
    UiScript ui([&](Ui &u) {
        HWND dlg = u.WaitDialog(RECEIVE_COM);
        HWND upload = u.WaitDialog("Receive Design List");
        text = ControlText(upload, IDC_UPLOAD_TEXT);
        HWND bar = GetDlgItem(upload, IDC_UPLOAD_PROGRESS);
        u.WaitUntil([&] { return SendMessageA(bar, PBM_GETPOS, 0, 0) > 0; }, "progress");
        position = (int)SendMessageA(bar, PBM_GETPOS, 0, 0);
        u.Close(upload);
        MessageBoxInfo box = u.WaitMessageBox("Design List");
        u.Answer(box, IDOK);
        WaitListLoaded(u, dlg, 1);
        items = ItemCount(dlg);
        u.Click(dlg, IDCANCEL);
        u.WaitGone(dlg);
    });
    EXPECT_EQ(Dll().UploadData(Owner()), 1);
    ui.Join();
    EXPECT_EQ(text, "Receiving design lists from Loomstar.");
    // One design of four steps: 25, 50, 75 per cent.
    EXPECT_TRUE(position == 25 || position == 50 || position == 75) << position;
    EXPECT_EQ(items, 0);
    EXPECT_EQ(DirectoryUploads().at(0).result, 3);
    EXPECT_FALSE(FileExists(TempFile("$$UPLDir.tmp")));
}

// ---- templates ----

// A bordered control: the list view and the edit trade WS_BORDER for an edge. (The progress
// bar draws its own and keeps no trace of it in its styles.)
bool HasBorder(HWND dialog, int id)
{
    HWND control = GetDlgItem(dialog, id);
    return (GetWindowLongA(control, GWL_STYLE) & WS_BORDER) ||
           (GetWindowLongA(control, GWL_EXSTYLE) & (WS_EX_CLIENTEDGE | WS_EX_STATICEDGE));
}

INT_PTR CALLBACK QuietDlgProc(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

std::vector<BYTE> TemplateBytes(int id)
{
    HRSRC res = FindResourceA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(id), (LPCSTR)RT_DIALOG);
    if (!res)
        return {};
    const BYTE *data = (const BYTE *)LockResource(LoadResource(GetModuleHandleA(NULL), res));
    return std::vector<BYTE>(data, data + SizeofResource(GetModuleHandleA(NULL), res));
}

TEST_F(MachineList, ReceiveDesignsTemplate)
{
    std::vector<BYTE> bytes = TemplateBytes(IDD_RECEIVE_DESIGNS);
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(bytes[0] | bytes[1] << 8, 1) << "an extended template";
    EXPECT_EQ(bytes[2] | bytes[3] << 8, 0xFFFF);
    HWND dialog = CreateDialogParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDD_RECEIVE_DESIGNS), Owner(),
                                     QuietDlgProc, 0);
    ASSERT_NE(dialog, (HWND)NULL);
    EXPECT_EQ(WindowText(dialog), "Receive Designs");
    DWORD style = (DWORD)GetWindowLongA(dialog, GWL_STYLE);
    EXPECT_EQ(style & (WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME),
              (DWORD)(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME));
    const DWORD LIST_STYLE = LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOCOLUMNHEADER | WS_TABSTOP;
    ExpectLayout(
        dialog, 293, 185,
        {
            {1000, "SysListView32", "List1", 7, 24, 112, 118, LIST_STYLE, 0, 0},
            {1001, "Button", "Auto Preview", 133, 124, 66, 10, WS_TABSTOP, 0xF, BS_AUTOCHECKBOX},
            {1002, "Button", "Show Preview", 133, 140, 66, 14, WS_TABSTOP, 0xF, BS_PUSHBUTTON},
            {1005, "Button", "Select All Designs", 217, 21, 69, 14, WS_TABSTOP, 0xF, BS_PUSHBUTTON},
            {1008, "Button", "Built-in", 218, 59, 62, 10, 0, 0xF, BS_AUTORADIOBUTTON},
            {1009, "Button", "ATA PC Card", 218, 75, 62, 10, 0, 0xF, BS_AUTORADIOBUTTON},
            {1028, "Button", "PC Design Card", 218, 91, 62, 10, 0, 0xF, BS_AUTORADIOBUTTON},
            {1022, "Button", "Browse", 163, 165, 45, 14, WS_TABSTOP, 0xF, BS_PUSHBUTTON},
            {1, "Button", "Receive", 217, 130, 69, 14, WS_TABSTOP, 0xF, BS_DEFPUSHBUTTON},
            {2, "Button", "Cancel", 217, 165, 69, 14, WS_TABSTOP, 0xF, BS_PUSHBUTTON},
            {1003, "Static", "", 132, 30, 67, 80, SS_SUNKEN | SS_NOTIFY, SS_TYPEMASK, SS_ETCHEDFRAME},
            {-1, "Button", "Preview", 124, 21, 84, 139, 0, 0xF, BS_GROUPBOX},
            {-1, "Button", "Receive From", 212, 49, 74, 58, 0, 0xF, BS_GROUPBOX},
            {-1, "Static", "Folder :", 7, 169, 25, 10, WS_GROUP, SS_TYPEMASK, SS_LEFT},
            {1021, "Edit", "", 36, 165, 126, 14, ES_READONLY | ES_AUTOHSCROLL | WS_TABSTOP, 0, 0},
            {1026, "Static", "", 133, 112, 66, 10, WS_GROUP, SS_TYPEMASK, SS_LEFT},
            {1007, "Static", "", 7, 147, 112, 12, SS_CENTERIMAGE | SS_SUNKEN | WS_GROUP, SS_TYPEMASK,
             SS_CENTER},
            {1029, "Button", "Select Open/Save folder.", 13, 7, 108, 13, WS_TABSTOP, 0xF, BS_AUTOCHECKBOX},
        });
    EXPECT_TRUE(GetWindowLongA(GetDlgItem(dialog, 1003), GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    EXPECT_TRUE(HasBorder(dialog, 1000));
    EXPECT_TRUE(HasBorder(dialog, 1021));
    // Template order is the tab order.
    std::vector<int> order;
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        order.push_back((short)GetDlgCtrlID(c));
    EXPECT_EQ(order, (std::vector<int>{1000, 1001, 1002, 1005, 1008, 1009, 1028, 1022, 1, 2, 1003, -1, -1, -1,
                                       1021, 1026, 1007, 1029}));
    DestroyWindow(dialog);
}

TEST_F(MachineList, ProgressTemplates)
{
    DLGPROC quiet = QuietDlgProc;
    HWND upload =
        CreateDialogParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDD_DIRECTORY_UPLOAD), Owner(), quiet, 0);
    ASSERT_NE(upload, (HWND)NULL);
    EXPECT_EQ(WindowText(upload), "Receive Design List");
    ExpectLayout(upload, 259, 44,
                 {
                     {1017, "Static", "Receiving design lists from Loomstar.", 7, 7, 243, 11, 0, SS_TYPEMASK,
                      SS_CENTER},
                     {1007, "msctls_progress32", "", 7, 27, 243, 10, PBS_SMOOTH, 0, 0},
                 });
    DestroyWindow(upload);
    HWND progress =
        CreateDialogParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDD_RECEIVE_PROGRESS), Owner(), quiet, 0);
    ASSERT_NE(progress, (HWND)NULL);
    EXPECT_EQ(WindowText(progress), "Receive Designs");
    ExpectLayout(progress, 251, 114,
                 {
                     {1, "Button", "Start", 194, 14, 50, 14, WS_TABSTOP, 0xF, BS_DEFPUSHBUTTON},
                     {2, "Button", "Cancel", 194, 38, 50, 14, WS_TABSTOP, 0xF, BS_PUSHBUTTON},
                     {1007, "msctls_progress32", "", 7, 86, 237, 10, PBS_SMOOTH, 0, 0},
                     {1012, "Static", "Ready to receive designs.\nClick [Start] button.", 16, 16, 170, 17, 0,
                      SS_TYPEMASK, SS_CENTER},
                     {1013, "SysAnimate32", "", 13, 36, 180, 43, ACS_TRANSPARENT, 0, 0},
                     {1014, "Static", "", 185, 97, 59, 11, 0, SS_TYPEMASK, SS_CENTER},
                 });
    DestroyWindow(progress);
}

}  // namespace

namespace {

int ThreadCount()
{
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Thread32First(snap, &entry); more; more = Thread32Next(snap, &entry))
        count += entry.th32OwnerProcessID == GetCurrentProcessId();
    CloseHandle(snap);
    return count;
}

// The process's open handles, counted one by one (GetProcessHandleCount answers 0 under
// Wine).
int HandleCount()
{
    int count = 0;
    for (UINT_PTR value = 4; value < 0x10000; value += 4) {
        DWORD flags;
        count += GetHandleInformation((HANDLE)value, &flags) != 0;
    }
    return count;
}

// Every worker has ended when UploadData returns, and the directory uploads, previews and
// the receive leave no handle behind.
TEST_F(MachineList, NoWorkerOrHandleOutlivesTheExport)
{
    SeedFive();
    auto session = [&] {
        size_t lists = DirectoryUploads().size(), fetches = Uploads().size();
        UiScript ui([&](Ui &u) {
            HWND dlg = u.WaitDialog(RECEIVE_COM);
            WaitListLoaded(u, dlg, lists + 1);
            PreviewItem(u, dlg, 1, fetches + 1);
            u.Click(dlg, IDC_AUTO_PREVIEW);
            ClickCheckBox(dlg, 2);
            WaitPreviewDone(u, dlg, fetches + 2);
            u.Click(dlg, IDOK);
            u.WaitGone(dlg);
            HWND progress = u.WaitDialog(RECEIVE_COM);
            u.Click(progress, IDOK);
            u.WaitGone(progress);
        });
        EXPECT_EQ(Dll().UploadData(Owner()), 1);
        ui.Join();
    };
    session();  // the first one loads what stays loaded
    int threads = ThreadCount();
    int handles = HandleCount();
    session();
    EXPECT_EQ(ThreadCount(), threads);
    EXPECT_EQ(HandleCount(), handles);
    EXPECT_EQ(Uploads().size(), 6u);
}

}  // namespace

namespace {

// A bare window with the controls the list code works on, standing in for the Delete
// Designs dialog until it exists.
HWND MakeListHost(HWND owner)
{
    HWND host = CreateWindowExA(0, "#32770", "List host", WS_POPUP | WS_CAPTION | WS_VISIBLE, 50, 50, 400,
                                300, owner, NULL, GetModuleHandleA(NULL), NULL);
    auto child = [&](const char *cls, int id, DWORD style, int x, int y, int w, int h, DWORD ex = 0) {
        CreateWindowExA(ex, cls, "", WS_CHILD | WS_VISIBLE | style, x, y, w, h, host, (HMENU)(INT_PTR)id,
                        GetModuleHandleA(NULL), NULL);
    };
    child(WC_LISTVIEWA, IDC_DESIGN_LIST, LVS_REPORT | LVS_SINGLESEL | LVS_NOCOLUMNHEADER, 5, 5, 150, 200);
    child("BUTTON", IDC_AUTO_PREVIEW, BS_AUTOCHECKBOX, 170, 200, 100, 16);
    child("BUTTON", IDOK, BS_PUSHBUTTON, 170, 230, 100, 20);
    child("STATIC", IDC_SELECTED_COUNT, SS_CENTER, 5, 210, 150, 16);
    child("STATIC", IDC_PREVIEW_BOX, SS_ETCHEDFRAME | SS_SUNKEN, 170, 5, 100, 120, WS_EX_CLIENTEDGE);
    child("STATIC", IDC_HOOP_LABEL, SS_LEFT, 170, 130, 100, 16);
    return host;
}

// The delete side runs the same directory upload, list and preview fetch on state of its
// own: its location and current item go to the machine, the receive side's stay as they were.
TEST_F(MachineList, DeleteSideRunsTheSameMachineryOnItsOwnState)
{
    SeedFive();
    SeedDesign(2, "on card.vbd", Design(1));
    SeedDesign(2, "bee.vbd", Design(2));
    static const ToolTipEntry NO_TIPS[] = {{-1, nullptr}};
    HWND host = MakeListHost(Owner());
    BeginDesignListSide(g_receiveSide, NO_TIPS);
    BeginDesignListSide(g_deleteSide, NO_TIPS);
    g_deleteSide.locationCode = 2;
    g_deleteSide.listView = GetDlgItem(host, IDC_DESIGN_LIST);
    CreatePreviewSurface(host);
    ASSERT_TRUE(RunDirectoryUploadDlg(g_deleteSide, host));
    InitDesignList(g_deleteSide, host);
    EXPECT_EQ(ItemNames(host), (std::vector<std::string>{"bee.vbd", "on card.vbd"}));
    EXPECT_EQ(ControlText(host, IDC_SELECTED_COUNT), "Selected designs : 0");
    g_deleteSide.currentItem = 1;
    ShowStoredDesignPreview(g_deleteSide, host);
    EXPECT_EQ(ControlText(host, IDC_HOOP_LABEL), "Small Hoop");
    EXPECT_EQ(g_deleteSide.lastPreviewedItem, 1);
    EXPECT_EQ(g_receiveSide.locationCode, 1);
    EXPECT_EQ(g_receiveSide.currentItem, 0);
    EXPECT_EQ(g_receiveSide.lastPreviewedItem, -1);
    EndDesignListSide(g_deleteSide);
    EndDesignListSide(g_receiveSide);
    DeletePreviewSurface();
    DestroyWindow(host);
    std::vector<SimCall> lists = DirectoryUploads();
    ASSERT_EQ(lists.size(), 1u);
    EXPECT_EQ(lists[0].Arg("location"), "2");
    std::vector<SimCall> fetches = Uploads();
    ASSERT_EQ(fetches.size(), 1u);
    EXPECT_EQ(fetches[0].entries.at(0).location, 2);
    EXPECT_EQ(fetches[0].entries.at(0).number, 1);
    EXPECT_TRUE(RecordedMessageBoxes().empty());
}

}  // namespace
