// Timed loops under Wine (not a test): the full preview paint of a 65,535-stitch design
// against a bare BitBlt of the same surface and against the same paint with a LineTo per
// stitch record; ">>" in the design picker over 100 selected designs, step by step; the
// machine design list with 255 stored designs; the Send Designs dialog's answers while the
// progress callback runs 1,000 times a second.
//   tools/wine-run build/win32/bin/wine_bench.exe [preview] [picker] [list] [progress]
// Built from the module's code and resources; the program stands in for the host.
#include <windows.h>
#include <commctrl.h>

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "VembDlg.h"
#include "design/design_file.h"
#include "design/design_io.h"
#include "design/preview.h"
#include "design/stitch_walk.h"
#include "designgen/design_writer.h"
#include "frame/controls.h"
#include "frame/module.h"
#include "machinelist/design_list.h"
#include "machinelist/directory_info.h"
#include "picker_res.h"
#include "resource.h"
#include "send/picker.h"
#include "send/send_state.h"
#include "send/send_worker.h"
#include "send_designs_res.h"
#include "ui_drive.h"

namespace {

double Milliseconds()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart * 1000.0 / frequency.QuadPart;
}

// The mean time of one call over `count` calls, the best of `rounds` rounds.
double BestMean(const std::function<void()> &call, int count, int rounds = 5)
{
    double best = 1e300;
    for (int r = 0; r < rounds; ++r) {
        double start = Milliseconds();
        for (int i = 0; i < count; ++i)
            call();
        best = std::min(best, (Milliseconds() - start) / count);
    }
    return best;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

INT_PTR CALLBACK QuietDlgProc(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

// A pen that draws every stitch record with its own LineTo: the plain way to replay the walk.
class LineToPen : public PenSink {
public:
    explicit LineToPen(HDC dc) : dc_(dc) {}
    ~LineToPen() { Release(); }
    void Pen(ThreadColour colour) override
    {
        Release();
        pen_ = CreatePen(PS_SOLID, 0, colour);
        old_ = SelectObject(dc_, pen_);
    }
    void Move(int x, int y) override { MoveToEx(dc_, x, y, NULL); }
    void Line(int x, int y) override { LineTo(dc_, x, y); }

private:
    void Release()
    {
        if (pen_) {
            SelectObject(dc_, old_);
            DeleteObject(pen_);
        }
        pen_ = NULL;
    }
    HDC dc_;
    HPEN pen_ = NULL;
    HGDIOBJ old_ = NULL;
};

// A pen that draws nothing: the walk's own share of a paint.
class NoPen : public PenSink {
public:
    void Pen(ThreadColour colour) override { sum += colour; }
    void Move(int x, int y) override { sum += x ^ y; }
    void Line(int x, int y) override { sum += x + y; }
    volatile uint32_t sum = 0;
};

// DrawDesignPreview's steps with a LineTo per record: read the file, fill, walk, copy. With
// `lines` false the walk draws nothing: what a paint costs besides its lines.
void DrawWithLineToPerRecord(HWND dialog, const char *path, bool lines = true)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    std::vector<uint8_t> bytes(GetFileSize(file, NULL));
    DWORD got = 0;
    ReadFile(file, bytes.data(), (DWORD)bytes.size(), &got, NULL);
    CloseHandle(file);
    DesignView view;
    if (!ReadDesignView(bytes.data(), bytes.size(), &view))
        return;
    HWND box = GetDlgItem(dialog, IDC_PREVIEW_BOX);
    RECT outer;
    GetWindowRect(box, &outer);
    int w = outer.right - outer.left - 6, h = outer.bottom - outer.top - 6;
    HDC boxDC = GetDC(box), surface = PreviewSurfaceDC();
    RECT area = {0, 0, w, h};
    FillRect(boxDC, &area, (HBRUSH)GetStockObject(LTGRAY_BRUSH));
    FillRect(surface, &area, (HBRUSH)GetStockObject(LTGRAY_BRUSH));
    DrawingAreaFor(HoopFor(view.header.hoopCode), outer.right - outer.left, outer.bottom - outer.top, &w, &h);
    RECT white = {0, 0, w, h};
    FillRect(surface, &white, (HBRUSH)GetStockObject(WHITE_BRUSH));
    if (lines) {
        LineToPen pen(surface);
        WalkStitches(view, w, h, pen);
    } else {
        NoPen pen;
        WalkStitches(view, w, h, pen);
    }
    BitBlt(boxDC, 0, 0, w, h, surface, 0, 0, SRCCOPY);
    ReleaseDC(box, boxDC);
}

void PreviewPaint()
{
    std::string path = uidrive::ExeDir() + "bench\\large.vbd";
    std::vector<char> bytes = designgen::MakeDesign({65535, 2, {10, 76, 37, 45, 8, 29}});
    designgen::WriteDesignFile(path, bytes);
    HWND dialog = CreateDialogParamA(g_moduleInstance, MAKEINTRESOURCEA(IDD_RECEIVE_DESIGNS), NULL, QuietDlgProc, 0);
    ShowWindow(dialog, SW_SHOW);
    UpdateWindow(dialog);
    CreatePreviewSurface(dialog);

    // The paint and the per-record paint in alternating rounds of 5 calls each: the ratio of
    // each round pairs two figures taken a moment apart, whatever else the machine does.
    std::vector<double> paints, lineTos, ratios;
    for (int round = 0; round < 15; ++round) {
        double p = BestMean([&] { DrawDesignPreview(dialog, path.c_str()); }, 5, 1);
        double l = BestMean([&] { DrawWithLineToPerRecord(dialog, path.c_str()); }, 5, 1);
        paints.push_back(p);
        lineTos.push_back(l);
        ratios.push_back(p / l);
    }
    double paint = Median(paints), lineTo = Median(lineTos);
    double blit = BestMean([&] { ShowPreview(dialog); }, 2000);
    // The same copy into a bitmap of this process: no X server behind it.
    RECT client;
    GetClientRect(GetDlgItem(dialog, IDC_PREVIEW_BOX), &client);
    HDC memory = CreateCompatibleDC(PreviewSurfaceDC());
    HBITMAP target = CreateCompatibleBitmap(PreviewSurfaceDC(), client.right, client.bottom);
    HGDIOBJ old = SelectObject(memory, target);
    double memoryBlit = BestMean(
        [&] { BitBlt(memory, 0, 0, client.right, client.bottom, PreviewSurfaceDC(), 0, 0, SRCCOPY); }, 2000);
    SelectObject(memory, old);
    DeleteObject(target);
    DeleteDC(memory);
    double noLines = BestMean([&] { DrawWithLineToPerRecord(dialog, path.c_str(), false); }, 20);
    DesignView view;
    ReadDesignView((const uint8_t *)bytes.data(), bytes.size(), &view);
    double walk = BestMean([&] {
        NoPen pen;
        WalkStitches(view, 93, 124, pen);
    }, 20);
    printf("preview paint, 65,535 stitches (DrawDesignPreview, file read included): %8.3f ms  (medians of 15 rounds)\n",
           paint);
    printf("bare BitBlt of the same surface onto the box (ShowPreview):             %8.3f ms   paint / BitBlt = %.0f\n",
           blit, paint / blit);
    printf("bare BitBlt of the same surface into a memory bitmap:                   %8.3f ms   paint / BitBlt = %.0f\n",
           memoryBlit, paint / memoryBlit);
    std::sort(ratios.begin(), ratios.end());
    printf("the same paint with a LineTo per stitch record:                         %8.3f ms   paint / LineTo paint = %.2f"
           " (rounds %.2f - %.2f; goal <= 0.45)\n",
           lineTo, Median(ratios), ratios.front(), ratios.back());
    printf("  the same paint drawing no line (file read, fills, walk, copy):        %8.3f ms   lines alone: %.2f\n",
           noLines, (paint - noLines) / (lineTo - noLines));
    printf("  of which the stitch walk alone (no drawing):                          %8.3f ms\n", walk);

    DeletePreviewSurface();
    DestroyWindow(dialog);
    DeleteFileA(path.c_str());
}

// `count` rows of four columns as the picker inserts them: name, then size, date and path.
void InsertPickerRows(HWND list, int count, const std::string &folder)
{
    char size[] = "12,345", date[] = "2024/01/02 03:04";
    for (int i = 0; i < count; ++i) {
        char name[32], path[MAX_PATH];
        snprintf(name, sizeof name, "d%03d.vbd", i);
        snprintf(path, sizeof path, "%s\\%s", folder.c_str(), name);
        LVITEMA item = {};
        item.mask = LVIF_TEXT;
        item.iItem = i;
        item.pszText = name;
        int at = (int)SendMessageA(list, LVM_INSERTITEMA, 0, (LPARAM)&item);
        char *texts[] = {size, date, path};
        for (int c = 1; c < 4; ++c) {
            LVITEMA cell = {};
            cell.iSubItem = c;
            cell.pszText = texts[c - 1];
            SendMessageA(list, LVM_SETITEMTEXTA, at, (LPARAM)&cell);
        }
    }
}

// The yardstick of ">>": 100 rows of four columns (as the picker's rows) inserted into a
// visible report list view, with the list redrawing as it goes and with redrawing off.
double InsertRows(bool redraw)
{
    HWND list = CreateWindowA(WC_LISTVIEWA, "", WS_POPUP | WS_VISIBLE | LVS_REPORT | LVS_SHOWSELALWAYS, 0, 0,
                              300, 150, NULL, NULL, NULL, NULL);
    const int widths[] = {130, 50, 100, 5};
    for (int c = 0; c < 4; ++c) {
        LVCOLUMNA column = {};
        column.mask = LVCF_WIDTH;
        column.cx = widths[c];
        SendMessageA(list, LVM_INSERTCOLUMNA, c, (LPARAM)&column);
    }
    UpdateWindow(list);
    double start = Milliseconds();
    if (!redraw)
        SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    InsertPickerRows(list, 100, "Z:\\designs");
    if (!redraw)
        SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    double took = Milliseconds() - start;
    DestroyWindow(list);
    return took;
}

// Under Wine most window and file calls are round trips to the Wine server, and how long
// one takes depends on the machine more than on the caller: on an idle virtual machine a
// processor that waits for the reply sleeps and wakes slowly (about 100 us a round trip),
// while with other work running it stays awake (about 20 us). One run can drift between
// the two, so a goal is compared with a yardstick taken right after it, round by round.
void PrintRatios(const char *label, const std::vector<double> &times, const std::vector<double> &yardsticks)
{
    std::vector<double> ratios;
    for (size_t i = 0; i < times.size() && i < yardsticks.size(); ++i)
        ratios.push_back(times[i] / yardsticks[i]);
    std::sort(ratios.begin(), ratios.end());
    if (ratios.empty())
        return;
    printf("%s median %.2f (p10 %.2f, p90 %.2f)\n", label, Median(ratios), ratios[ratios.size() / 10],
           ratios[ratios.size() * 9 / 10]);
}

DWORD WINAPI RunScript(LPVOID script)
{
    (*static_cast<std::function<void()> *>(script))();
    return 0;
}

// The picker's child dialog, subclassed by the script: ">>" is timed inside the window
// procedure as well as around the script's SendMessage, and WM_RUN_HERE runs a function
// on the picker's own thread (the host's), where the module's code runs.
enum { WM_RUN_HERE = WM_APP + 77 };
WNDPROC g_childProc;
double g_addEntered, g_addLeft;

LRESULT CALLBACK TimedChildProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_RUN_HERE) {
        (*reinterpret_cast<std::function<void()> *>(lParam))();
        return 0;
    }
    bool add = message == WM_COMMAND && LOWORD(wParam) == IDC_PICKER_ADD;
    if (add)
        g_addEntered = Milliseconds();
    LRESULT result = CallWindowProcA(g_childProc, window, message, wParam, lParam);
    if (add)
        g_addLeft = Milliseconds();
    return result;
}

