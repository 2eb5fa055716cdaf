#include "design/preview.h"

#include "design/design_file.h"
#include "design/stitch_walk.h"

static HDC g_previewDC;
static HBITMAP g_previewBitmap;

// The box's outer size: W and H; its client area is (W - 6) x (H - 6).
static HWND PreviewBox(HWND dialog, int *outerWidth, int *outerHeight)
{
    HWND box = GetDlgItem(dialog, IDC_PREVIEW_BOX);
    RECT r = {};
    GetWindowRect(box, &r);
    *outerWidth = r.right - r.left;
    *outerHeight = r.bottom - r.top;
    return box;
}

void CreatePreviewSurface(HWND dialog)
{
    DeletePreviewSurface();
    int outerWidth, outerHeight;
    HWND box = PreviewBox(dialog, &outerWidth, &outerHeight);
    HDC boxDC = GetDC(box);
    g_previewDC = CreateCompatibleDC(boxDC);
    g_previewBitmap = CreateCompatibleBitmap(boxDC, outerWidth - 6, outerHeight - 6);
    if (g_previewDC && g_previewBitmap)
        SelectObject(g_previewDC, g_previewBitmap);
    ReleaseDC(box, boxDC);
}

void DeletePreviewSurface()
{
    if (g_previewDC)
        DeleteDC(g_previewDC);
    if (g_previewBitmap)
        DeleteObject(g_previewBitmap);
    g_previewDC = NULL;
    g_previewBitmap = NULL;
}

HDC PreviewSurfaceDC()
{
    return g_previewDC;
}

void ShowPreview(HWND dialog)
{
    if (!g_previewDC)
        return;
    int outerWidth, outerHeight;
    HWND box = PreviewBox(dialog, &outerWidth, &outerHeight);
    HDC boxDC = GetDC(box);
    BitBlt(boxDC, 0, 0, outerWidth, outerHeight, g_previewDC, 0, 0, SRCCOPY);
    ReleaseDC(box, boxDC);
}

void ClearPreview(HWND dialog)
{
    if (!g_previewDC)
        return;
    int outerWidth, outerHeight;
    PreviewBox(dialog, &outerWidth, &outerHeight);
    HGDIOBJ oldBrush = SelectObject(g_previewDC, GetStockObject(LTGRAY_BRUSH));
    PatBlt(g_previewDC, 0, 0, outerWidth - 6, outerHeight - 6, PATCOPY);
    SelectObject(g_previewDC, oldBrush);
    SetDlgItemTextA(dialog, IDC_HOOP_LABEL, " ");
    ShowPreview(dialog);
}

namespace {

// Replays the walk on the surface. Lines between two pen moves are gathered into one
// Polyline: far cheaper than a LineTo per record, and the same pixels, since each segment
// leaves out its last pixel either way and a segment of no length draws nothing. The point buffer comes from the drawing's heap;
// a full buffer is drawn and continues from its last point.
class SurfacePen : public PenSink {
public:
    SurfacePen(HDC dc, POINT *points, int capacity) : dc_(dc), points_(points), capacity_(capacity) {}

    void Pen(ThreadColour colour) override
    {
        Flush();
        if (current_) {
            SelectObject(dc_, replaced_);
            DeleteObject(current_);
        }
        current_ = CreatePen(PS_SOLID, 0, colour);
        HGDIOBJ previous = current_ ? SelectObject(dc_, current_) : NULL;
        if (!replaced_)
            replaced_ = previous;
    }
    void Move(int x, int y) override
    {
        Flush();
        points_[0] = {x, y};
        count_ = 1;
    }
    void Line(int x, int y) override
    {
        // A line that stays on its pixel draws nothing; at preview scale many stitches do.
        if (count_ > 0 && points_[count_ - 1].x == x && points_[count_ - 1].y == y)
            return;
        if (count_ == capacity_)
            Flush();
        points_[count_++] = {x, y};
    }
    // Draws what is gathered and keeps the pen's point as the start of the next run.
    void Flush()
    {
        if (count_ >= 2)
            Polyline(dc_, points_, count_);
        if (count_ > 0) {
            points_[0] = points_[count_ - 1];
            count_ = 1;
        }
    }
    // Puts the surface's own pen back and deletes ours.
    void Release()
    {
        if (replaced_)
            SelectObject(dc_, replaced_);
        if (current_)
            DeleteObject(current_);
        current_ = NULL;
    }

private:
    HDC dc_;
    POINT *points_;
    int capacity_;
    int count_ = 0;
    HPEN current_ = NULL;
    HGDIOBJ replaced_ = NULL;
};

enum { RUN_POINTS_MAX = 4096 };

// What a drawing reads before it touches the screen; all of it lives in `heap`.
struct LoadedDesign {
    DesignView view;
    POINT *points;
    int pointCapacity;
};

// Reads the whole file into the heap in one call; the header, colour table and stitch
// data are then views into it, checked by ReadDesignView as the renderer's rules demand.
static bool LoadDesign(HANDLE heap, const char *path, LoadedDesign *design)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD high = 0, got = 0;
    DWORD size = GetFileSize(file, &high);
    BYTE *bytes = NULL;
    bool read = size != INVALID_FILE_SIZE && high == 0 &&
                (bytes = (BYTE *)HeapAlloc(heap, HEAP_ZERO_MEMORY, size ? size : 1)) != NULL &&
                ReadFile(file, bytes, size, &got, NULL) && got == size;
    CloseHandle(file);
    if (!read || !ReadDesignView(bytes, size, &design->view))
        return false;
    size_t capacity = design->view.stitchLength / 2 + 2;
    design->pointCapacity = capacity < RUN_POINTS_MAX ? (int)capacity : RUN_POINTS_MAX;
    design->points = (POINT *)HeapAlloc(heap, HEAP_ZERO_MEMORY, design->pointCapacity * sizeof(POINT));
    return design->points != NULL;
}

}  // namespace

int DrawDesignPreview(HWND dialog, const char *path)
{
    HANDLE heap = HeapCreate(0, 1024, 0);
    if (!heap)
        return 0;
    LoadedDesign design;
    int outerWidth, outerHeight;
    HWND box = PreviewBox(dialog, &outerWidth, &outerHeight);
    if (!LoadDesign(heap, path, &design) || !g_previewDC || !box) {
        HeapDestroy(heap);
        return 0;
    }

    HDC boxDC = GetDC(box);
    int width = outerWidth - 6, height = outerHeight - 6;
    RECT area = {0, 0, width, height};
    FillRect(boxDC, &area, (HBRUSH)GetStockObject(LTGRAY_BRUSH));
    FillRect(g_previewDC, &area, (HBRUSH)GetStockObject(LTGRAY_BRUSH));

    const Hoop &hoop = HoopFor(design.view.header.hoopCode);
    SetDlgItemTextA(dialog, IDC_HOOP_LABEL, hoop.label);
    DrawingAreaFor(hoop, outerWidth, outerHeight, &width, &height);

    SurfacePen pen(g_previewDC, design.points, design.pointCapacity);
    HGDIOBJ oldBrush = SelectObject(g_previewDC, GetStockObject(WHITE_BRUSH));
    PatBlt(g_previewDC, 0, 0, width, height, PATCOPY);
    WalkStitches(design.view, width, height, pen);
    pen.Flush();
    HeapDestroy(heap);

    BitBlt(boxDC, 0, 0, width, height, g_previewDC, 0, 0, SRCCOPY);
    pen.Release();
    SelectObject(g_previewDC, oldBrush);
    ReleaseDC(box, boxDC);
    return 1;
}
