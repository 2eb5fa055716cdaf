#include "design/preview.h"

#include "design/design_file.h"
#include "design/stitch_walk.h"
#include "frame/handles.h"

#include <string.h>

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

// Where SurfacePen gathers its lines and marks the pixels it has painted; all of it comes
// from the drawing's heap.
struct PenBuffers {
    POINT *points;
    DWORD *counts;  // points of each polyline
    int pointCapacity, countCapacity;
    uint8_t *painted;  // one byte per pixel of the drawing area, its right and bottom edge included
    int paintedWidth, paintedHeight;
};

// Replays the walk on the surface. Lines are gathered into polylines, drawn together with
// PolyPolyline: far cheaper than a LineTo per record, and the same pixels, since each
// segment leaves out its last pixel either way and a segment of no length draws nothing.
// At preview scale most of a large design's stitches fall on pixels that its colour has
// already painted; a line whose every pixel is known to be painted in the current colour is
// left out. Known are the pixels of the lines any rasteriser draws alike: horizontal,
// vertical and diagonal ones (a one-pixel step draws its first pixel only); of other lines
// only the first pixel is counted. Such a line that goes on in the direction of the one
// before it lengthens that one: the pixels are the same. The buffers come from the drawing's
// heap; full buffers are drawn and the pen's point starts the next polyline.
class SurfacePen : public PenSink {
public:
    SurfacePen(HDC dc, const PenBuffers &buffers) : dc_(dc), b_(buffers) {}

    void Pen(ThreadColour colour) override
    {
        Flush();
        memset(b_.painted, 0, (size_t)b_.paintedWidth * b_.paintedHeight);
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
        open_ = false;
        at_ = {x, y};
    }
    void Line(int x, int y) override
    {
        POINT from = at_, to = {x, y};
        // A line that stays on its pixel draws nothing; at preview scale many stitches do.
        if (from.x == to.x && from.y == to.y)
            return;
        at_ = to;
        if (!Paint(from, to)) {
            open_ = false;  // nothing new: the next line starts a polyline of its own
            return;
        }
        // A line going on in the direction of the last one, both of known pixels, lengthens it.
        if (open_ && known_ && direction_ == lastDirection_) {
            b_.points[pointCount_ - 1] = to;
            return;
        }
        lastDirection_ = known_ ? direction_ : 0;
        if (!open_ && polylines_ == b_.countCapacity)
            Flush();
        if (pointCount_ + (open_ ? 1 : 2) > b_.pointCapacity) {
            Flush();
        }
        if (!open_) {
            b_.counts[polylines_++] = 1;
            b_.points[pointCount_++] = from;
            open_ = true;
        }
        b_.points[pointCount_++] = to;
        ++b_.counts[polylines_ - 1];
    }
    // Draws what is gathered; the pen's point stays where the walk left it.
    void Flush()
    {
        if (polylines_ > 0)
            PolyPolyline(dc_, b_.points, b_.counts, polylines_);
        polylines_ = 0;
        pointCount_ = 0;
        open_ = false;
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
    // Marks the pixels the line from `from` to `to` paints; false when it paints none that
    // were not painted already in this colour.
    bool Paint(POINT from, POINT to)
    {
        int dx = to.x - from.x, dy = to.y - from.y;
        int ax = dx < 0 ? -dx : dx, ay = dy < 0 ? -dy : dy;
        known_ = ax == 0 || ay == 0 || ax == ay;
        if (!known_) {
            Mark(from.x, from.y);  // the first pixel; where the others fall is the rasteriser's
            return true;
        }
        int steps = ax > ay ? ax : ay, sx = (dx > 0) - (dx < 0), sy = (dy > 0) - (dy < 0);
        direction_ = 1 + (sx + 1) + 3 * (sy + 1);  // 1..9, never 0
        bool fresh = false;
        for (int k = 0; k < steps; ++k)
            fresh |= Mark(from.x + k * sx, from.y + k * sy);
        return fresh;
    }
    // True when the pixel was not marked before (or lies outside the marks).
    bool Mark(int x, int y)
    {
        if (x < 0 || y < 0 || x >= b_.paintedWidth || y >= b_.paintedHeight)
            return true;
        uint8_t &cell = b_.painted[y * b_.paintedWidth + x];
        bool fresh = cell == 0;
        cell = 1;
        return fresh;
    }

    HDC dc_;
    PenBuffers b_;
    POINT at_ = {0, 0};
    bool open_ = false;
    bool known_ = false;                      // the last line's pixels are known
    int direction_ = 0, lastDirection_ = 0;  // of the last line painted, of the polyline's last line (0: unknown)
    int pointCount_ = 0, polylines_ = 0;
    HPEN current_ = NULL;
    HGDIOBJ replaced_ = NULL;
};

enum { RUN_POINTS_MAX = 4096 };

// What a drawing reads before it touches the screen; all of it lives in `heap`.
struct LoadedDesign {
    DesignView view;
    PenBuffers pen;
};

// Reads the whole file into the heap in one call; the header, colour table and stitch
// data are then views into it, checked by ReadDesignView as the renderer's rules demand.
static bool LoadDesign(HANDLE heap, const char *path, int width, int height, LoadedDesign *design)
{
    OwnedHandle file(CreateFileA(path, GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL));
    if (!file)
        return false;
    DWORD high = 0, got = 0;
    DWORD size = GetFileSize(file.Get(), &high);
    BYTE *bytes = NULL;
    bool read = size != INVALID_FILE_SIZE && high == 0 &&
                (bytes = (BYTE *)HeapAlloc(heap, HEAP_ZERO_MEMORY, size ? size : 1)) != NULL &&
                ReadFile(file.Get(), bytes, size, &got, NULL) && got == size;
    file.Close();
    if (!read || !ReadDesignView(bytes, size, &design->view))
        return false;
    PenBuffers &pen = design->pen;
    size_t capacity = design->view.stitchLength / 2 + 2;
    pen.pointCapacity = capacity < RUN_POINTS_MAX ? (int)capacity : RUN_POINTS_MAX;
    pen.countCapacity = pen.pointCapacity / 2 + 1;
    DrawingAreaFor(HoopFor(design->view.header.hoopCode), width, height, &pen.paintedWidth, &pen.paintedHeight);
    // A box too small for a drawing area still gets one byte.
    pen.paintedWidth = pen.paintedWidth < 0 ? 1 : pen.paintedWidth + 1;
    pen.paintedHeight = pen.paintedHeight < 0 ? 1 : pen.paintedHeight + 1;
    pen.points = (POINT *)HeapAlloc(heap, HEAP_ZERO_MEMORY, pen.pointCapacity * sizeof(POINT));
    pen.counts = (DWORD *)HeapAlloc(heap, HEAP_ZERO_MEMORY, pen.countCapacity * sizeof(DWORD));
    pen.painted = (uint8_t *)HeapAlloc(heap, HEAP_ZERO_MEMORY, (size_t)pen.paintedWidth * pen.paintedHeight);
    return pen.points && pen.counts && pen.painted;
}

}  // namespace