// The steps of one ">>", each replayed alone on the picker's thread with the module's own
// functions, the chosen-designs list empty before and after.
struct AddSteps {
    double nameBox, fileList, files, rows, totals, fullRead;
};

AddSteps ReplayAddSteps(HWND child, const std::string &folder, int designs)
{
    AddSteps steps = {};
    HWND list = GetDlgItem(child, IDC_PICKER_LIST);
    double start = Milliseconds();
    GetSelectedNames(child, g_addText, FROM_NAME_BOX);
    steps.nameBox = Milliseconds() - start;
    start = Milliseconds();
    GetSelectedNames(child, g_addText, FROM_FILE_LIST);
    steps.fileList = Milliseconds() - start;

    // What AddDesign reads of each file: open, header, date, design data size.
    start = Milliseconds();
    for (int i = 0; i < designs; ++i) {
        char name[32];
        snprintf(name, sizeof name, "\\d%03d.vbd", i);
        HANDLE file = CreateFileA((folder + name).c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
        DWORD size = GetFileSize(file, NULL);
        DesignHeader header;
        ReadDesignHeader(file, &header);
        FILETIME written;
        GetFileTime(file, NULL, NULL, &written);
        GetDesignDataSize(file, size);
        CloseHandle(file);
    }
    steps.files = Milliseconds() - start;

    // The rows as AddDesign inserts them: name, then size, date and path, redraw paused.
    start = Milliseconds();
    {
        RedrawPause redraw(list);
        InsertPickerRows(list, designs, folder);
    }
    steps.rows = Milliseconds() - start;
    // One read of every row's size: what the totals line and (for the paths) the
    // duplicate test each cost per design before an addition kept what it had read.
    start = Milliseconds();
    UpdateTotals();
    steps.fullRead = Milliseconds() - start;
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    // Send's state and the totals line after every design.
    start = Milliseconds();
    for (int i = 1; i <= designs; ++i)
        ShowTotals(i, 12345u * i);
    steps.totals = Milliseconds() - start;
    UpdateTotals();
    return steps;
}

// ">>" over 100 designs selected in the common dialog's file list, timed on the script's
// thread around the command sent to the picker and inside the picker's window procedure;
// "All Clear" between the rounds.
void PickerAdd()
{
    const int DESIGNS = 100, ROUNDS = 15;
    std::string folder = uidrive::ExeDir() + "bench\\designs";
    CreateDirectoryA(folder.c_str(), NULL);
    for (int i = 0; i < DESIGNS; ++i) {
        char name[32];
        snprintf(name, sizeof name, "\\d%03d.vbd", i);
        designgen::WriteDesignFile(folder + name, designgen::MakeDesign({3000 + 97 * i, (uint32_t)(i % 3)}));
    }
    std::vector<double> presses, inside, again, yardsticks;
    AddSteps steps = {};
    int rows = 0;
    std::function<void()> run = [&] {
        uidrive::Ui u;
        try {
            HWND common = u.WaitDialog("Select Designs");
            uidrive::PickerWindows picker;
            u.WaitUntil(
                [&] {
                    picker = uidrive::FindPickerWindows(common);
                    return picker.child && picker.files &&
                           SendMessageA(picker.files, LVM_GETITEMCOUNT, 0, 0) == DESIGNS;
                },
                "the picker with the designs");
            HWND child = picker.child, files = picker.files;
            g_childProc = (WNDPROC)SetWindowLongPtrA(child, GWLP_WNDPROC, (LONG_PTR)TimedChildProc);
            LVITEMA all = {};
            all.stateMask = all.state = LVIS_SELECTED;
            SendMessageA(files, LVM_SETITEMSTATE, (WPARAM)-1, (LPARAM)&all);
            HWND list = GetDlgItem(child, IDC_PICKER_LIST);
            auto press = [&](int id) {
                double start = Milliseconds();
                SendMessageA(child, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(child, id));
                return Milliseconds() - start;
            };
            // One round first, then wait until the host's thread is idle: the shell view
            // fetches the files' icons and the picker draws its preview meanwhile.
            press(IDC_PICKER_ADD);
            press(IDC_PICKER_CLEAR_ALL);
            for (int tries = 0; tries < 100; ++tries) {
                u.Sleep(100);
                double start = Milliseconds();
                for (int i = 0; i < 100; ++i)
                    SendMessageA(child, WM_NULL, 0, 0);
                if (Milliseconds() - start < 10)
                    break;
            }
            for (int round = 0; round < ROUNDS; ++round) {
                presses.push_back(press(IDC_PICKER_ADD));
                inside.push_back(g_addLeft - g_addEntered);
                rows = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
                // The same designs again: every one is found listed.
                again.push_back(press(IDC_PICKER_ADD));
                press(IDC_PICKER_CLEAR_ALL);
                // The yardstick right after each round, on the same thread: how fast the
                // machine answers Wine's calls drifts within a run (see PerRoundRatios).
                double rows = 0;
                std::function<void()> yardstick = [&] { rows = InsertRows(false); };
                SendMessageA(child, WM_RUN_HERE, 0, (LPARAM)&yardstick);
                yardsticks.push_back(rows);
            }
            std::function<void()> replay = [&] { steps = ReplayAddSteps(child, folder, DESIGNS); };
            SendMessageA(child, WM_RUN_HERE, 0, (LPARAM)&replay);
            SetWindowLongPtrA(child, GWLP_WNDPROC, (LONG_PTR)g_childProc);
            u.Click(common, IDCANCEL);
        } catch (const uidrive::UiTimeout &t) {
            fprintf(stderr, "timed out: %s\n%s", t.what.c_str(), uidrive::DescribeWindows().c_str());
            uidrive::Rescue();
        }
    };
    HANDLE script = CreateThread(NULL, 0, RunScript, &run, 0, NULL);
    char opensIn[MAX_PATH];
    lstrcpynA(opensIn, folder.c_str(), sizeof opensIn);
    TransferVBDFiles(NULL, opensIn);
    WaitForSingleObject(script, INFINITE);
    CloseHandle(script);
    for (int i = 0; i < DESIGNS; ++i) {
        char name[32];
        snprintf(name, sizeof name, "\\d%03d.vbd", i);
        DeleteFileA((folder + name).c_str());
    }
    RemoveDirectoryA(folder.c_str());
    if (presses.empty() || rows != DESIGNS) {
        printf("\">>\" over %d selected designs: failed (%d rows)\n", DESIGNS, rows);
        return;
    }
    double median = Median(presses), slowest = *std::max_element(presses.begin(), presses.end());
    double redrawing = 1e300;
    for (int r = 0; r < 5; ++r)
        redrawing = std::min(redrawing, InsertRows(true));
    printf("\n\">>\" over %d selected designs in the picker, %d rounds (goal: median <= 100 ms, none > 200 ms):\n",
           DESIGNS, ROUNDS);
    printf("  median %.1f ms, slowest %.1f ms, best %.1f ms  (%.2f ms per design)\n", median, slowest,
           *std::min_element(presses.begin(), presses.end()), median / DESIGNS);
    // Every round, in order: a lone slow round shows whether it came first or amid the others.
    printf("  rounds (ms):");
    for (double p : presses)
        printf(" %.0f", p);
    printf("\n");
    printf("  yardstick: 100 such rows into a report list view with WM_SETREDRAW off, after each round: median %.1f ms"
           " (%.1f - %.1f)\n",
           Median(yardsticks), *std::min_element(yardsticks.begin(), yardsticks.end()),
           *std::max_element(yardsticks.begin(), yardsticks.end()));
    PrintRatios("    \">>\" / rows redraw off, round by round:", presses, yardsticks);
    printf("  100 such rows into a visible report list view, redrawing as they go: %.1f ms\n", redrawing);
    double hook = Median(inside);
    printf("  by step (medians of the rounds; the steps replayed once alone on the picker's thread):\n");
    printf("    the press as the script sees it (SendMessage to the picker's thread)   %8.1f ms\n", median);
    printf("      inside the picker's window procedure (AddSelectedDesigns)            %8.1f ms\n", hook);
    printf("      the common dialog and the message round trip around it               %8.1f ms\n", median - hook);
    printf("    reading the selection, file name box (GetSelectedNames, first pass)    %8.2f ms\n", steps.nameBox);
    printf("    reading the selection, file list (second pass; runs only after a failure) %5.2f ms\n",
           steps.fileList);
    printf("    reading the %d files (open, header, date, data size)                  %8.1f ms\n", DESIGNS,
           steps.files);
    printf("    inserting the %d rows of four columns, redraw paused                  %8.1f ms\n", DESIGNS,
           steps.rows);
    printf("    Send's state and the totals line after each design (%d x ShowTotals)  %8.1f ms\n", DESIGNS,
           steps.totals);
    printf("    \">>\" again over the %d listed designs (rows read once, %d duplicate tests) %5.1f ms\n", DESIGNS,
           DESIGNS, Median(again));
    printf("    one read of the sizes of %d rows (UpdateTotals); before, every design read all rows twice:\n"
           "      %.2f ms, so about %.0f ms for %d designs\n",
           DESIGNS, steps.fullRead, steps.fullRead * DESIGNS, DESIGNS);  // two reads of half the rows on average
}

// ---- the machine design list ----

INT_PTR CALLBACK DesignListDlgProc(HWND dialog, UINT message, WPARAM, LPARAM lParam)
{
    if (message != WM_NOTIFY)
        return FALSE;
    OnDesignListNotify(g_receiveSide, dialog, reinterpret_cast<NMHDR *>(lParam));
    return TRUE;
}

// The directory information of `count` designs as the link library writes it, stored in no
// order: names of 8 to 30 bytes in mixed case.
void WriteDirectoryFile(int count)
{
    std::string bytes(1, (char)(count >> 8));
    bytes += (char)(count & 0xFF);
    uint32_t seed = 4321;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u, seed >> 8; };
    for (int i = 0; i < count; ++i) {
        std::string name = (next() % 3 ? "design" : "Rose ") + std::to_string(next() % 100000);
        name += std::string(next() % 16, (char)('a' + next() % 26)) + (next() % 4 ? ".vbd" : ".PTN");
        bytes += (char)name.size();
        bytes += name;
    }
    char path[MAX_PATH];
    CopyTempFilePath(DIRECTORY_FILE, path);
    designgen::WriteDesignFile(path, std::vector<char>(bytes.begin(), bytes.end()));
}

