// The preview renderer on a window of its own (a 1003 box of outer size 99 x 130 pixels and a
// 1026 label), the design file reading that needs a file system, and the sample designs' previews.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "design/design_io.h"
#include "design/preview.h"
#include "design/stitch_walk.h"
#include "designgen/design_writer.h"
#include "png_writer.h"
#include "vemb_helpers.h"

using namespace vt;
using namespace designgen;
using Pixels = std::vector<COLORREF>;

namespace {

const COLORREF WHITE = RGB(255, 255, 255), LIGHT_GREY = RGB(192, 192, 192);
const int BOX_W = 99, BOX_H = 130, CLIENT_W = 93, CLIENT_H = 124;

Pixels Read(HDC dc)
{
    Pixels p;
    for (int y = 0; y < CLIENT_H; ++y)
        for (int x = 0; x < CLIENT_W; ++x)
            p.push_back(GetPixel(dc, x, y));
    return p;
}

class Preview : public VembTest {
protected:
    void SetUp() override
    {
        VembTest::SetUp();
        // The owner window stands in for a dialog: the renderer finds its controls by id.
        box_ = CreateWindowExA(WS_EX_CLIENTEDGE, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_SUNKEN, 10, 10, BOX_W,
                               BOX_H, Owner(), (HMENU)IDC_PREVIEW_BOX, NULL, NULL);
        CreateWindowA("STATIC", "", WS_CHILD | WS_VISIBLE, 10, 150, BOX_W, 16, Owner(), (HMENU)IDC_HOOP_LABEL,
                      NULL, NULL);
        UpdateWindow(Owner());
        CreatePreviewSurface(Owner());
        ASSERT_NE(PreviewSurfaceDC(), nullptr);
    }
    void TearDown() override
    {
        DeletePreviewSurface();
        VembTest::TearDown();
    }
    std::string Write(const std::string &name, const std::vector<char> &bytes)
    {
        std::string path = In(name);
        EXPECT_TRUE(WriteFileBytes(path, bytes.data(), bytes.size()));
        return path;
    }
    int Draw(const std::vector<char> &bytes) { return DrawDesignPreview(Owner(), Write("d.vbd", bytes).c_str()); }
    std::string Label() const { return ControlText(Owner(), IDC_HOOP_LABEL); }
    static Pixels Surface() { return Read(PreviewSurfaceDC()); }
    // What the box shows on the screen, client area.
    Pixels Screen() const
    {
        HDC dc = GetDC(box_);
        Pixels p = Read(dc);
        ReleaseDC(box_, dc);
        return p;
    }
    HWND box_ = NULL;
};

// Normal and small hoops draw 93 x 99 pixels of white above a light grey strip; the large
// hoop fills the whole client area white; a stitch count of 1 draws no line. The box shows
// the surface.
TEST_F(Preview, HoopsDrawTheirAreaAndLabel)
{
    const struct {
        uint32_t hoop;
        const char *label;
        int whiteRows;
    } cases[] = {{0, "Normal Hoop", 99}, {1, "Small Hoop", 99}, {7, "Large Hoop", CLIENT_H}};
    for (const auto &c : cases) {
        DesignFile blank;  // a stitch count of 1: no line
        blank.stitchCount = 1;
        blank.hoopCode = c.hoop;
        blank.colours = {10};
        blank.stitchData = StitchData().Stitch(100, 100).End().Bytes();
        ASSERT_EQ(Draw(AssembleDesign(blank)), 1);
        EXPECT_EQ(Label(), c.label);
        Pixels p = Surface(), expected;
        for (int y = 0; y < CLIENT_H; ++y)
            expected.insert(expected.end(), CLIENT_W, y < c.whiteRows ? WHITE : LIGHT_GREY);
        EXPECT_TRUE(p == expected) << "hoop " << c.hoop;
        EXPECT_TRUE(Screen() == p) << "hoop " << c.hoop;
    }
    // Cleared: light grey and the label " "; ShowPreview copies the surface again over
    // whatever the box shows.
    ClearPreview(Owner());
    EXPECT_EQ(Label(), " ");
    EXPECT_TRUE(Surface() == Pixels(CLIENT_W * CLIENT_H, LIGHT_GREY));
    EXPECT_TRUE(Screen() == Surface());
    ASSERT_EQ(Draw(MakeDesign({2000, 2, {39, 7}})), 1);
    HDC dc = GetDC(box_);
    RECT all = {0, 0, CLIENT_W, CLIENT_H};
    FillRect(dc, &all, (HBRUSH)GetStockObject(BLACK_BRUSH));
    ReleaseDC(box_, dc);
    ASSERT_FALSE(Screen() == Surface());
    ShowPreview(Owner());
    EXPECT_TRUE(Screen() == Surface());
}

TEST_F(Preview, FailedDrawingChangesNothing)
{
    ASSERT_EQ(Draw(MakeDesign({800, 1, {22, 4}})), 1);
    const Pixels surface = Surface(), screen = Screen();
    const std::string label = Label();
    DWORD heaps = HeapCount();

    std::vector<char> good = MakeDesign({800, 7, {10}});
    std::vector<char> offsetBeyond = good, negativeCount = good;
    offsetBeyond[0] = offsetBeyond[1] = (char)0xFF;
    negativeCount[25] = (char)0x80;
    const struct {
        const char *what;
        std::vector<char> bytes;
    } cases[] = {{"shorter than the header", std::vector<char>(good.begin(), good.begin() + 100)},
                 {"stitch data offset beyond the end", offsetBeyond},
                 {"negative colour count", negativeCount},
                 {"colour table cut short", std::vector<char>(good.begin(), good.begin() + 118)},
                 {"empty file", {}}};
    for (const auto &c : cases) {
        EXPECT_EQ(Draw(c.bytes), 0) << c.what;
        EXPECT_EQ(Label(), label) << c.what;
        EXPECT_TRUE(Surface() == surface) << c.what;
        EXPECT_TRUE(Screen() == screen) << c.what;
    }
    EXPECT_EQ(DrawDesignPreview(Owner(), (WorkDir() + "\\missing.vbd").c_str()), 0);
    // The file is opened sharing nothing: one held open by someone else cannot be drawn.
    std::string path = Write("held.vbd", good);
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    EXPECT_EQ(DrawDesignPreview(Owner(), path.c_str()), 0);
    CloseHandle(held);
    EXPECT_TRUE(Surface() == surface);
    EXPECT_EQ(HeapCount(), heaps);
    EXPECT_EQ(DrawDesignPreview(Owner(), path.c_str()), 1);
    EXPECT_EQ(Label(), "Large Hoop");
}

// The renderer gathers lines into polylines; a plain LineTo per record in the walk's colours
// must give the same pixels, also across the renderer's point-buffer boundaries (runs of
// thousands of points). Drawing puts back the surface's pen and brush and leaves no heap.
struct LineToPen : PenSink {
    explicit LineToPen(HDC dc) : dc(dc) {}
    ~LineToPen() { DeleteObject(SelectObject(dc, GetStockObject(BLACK_PEN))); }
    void Pen(ThreadColour colour) override { DeleteObject(SelectObject(dc, CreatePen(PS_SOLID, 0, colour))); }
    void Move(int x, int y) override { MoveToEx(dc, x, y, NULL); }
    void Line(int x, int y) override { LineTo(dc, x, y); }
    HDC dc;
};

TEST_F(Preview, PolylinesGiveTheSamePixelsAsALineToPerRecord)
{
    // One colour, one unbroken run of about 6,000 lines, each on pixels of its own: a
    // serpentine of 70 rows of one-pixel stitches, so a line lost anywhere shows.
    DesignFile longRuns;
    longRuns.stitchCount = 30000;
    longRuns.colours = {12};
    StitchData data;
    for (int i = 0; i < 5; ++i)
        data.Move(-104, 104);  // to (30, 30), the top left
    for (int row = 0; row < 70; ++row) {
        for (int i = 0; i < 88; ++i)
            data.Stitch(row % 2 ? -12 : 12, 0);
        data.Stitch(0, -13);
    }
    longRuns.stitchData = data.End().Bytes();
    for (const std::vector<char> &bytes :
         {AssembleDesign(longRuns), MakeDesign({5000, 1, {10, 12, 22, 37}, 0, Motif::Spiral}),
          MakeDesign({65535, 2, {10, 76, 37, 45, 8, 29}})}) {  // dense: most lines paint nothing new
        HDC surface = PreviewSurfaceDC();
        HGDIOBJ pen = GetCurrentObject(surface, OBJ_PEN), brush = GetCurrentObject(surface, OBJ_BRUSH);
        DWORD heaps = HeapCount();
        ASSERT_EQ(Draw(bytes), 1);
        EXPECT_TRUE(GetCurrentObject(surface, OBJ_PEN) == pen && GetCurrentObject(surface, OBJ_BRUSH) == brush);
        EXPECT_EQ(HeapCount(), heaps);
        HDC dc = CreateCompatibleDC(PreviewSurfaceDC());
        HGDIOBJ oldBitmap = SelectObject(dc, CreateCompatibleBitmap(PreviewSurfaceDC(), CLIENT_W, CLIENT_H));
        DesignView view;
        ASSERT_TRUE(ReadDesignView((const uint8_t *)bytes.data(), bytes.size(), &view));
        int w, h;
        DrawingAreaFor(HoopFor(view.header.hoopCode), BOX_W, BOX_H, &w, &h);
        RECT all = {0, 0, CLIENT_W, CLIENT_H}, area = {0, 0, w, h};
        FillRect(dc, &all, (HBRUSH)GetStockObject(LTGRAY_BRUSH));
        FillRect(dc, &area, (HBRUSH)GetStockObject(WHITE_BRUSH));
        {
            LineToPen lines(dc);
            WalkStitches(view, w, h, lines);
        }
        EXPECT_TRUE(Read(dc) == Surface());
        DeleteObject(SelectObject(dc, oldBitmap));
        DeleteDC(dc);
    }
}

// Through a file handle: the data size leaves out what follows the end record and rewinds
// the file; a file shorter than the header reads as zeros beyond its end (our choice).
TEST_F(Preview, DesignDataSizeAndHeaderThroughAFileHandle)
{
    std::vector<char> trailing = MakeDesign({900, 0, {10}, 100}), cut = MakeDesign({40000, 1, {10}});
    cut.resize(30);
    const std::pair<std::vector<char>, DWORD> cases[] = {{trailing, (DWORD)trailing.size() - 100}, {cut, 30}};
    for (const auto &c : cases) {
        HANDLE file = CreateFileA(Write("d.vbd", c.first).c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
        SetFilePointer(file, 37, NULL, FILE_BEGIN);
        EXPECT_EQ(GetDesignDataSize(file, GetFileSize(file, NULL)), c.second);
        EXPECT_EQ(SetFilePointer(file, 0, NULL, FILE_CURRENT), 0u);
        DesignHeader h;
        EXPECT_TRUE(ReadDesignHeader(file, &h));
        EXPECT_EQ(h.stitchCount, c.second == 30 ? 0 : 900);
        CloseHandle(file);
    }
}

// Every sample design as the Receive Designs dialog's box (67 x 80 dialog units at 8 points)
// shows it, saved as build/win32/bin/previews/<design>.png: white and two thread colours at least.
TEST_F(Preview, EverySampleDesignIsDrawnAndSaved)
{
    const int w = 132 - 6, h = 160 - 6;
    DeletePreviewSurface();
    MoveWindow(box_, 10, 10, w + 6, h + 6, TRUE);
    CreatePreviewSurface(Owner());
    std::string folder = ExeDir() + "previews";
    CreateDirectoryA(folder.c_str(), NULL);
    for (const SampleDesign &sample : SampleDesigns()) {
        SCOPED_TRACE(sample.fileName);
        ASSERT_EQ(Draw(MakeDesign(sample.recipe)), 1);
        std::vector<uint8_t> rgb;
        std::set<COLORREF> colours;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                COLORREF c = GetPixel(PreviewSurfaceDC(), x, y);
                colours.insert(c);
                rgb.insert(rgb.end(), {GetRValue(c), GetGValue(c), GetBValue(c)});
            }
        EXPECT_TRUE(colours.count(WHITE) && colours.size() >= 3u) << colours.size() << " colours";
        std::string name = sample.fileName.substr(0, sample.fileName.rfind('.')) + ".png";
        EXPECT_TRUE(uidrive::WritePng(folder + "\\" + name, rgb, w, h));
    }
}

}  // namespace