int DrawDesignPreview(HWND dialog, const char *path)
{
    OwnedHeap heap(HeapCreate(0, 1024, 0));
    if (!heap)
        return 0;
    LoadedDesign design;
    int outerWidth, outerHeight;
    HWND box = PreviewBox(dialog, &outerWidth, &outerHeight);
    if (!box || !LoadDesign(heap.Get(), path, outerWidth, outerHeight, &design) || !g_previewDC)
        return 0;

    HDC boxDC = GetDC(box);
    int width = outerWidth - 6, height = outerHeight - 6;
    RECT area = {0, 0, width, height};
    FillRect(boxDC, &area, (HBRUSH)GetStockObject(LTGRAY_BRUSH));
    FillRect(g_previewDC, &area, (HBRUSH)GetStockObject(LTGRAY_BRUSH));

    const Hoop &hoop = HoopFor(design.view.header.hoopCode);
    SetDlgItemTextA(dialog, IDC_HOOP_LABEL, hoop.label);
    DrawingAreaFor(hoop, outerWidth, outerHeight, &width, &height);

    SurfacePen pen(g_previewDC, design.pen);
    HGDIOBJ oldBrush = SelectObject(g_previewDC, GetStockObject(WHITE_BRUSH));
    PatBlt(g_previewDC, 0, 0, width, height, PATCOPY);
    WalkStitches(design.view, width, height, pen);
    pen.Flush();

    BitBlt(boxDC, 0, 0, width, height, g_previewDC, 0, 0, SRCCOPY);
    pen.Release();
    SelectObject(g_previewDC, oldBrush);
    ReleaseDC(box, boxDC);
    return 1;
}