void PumpMessages()
{
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// The list of Receive Designs with 255 stored designs: from the directory information file
// read to the list filled, sorted, counted and painted, as a reload does after its upload.
void MachineDesignList()
{
    const int DESIGNS = 255, ROUNDS = 15;
    // The list is one of the dialog's tools, as in Receive Designs: whatever the tooltip
    // hooks into its window procedure runs for every message the list takes.
    static const ToolTipEntry TIPS[] = {{IDC_DESIGN_LIST, "Designs in Loomstar"}, {-1, NULL}};
    BeginDesignListSide(g_receiveSide, TIPS);
    HWND dialog =
        CreateDialogParamA(g_moduleInstance, MAKEINTRESOURCEA(IDD_RECEIVE_DESIGNS), NULL, DesignListDlgProc, 0);
    ShowWindow(dialog, SW_SHOW);
    UpdateWindow(dialog);
    CreatePreviewSurface(dialog);
    WriteDirectoryFile(DESIGNS);
    InitDesignList(g_receiveSide, dialog);
    PumpMessages();
    HWND list = g_receiveSide.listView;
    // Yardstick: the same number of one-column rows into the same list, redraw off, right
    // after each round (the next round's fill clears them again).
    auto bareRows = [&] {
        double start = Milliseconds();
        SendMessageA(list, WM_SETREDRAW, FALSE, 0);
        SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
        for (int i = 0; i < DESIGNS; ++i) {
            char name[16];
            snprintf(name, sizeof name, "d%03d.vbd", i);
            LVITEMA item = {};
            item.mask = LVIF_TEXT;
            item.iItem = i;
            item.pszText = name;
            SendMessageA(list, LVM_INSERTITEMA, 0, (LPARAM)&item);
        }
        SendMessageA(list, WM_SETREDRAW, TRUE, 0);
        return Milliseconds() - start;
    };
    std::vector<double> whole, fill, count, paint, bare;
    int items = 0;
    for (int round = 0; round < ROUNDS; ++round) {
        WriteDirectoryFile(DESIGNS);
        double start = Milliseconds();
        ClearPreview(dialog);
        FillDesignList(g_receiveSide, dialog);
        double filled = Milliseconds();
        RefreshDesignSelection(g_receiveSide, dialog);
        double counted = Milliseconds();
        UpdateWindow(list);
        double shown = Milliseconds();
        whole.push_back(shown - start);
        fill.push_back(filled - start);
        count.push_back(counted - filled);
        paint.push_back(shown - counted);
        items = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
        PumpMessages();
        bare.push_back(bareRows());
        PumpMessages();
    }
    // "Select All" over the full list: every tick makes the list notify an item change.
    WriteDirectoryFile(DESIGNS);
    FillDesignList(g_receiveSide, dialog);
    RefreshDesignSelection(g_receiveSide, dialog);
    PumpMessages();
    double allStart = Milliseconds();
    SetAllDesignChecks(g_receiveSide, 1);
    RefreshDesignSelection(g_receiveSide, dialog);
    UpdateWindow(list);
    double selectAll = Milliseconds() - allStart;
    DeletePreviewSurface();
    DestroyWindow(dialog);
    EndDesignListSide(g_receiveSide);
    double median = Median(whole);
    printf("\nmachine design list of Receive Designs, %d stored designs, %d rounds (goal: <= 50 ms):\n", items,
           ROUNDS);
    printf("  directory file read to the list filled, sorted, counted and painted: median %.1f ms, slowest %.1f ms\n",
           median, *std::max_element(whole.begin(), whole.end()));
    printf("    read, sort and fill %.1f ms, count and item data %.1f ms, paint %.1f ms\n", Median(fill),
           Median(count), Median(paint));
    printf("  yardstick: %d one-column rows into the same list, redraw off, after each round: median %.1f ms"
           " (%.1f - %.1f)\n",
           DESIGNS, Median(bare), *std::min_element(bare.begin(), bare.end()),
           *std::max_element(bare.begin(), bare.end()));
    PrintRatios("    list / rows, round by round:", whole, bare);
    printf("  \"Select All\" over the %d designs, ticks to label and list painted: %.1f ms\n", items, selectAll);
}

// ---- the user interface during a transfer ----

enum { WM_PING = WM_APP + 78, PING_MAX = 4096 };
double g_pingPosted[PING_MAX], g_pingHandled[PING_MAX];

INT_PTR CALLBACK PingDlgProc(HWND, UINT message, WPARAM wParam, LPARAM)
{
    if (message != WM_PING || wParam >= PING_MAX)
        return FALSE;
    g_pingHandled[wParam] = Milliseconds();
    return TRUE;
}

struct Transfer {
    double seconds;
    int calls;          // progress callbacks made
    bool callbacks;     // false: the same transfer time without any callback (the yardstick)
    volatile bool done;
};

// The link library's part: the send progress callback 1,000 times a second for the
// transfer's length, 100 designs of 50 steps each.
DWORD WINAPI LinkThread(LPVOID param)
{
    Transfer &t = *static_cast<Transfer *>(param);
    const int CALLS = (int)(t.seconds * 1000), DESIGNS = 100;
    double start = Milliseconds();
    for (int i = 0; i < CALLS; ++i) {
        while (Milliseconds() < start + i)
            Sleep(1);
        if (t.callbacks)
            SendProgressCallback((DWORD)(i * DESIGNS / CALLS), DESIGNS, (DWORD)(i + 1), (DWORD)CALLS);
        ++t.calls;
    }
    t.done = true;
    return 0;
}

// A message posted to the dialog every 10 ms by another thread, and when the dialog's
// thread handled it.
DWORD WINAPI PingThread(LPVOID param)
{
    std::pair<HWND, Transfer *> &what = *static_cast<std::pair<HWND, Transfer *> *>(param);
    for (int i = 0; i < PING_MAX && !what.second->done; ++i) {
        g_pingHandled[i] = 0;
        g_pingPosted[i] = Milliseconds();
        PostMessageA(what.first, WM_PING, i, 0);
        Sleep(10);
    }
    return 0;
}

struct Latencies {
    double p50, p99, max;
    int count, calls;
    double seconds;
};

Latencies TransferWithPings(bool callbacks)
{
    HWND dialog = CreateDialogParamA(g_moduleInstance, MAKEINTRESOURCEA(IDD_SEND_DESIGNS), NULL, PingDlgProc, 0);
    ShowWindow(dialog, SW_SHOW);
    UpdateWindow(dialog);
    SendDlgItemMessageA(dialog, IDC_SEND_PROGRESS, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    g_sendProgressTarget = dialog;
    Transfer transfer = {5.0, 0, callbacks, false};
    std::pair<HWND, Transfer *> pingWhat(dialog, &transfer);
    double start = Milliseconds();
    HANDLE link = CreateThread(NULL, 0, LinkThread, &transfer, 0, NULL);
    HANDLE ping = CreateThread(NULL, 0, PingThread, &pingWhat, 0, NULL);
    HANDLE threads[] = {link, ping};
    while (WaitForMultipleObjects(2, threads, TRUE, 0) == WAIT_TIMEOUT) {
        MsgWaitForMultipleObjects(2, threads, FALSE, 100, QS_ALLINPUT);
        PumpMessages();
    }
    double seconds = (Milliseconds() - start) / 1000;
    PumpMessages();
    CloseHandle(link);
    CloseHandle(ping);
    std::vector<double> waits;
    for (int i = 0; i < PING_MAX && g_pingPosted[i] > 0 && g_pingPosted[i] < start + seconds * 1000; ++i)
        waits.push_back(g_pingHandled[i] > 0 ? g_pingHandled[i] - g_pingPosted[i] : seconds * 1000);
    std::fill(g_pingPosted, g_pingPosted + PING_MAX, 0.0);
    g_sendProgressTarget = NULL;
    DestroyWindow(dialog);
    std::sort(waits.begin(), waits.end());
    Latencies l = {};
    l.count = (int)waits.size();
    if (!waits.empty()) {
        l.p50 = waits[waits.size() / 2];
        l.p99 = waits[std::min(waits.size() - 1, waits.size() * 99 / 100)];
        l.max = waits.back();
    }
    l.calls = transfer.calls;
    l.seconds = seconds;
    return l;
}

void ProgressResponsiveness()
{
    Latencies idle = TransferWithPings(false), busy = TransferWithPings(true);
    printf("\nthe Send Designs dialog during a 5-second transfer, the progress callback 1,000 times a second\n"
           "(a message posted to the dialog every 10 ms; goal: handled within 50 ms at the 99th percentile):\n");
    printf("  %d callbacks in %.1f s: %d messages, waits p50 %.2f ms, p99 %.2f ms, max %.2f ms\n", busy.calls,
           busy.seconds, busy.count, busy.p50, busy.p99, busy.max);
    printf("  yardstick, the same without callbacks:  %d messages, waits p50 %.2f ms, p99 %.2f ms, max %.2f ms\n",
           idle.count, idle.p50, idle.p99, idle.max);
}

}  // namespace

// With arguments, only the parts named: preview, picker, list, progress.
int main(int argc, char **argv)
{
    g_moduleInstance = GetModuleHandleA(NULL);
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES | ICC_ANIMATE_CLASS};
    InitCommonControlsEx(&icc);
    CreateDirectoryA((uidrive::ExeDir() + "bench").c_str(), NULL);
    auto wanted = [&](const char *part) {
        if (argc < 2)
            return true;
        for (int i = 1; i < argc; ++i)
            if (strcmp(argv[i], part) == 0)
                return true;
        return false;
    };
    if (wanted("preview"))
        PreviewPaint();
    if (wanted("picker"))
        PickerAdd();
    if (wanted("list"))
        MachineDesignList();
    if (wanted("progress"))
        ProgressResponsiveness();
    RemoveDirectoryA((uidrive::ExeDir() + "bench").c_str());
    return 0;
}
