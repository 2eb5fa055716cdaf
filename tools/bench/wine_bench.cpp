// Timed loops under Wine (not a test): the full preview paint of a 65,535-stitch design
// against a bare BitBlt of the same surface and against the same paint with a LineTo per
// stitch record, and ">>" in the design picker over 100 selected designs.
//   tools/wine-run build/win32/bin/wine_bench.exe
// Built from the module's code and resources; the program stands in for the host.
#include <windows.h>
#include <commctrl.h>

#include <stdio.h>

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
#include "frame/module.h"
#include "picker_res.h"
#include "resource.h"
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

std::string ExeDir()
{
    char path[MAX_PATH];
    GetModuleFileNameA(NULL, path, MAX_PATH);
    std::string dir = path;
    return dir.substr(0, dir.rfind('\\') + 1);
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
    std::string path = ExeDir() + "bench\\large.vbd";
    std::vector<char> bytes = designgen::MakeDesign({65535, 2, {10, 76, 37, 45, 8, 29}});
    designgen::WriteDesignFile(path, bytes);
    HWND dialog = CreateDialogParamA(g_moduleInstance, MAKEINTRESOURCEA(IDD_RECEIVE_DESIGNS), NULL, QuietDlgProc, 0);
    ShowWindow(dialog, SW_SHOW);
    UpdateWindow(dialog);
    CreatePreviewSurface(dialog);

    double paint = BestMean([&] { DrawDesignPreview(dialog, path.c_str()); }, 20);
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
    double lineTo = BestMean([&] { DrawWithLineToPerRecord(dialog, path.c_str()); }, 20);
    DesignView view;
    ReadDesignView((const uint8_t *)bytes.data(), bytes.size(), &view);
    double walk = BestMean([&] {
        NoPen pen;
        WalkStitches(view, 93, 124, pen);
    }, 20);
    printf("preview paint, 65,535 stitches (DrawDesignPreview, file read included): %8.3f ms\n", paint);
    printf("bare BitBlt of the same surface onto the box (ShowPreview):             %8.3f ms   paint / BitBlt = %.0f\n",
           blit, paint / blit);
    printf("bare BitBlt of the same surface into a memory bitmap:                   %8.3f ms   paint / BitBlt = %.0f\n",
           memoryBlit, paint / memoryBlit);
    printf("the same paint with a LineTo per stitch record:                         %8.3f ms   paint / LineTo paint = %.2f\n",
           lineTo, paint / lineTo);
    printf("  the same paint drawing no line (file read, fills, walk, copy):        %8.3f ms   lines alone: %.2f\n",
           noLines, (paint - noLines) / (lineTo - noLines));
    printf("  of which the stitch walk alone (no drawing):                          %8.3f ms\n", walk);

    DeletePreviewSurface();
    DestroyWindow(dialog);
    DeleteFileA(path.c_str());
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
    char name[] = "d000.vbd", size[] = "12,345", date[] = "2024/01/02 03:04", path[] = "Z:\\designs\\d000.vbd";
    double start = Milliseconds();
    if (!redraw)
        SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    for (int i = 0; i < 100; ++i) {
        LVITEMA item = {};
        item.mask = LVIF_TEXT;
        item.iItem = i;
        item.pszText = name;
        int at = (int)SendMessageA(list, LVM_INSERTITEMA, 0, (LPARAM)&item);
        char *texts[] = {size, date, path};
        for (int c = 1; c < 4; ++c) {
            item.iSubItem = c;
            item.pszText = texts[c - 1];
            SendMessageA(list, LVM_SETITEMTEXTA, at, (LPARAM)&item);
        }
    }
    if (!redraw)
        SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    double took = Milliseconds() - start;
    DestroyWindow(list);
    return took;
}

DWORD WINAPI RunScript(LPVOID script)
{
    (*static_cast<std::function<void()> *>(script))();
    return 0;
}

// ">>" over 100 designs selected in the common dialog's file list, timed on the script's
// thread around the command sent to the picker; "All Clear" between the rounds.
void PickerAdd()
{
    const int DESIGNS = 100, ROUNDS = 10;
    std::string folder = ExeDir() + "bench\\designs";
    CreateDirectoryA(folder.c_str(), NULL);
    for (int i = 0; i < DESIGNS; ++i) {
        char name[32];
        snprintf(name, sizeof name, "\\d%03d.vbd", i);
        designgen::WriteDesignFile(folder + name, designgen::MakeDesign({3000 + 97 * i, (uint32_t)(i % 3)}));
    }
    std::vector<double> times;
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
            LVITEMA all = {};
            all.stateMask = all.state = LVIS_SELECTED;
            SendMessageA(files, LVM_SETITEMSTATE, (WPARAM)-1, (LPARAM)&all);
            HWND list = GetDlgItem(child, IDC_PICKER_LIST);
            auto press = [&](int id) {
                SendMessageA(child, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(child, id));
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
                double start = Milliseconds();
                press(IDC_PICKER_ADD);
                times.push_back(Milliseconds() - start);
                rows = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
                press(IDC_PICKER_CLEAR_ALL);
            }
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
    if (times.empty() || rows != DESIGNS) {
        printf("\">>\" over %d selected designs: failed (%d rows)\n", DESIGNS, rows);
        return;
    }
    std::sort(times.begin(), times.end());
    double median = (times[ROUNDS / 2 - 1] + times[ROUNDS / 2]) / 2;
    printf("\">>\" over %d selected designs in the picker: median %.1f ms, best %.1f ms of %d  (%.2f ms per design)\n",
           DESIGNS, median, times[0], ROUNDS, median / DESIGNS);

    // What of it is the module's reading of the files: open, header, date, design data size.
    double start = Milliseconds();
    for (int i = 0; i < DESIGNS; ++i) {
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
    printf("  of which the module's reading of the %d files (open, header, date, data size): %.1f ms\n", DESIGNS,
           Milliseconds() - start);
    double redrawing = 1e300, quiet = 1e300;
    for (int r = 0; r < 5; ++r) {
        redrawing = std::min(redrawing, InsertRows(true));
        quiet = std::min(quiet, InsertRows(false));
    }
    printf("  yardstick: 100 such rows into a visible report list view: %.1f ms; with WM_SETREDRAW off: %.1f ms\n",
           redrawing, quiet);
    for (int i = 0; i < DESIGNS; ++i) {
        char name[32];
        snprintf(name, sizeof name, "\\d%03d.vbd", i);
        DeleteFileA((folder + name).c_str());
    }
    RemoveDirectoryA(folder.c_str());
}

}  // namespace

int main()
{
    g_moduleInstance = GetModuleHandleA(NULL);
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES | ICC_ANIMATE_CLASS};
    InitCommonControlsEx(&icc);
    CreateDirectoryA((ExeDir() + "bench").c_str(), NULL);
    PreviewPaint();
    PickerAdd();
    RemoveDirectoryA((ExeDir() + "bench").c_str());
    return 0;
}
