// The preview renderer on a dialog of its own (a 1003 box of outer size 99 x 130 pixels and
// a 1026 label), and the design file reading that needs a file system.
#include <windows.h>
#include <stdio.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "design/design_io.h"
#include "design/palette.h"
#include "design/preview.h"
#include "design/stitch_walk.h"
#include "designgen/design_writer.h"
#include "vemb_fixture.h"

using namespace vt;
using namespace designgen;

namespace {

const COLORREF WHITE = RGB(255, 255, 255), LIGHT_GREY = RGB(192, 192, 192);
const int BOX_W = 99, BOX_H = 130, CLIENT_W = 93, CLIENT_H = 124;

// ---- the test dialog, built in memory ----
void Align(std::vector<WORD> &t, size_t bytes)
{
    while (t.size() * 2 % bytes)
        t.push_back(0);
}
void PutDword(std::vector<WORD> &t, DWORD v)
{
    t.push_back(LOWORD(v));
    t.push_back(HIWORD(v));
}
void PutText(std::vector<WORD> &t, const char *s)
{
    while (*s)
        t.push_back((WORD)(unsigned char)*s++);
    t.push_back(0);
}
void PutStatic(std::vector<WORD> &t, DWORD style, DWORD exStyle, short x, short y, short cx, short cy, WORD id)
{
    Align(t, 4);
    PutDword(t, style | WS_CHILD | WS_VISIBLE);
    PutDword(t, exStyle);
    for (short v : {x, y, cx, cy})
        t.push_back((WORD)v);
    t.push_back(id);
    t.push_back(0xFFFF);  // predefined class: static
    t.push_back(0x0082);
    PutText(t, "");
    t.push_back(0);  // no creation data
}
std::vector<WORD> PreviewDialogTemplate()
{
    std::vector<WORD> t;
    PutDword(t, DS_SETFONT | WS_POPUP | WS_CAPTION | WS_VISIBLE);
    PutDword(t, 0);
    t.push_back(2);  // controls
    for (short v : {10, 10, 120, 120})
        t.push_back((WORD)v);
    t.push_back(0);  // no menu
    t.push_back(0);  // standard class
    PutText(t, "Preview Test");
    t.push_back(8);
    PutText(t, "MS Shell Dlg");
    PutStatic(t, SS_SUNKEN, WS_EX_CLIENTEDGE, 7, 7, 67, 80, PREVIEW_BOX_CONTROL);
    PutStatic(t, SS_LEFT, 0, 7, 90, 67, 8, HOOP_LABEL_CONTROL);
    return t;
}
INT_PTR CALLBACK PreviewDialogProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;
}

COLORREF Pixel(HDC dc, int x, int y)
{
    return GetPixel(dc, x, y);
}

std::vector<COLORREF> Pixels(HDC dc)
{
    std::vector<COLORREF> p;
    for (int y = 0; y < CLIENT_H; ++y)
        for (int x = 0; x < CLIENT_W; ++x)
            p.push_back(GetPixel(dc, x, y));
    return p;
}

// Writes the surface as a 24-bit BMP.
bool SaveSurface(HDC dc, const std::string &path)
{
    HBITMAP bitmap = (HBITMAP)GetCurrentObject(dc, OBJ_BITMAP);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = CLIENT_W;
    info.bmiHeader.biHeight = CLIENT_H;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    DWORD stride = (CLIENT_W * 3 + 3) & ~3u;
    std::vector<char> bits(stride * CLIENT_H);
    if (GetDIBits(dc, bitmap, 0, CLIENT_H, bits.data(), &info, DIB_RGB_COLORS) != CLIENT_H)
        return false;
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info.bmiHeader;
    file.bfSize = file.bfOffBits + (DWORD)bits.size();
    std::vector<char> out((char *)&file, (char *)&file + sizeof file);
    out.insert(out.end(), (char *)&info.bmiHeader, (char *)&info.bmiHeader + sizeof info.bmiHeader);
    out.insert(out.end(), bits.begin(), bits.end());
    return WriteFileBytes(path, out.data(), out.size());
}

class Preview : public VembTest {
protected:
    void SetUp() override
    {
        VembTest::SetUp();
        std::vector<WORD> t = PreviewDialogTemplate();
        dialog_ = CreateDialogIndirectParamA(GetModuleHandleA(NULL), (LPCDLGTEMPLATEA)t.data(), Owner(),
                                             PreviewDialogProc, 0);
        ASSERT_NE(dialog_, nullptr);
        box_ = GetDlgItem(dialog_, PREVIEW_BOX_CONTROL);
        SetWindowPos(box_, NULL, 0, 0, BOX_W, BOX_H, SWP_NOMOVE | SWP_NOZORDER);
        UpdateWindow(dialog_);
        CreatePreviewSurface(dialog_);
        ASSERT_NE(PreviewSurfaceDC(), nullptr);
    }
    void TearDown() override
    {
        DeletePreviewSurface();
        if (dialog_)
            DestroyWindow(dialog_);
        VembTest::TearDown();
    }
    std::string Write(const std::string &name, const std::vector<char> &bytes)
    {
        std::string path = WorkDir() + "\\" + name;
        EXPECT_TRUE(WriteFileBytes(path, bytes.data(), bytes.size()));
        return path;
    }
    int Draw(const std::string &name, const std::vector<char> &bytes)
    {
        return DrawDesignPreview(dialog_, Write(name, bytes).c_str());
    }
    std::string Label() const { return ControlText(dialog_, HOOP_LABEL_CONTROL); }
    HDC Surface() const { return PreviewSurfaceDC(); }
    // What the box shows on the screen, client area.
    std::vector<COLORREF> BoxPixels() const
    {
        HDC dc = GetDC(box_);
        std::vector<COLORREF> p = Pixels(dc);
        ReleaseDC(box_, dc);
        return p;
    }
    HWND dialog_ = NULL;
    HWND box_ = NULL;
};

DesignFile Blank(uint32_t hoop)
{
    DesignFile f;
    f.stitchCount = 1;
    f.hoopCode = hoop;
    f.colours = {10};
    f.stitchData = StitchData().Stitch(100, 100).End().Bytes();
    return f;
}

TEST_F(Preview, BoxHasTheClientSizeTheSurfaceAssumes)
{
    RECT client;
    GetClientRect(box_, &client);
    EXPECT_EQ(client.right, CLIENT_W);
    EXPECT_EQ(client.bottom, CLIENT_H);
    BITMAP bm = {};
    GetObject(GetCurrentObject(Surface(), OBJ_BITMAP), sizeof bm, &bm);
    EXPECT_EQ(bm.bmWidth, CLIENT_W);
    EXPECT_EQ(bm.bmHeight, CLIENT_H);
}

TEST_F(Preview, SquareHoopsDrawWhiteAboveAGreyStrip)
{
    for (uint32_t hoop : {0u, 1u}) {
        ASSERT_EQ(Draw("blank.vbd", AssembleDesign(Blank(hoop))), 1);
        EXPECT_EQ(Label(), hoop ? "Small Hoop" : "Normal Hoop");
        std::vector<COLORREF> p = Pixels(Surface());
        int wrong = 0;
        for (int y = 0; y < CLIENT_H; ++y)
            for (int x = 0; x < CLIENT_W; ++x)
                wrong += p[y * CLIENT_W + x] != (y < 99 ? WHITE : LIGHT_GREY);
        EXPECT_EQ(wrong, 0) << "hoop " << hoop;
        EXPECT_EQ(BoxPixels(), p) << "the box shows the surface";
    }
}

TEST_F(Preview, LargeHoopFillsTheWholeClientAreaWhite)
{
    ASSERT_EQ(Draw("blank.vbd", AssembleDesign(Blank(7))), 1);
    EXPECT_EQ(Label(), "Large Hoop");
    std::vector<COLORREF> p = Pixels(Surface());
    EXPECT_EQ(std::count(p.begin(), p.end(), WHITE), CLIENT_W * CLIENT_H);
}

TEST_F(Preview, LinesHaveThePaletteColourOfTheirBlock)
{
    // Six horizontal lines 100 units apart, to the right and back, over three colour
    // entries: 1, 2, 3, 1, 2, 3.
    StitchData data;
    for (int block = 0; block < 6; ++block) {
        if (block > 0)
            data.ColourChange(0, -100, block % 2 ? 0x01 : 0x0B);
        for (int i = 0; i < 6; ++i)
            data.Stitch(block % 2 ? -80 : 80, 0);
    }
    data.End();
    DesignFile f;
    f.stitchCount = 1000;
    f.hoopCode = 0;
    f.colours = {10, 12, 63};
    f.stitchData = data.Bytes();
    ASSERT_EQ(Draw("lines.vbd", AssembleDesign(f)), 1);
    const COLORREF expected[] = {RGB(0xFF, 0, 0), RGB(0x0B, 0x2F, 0x84), RGB(0xF3, 0x36, 0x89)};
    for (int block = 0; block < 6; ++block) {
        int y = (550 + 100 * block) * 99 / 1100;
        // Rightwards from 550 to 950 units (pixels 46 to 80), leftwards from 1030 to 630
        // (87 to 53); a line leaves out its last pixel, and the sixth displacement is not drawn.
        int first = block % 2 ? 54 : 46, last = block % 2 ? 87 : 79;
        for (int x = first; x <= last; ++x)
            ASSERT_EQ(Pixel(Surface(), x, y), expected[block % 3]) << "block " << block << " x " << x;
        EXPECT_EQ(Pixel(Surface(), first - 1, y), WHITE) << "block " << block;
        EXPECT_EQ(Pixel(Surface(), last + 1, y), WHITE) << "block " << block;
        EXPECT_EQ(Pixel(Surface(), first, y + 1), WHITE) << "block " << block;
    }
    EXPECT_EQ(GetThreadColour(63), expected[2]);
}

TEST_F(Preview, DrawingPutsBackTheSurfacesPenAndBrushAndItsHeap)
{
    HGDIOBJ pen = GetCurrentObject(Surface(), OBJ_PEN), brush = GetCurrentObject(Surface(), OBJ_BRUSH);
    DWORD heaps = GetProcessHeaps(0, NULL);
    ASSERT_EQ(Draw("rosette.vbd", MakeDesign({3000, 0, {10, 12, 37}})), 1);
    EXPECT_EQ(GetCurrentObject(Surface(), OBJ_PEN), pen);
    EXPECT_EQ(GetCurrentObject(Surface(), OBJ_BRUSH), brush);
    EXPECT_EQ(GetProcessHeaps(0, NULL), heaps);
}

TEST_F(Preview, FailedDrawingChangesNothing)
{
    ASSERT_EQ(Draw("first.vbd", MakeDesign({800, 1, {22, 4}})), 1);
    const std::vector<COLORREF> surface = Pixels(Surface()), screen = BoxPixels();
    ASSERT_EQ(surface, screen);
    const std::string label = Label();
    DWORD heaps = GetProcessHeaps(0, NULL);

    std::vector<char> good = MakeDesign({800, 7, {10}});
    std::vector<char> shortFile(good.begin(), good.begin() + 100);
    std::vector<char> offsetBeyond = good;
    offsetBeyond[0] = (char)0xFF;
    offsetBeyond[1] = (char)0xFF;
    std::vector<char> negativeCount = good;
    negativeCount[24] = 0x00;
    negativeCount[25] = (char)0x80;
    std::vector<char> tableBeyond(good.begin(), good.begin() + 118);
    struct Case {
        const char *what;
        std::vector<char> bytes;
    } cases[] = {{"shorter than the header", shortFile},
                 {"stitch data offset beyond the end", offsetBeyond},
                 {"negative colour count", negativeCount},
                 {"colour table cut short", tableBeyond},
                 {"empty file", {}}};
    for (const Case &c : cases) {
        EXPECT_EQ(Draw("bad.vbd", c.bytes), 0) << c.what;
        EXPECT_EQ(Label(), label) << c.what;
        EXPECT_TRUE(Pixels(Surface()) == surface) << c.what;
        EXPECT_TRUE(BoxPixels() == screen) << c.what;
    }
    EXPECT_EQ(DrawDesignPreview(dialog_, (WorkDir() + "\\missing.vbd").c_str()), 0);

    // The file is opened sharing nothing: one held open by someone else cannot be drawn.
    std::string path = Write("held.vbd", good);
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(DrawDesignPreview(dialog_, path.c_str()), 0);
    CloseHandle(held);
    EXPECT_EQ(Label(), label);
    EXPECT_TRUE(Pixels(Surface()) == surface);
    EXPECT_EQ(GetProcessHeaps(0, NULL), heaps);
    EXPECT_EQ(DrawDesignPreview(dialog_, path.c_str()), 1);
    EXPECT_EQ(Label(), "Large Hoop");
}

TEST_F(Preview, ClearAndShow)
{
    ASSERT_EQ(Draw("rosette.vbd", MakeDesign({2000, 2, {39, 7}})), 1);
    ClearPreview(dialog_);
    EXPECT_EQ(Label(), " ");
    std::vector<COLORREF> p = Pixels(Surface());
    EXPECT_EQ(std::count(p.begin(), p.end(), LIGHT_GREY), CLIENT_W * CLIENT_H);
    EXPECT_EQ(BoxPixels(), p);

    // ShowPreview copies the surface again over whatever the box shows.
    ASSERT_EQ(Draw("rosette.vbd", MakeDesign({2000, 2, {39, 7}})), 1);
    std::vector<COLORREF> drawn = Pixels(Surface());
    HDC dc = GetDC(box_);
    RECT all = {0, 0, CLIENT_W, CLIENT_H};
    FillRect(dc, &all, (HBRUSH)GetStockObject(BLACK_BRUSH));
    ReleaseDC(box_, dc);
    ASSERT_NE(BoxPixels(), drawn);
    ShowPreview(dialog_);
    EXPECT_EQ(BoxPixels(), drawn);
}

// The renderer gathers lines into polylines; a plain LineTo per record must give the same
// pixels, also across the renderer's point-buffer boundaries (runs of thousands of points).
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

double Milliseconds(LARGE_INTEGER from)
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return (now.QuadPart - from.QuadPart) * 1000.0 / frequency.QuadPart;
}

TEST_F(Preview, PolylinesGiveTheSamePixelsAsALineToPerRecord)
{
    LARGE_INTEGER start;
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
    std::vector<std::vector<char>> designs = {MakeDesign(SampleDesigns().back().spec), AssembleDesign(longRuns),
                                              MakeDesign({5000, 1, {10, 12, 22, 37}, 0, Motif::Spiral})};
    for (const std::vector<char> &bytes : designs) {
        std::string path = Write("same.vbd", bytes);
        QueryPerformanceCounter(&start);
        ASSERT_EQ(DrawDesignPreview(dialog_, path.c_str()), 1);
        double polyline = Milliseconds(start);

        HDC dc = CreateCompatibleDC(Surface());
        HBITMAP bitmap = CreateCompatibleBitmap(Surface(), CLIENT_W, CLIENT_H);
        HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
        RECT all = {0, 0, CLIENT_W, CLIENT_H};
        FillRect(dc, &all, (HBRUSH)GetStockObject(LTGRAY_BRUSH));
        DesignView view;
        ASSERT_TRUE(ReadDesignView((const uint8_t *)bytes.data(), bytes.size(), &view));
        int w, h;
        DrawingAreaFor(HoopFor(view.header.hoopCode), BOX_W, BOX_H, &w, &h);
        RECT area = {0, 0, w, h};
        FillRect(dc, &area, (HBRUSH)GetStockObject(WHITE_BRUSH));
        QueryPerformanceCounter(&start);
        {
            LineToPen pen(dc);
            WalkStitches(view, w, h, pen);
        }
        double lineTo = Milliseconds(start);
        EXPECT_TRUE(Pixels(dc) == Pixels(Surface()));
        // For the curious; timings are never asserted.
        printf("  %ld stitches: drawn in %.1f ms (file read included); a LineTo per record: %.1f ms\n",
               (long)view.header.stitchCount, polyline, lineTo);
        SelectObject(dc, oldBitmap);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
}

// Every sample design draws; a picture of each lands beside the test program for a person
// to look at (build/win32/bin/previews).
TEST_F(Preview, SampleDesignsDrawInTheirColours)
{
    std::string folder = ExeDir() + "previews";
    CreateDirectoryA(folder.c_str(), NULL);
    for (const SampleDesign &s : SampleDesigns()) {
        ASSERT_EQ(Draw(s.fileName, MakeDesign(s.spec)), 1) << s.fileName;
        EXPECT_EQ(Label(), HoopFor(s.spec.hoopCode).label);
        std::vector<COLORREF> p = Pixels(Surface());
        for (uint16_t code : s.spec.colours)
            EXPECT_GT(std::count(p.begin(), p.end(), GetThreadColour(code)), 20) << s.fileName << " code " << code;
        std::string name = s.fileName.substr(0, s.fileName.size() - 4) + ".bmp";
        EXPECT_TRUE(SaveSurface(Surface(), folder + "\\" + name)) << name;
    }
}

// ---- design files on disk ----
class DesignFiles : public VembTest {
protected:
    HANDLE Open(const std::string &name, const std::vector<char> &bytes)
    {
        std::string path = WorkDir() + "\\" + name;
        EXPECT_TRUE(WriteFileBytes(path, bytes.data(), bytes.size()));
        return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    }
};

TEST_F(DesignFiles, DataSizeLeavesOutTrailingBytesAndRewinds)
{
    std::vector<char> trailing = MakeDesign({900, 0, {10}, 100}), plain = MakeDesign({900, 0, {10}});
    std::vector<char> noEnd(plain.begin(), plain.end() - 2);
    struct Case {
        std::vector<char> bytes;
        DWORD expected;
    } cases[] = {{trailing, (DWORD)trailing.size() - 100}, {plain, (DWORD)plain.size()},
                 {noEnd, (DWORD)noEnd.size()}};
    for (const Case &c : cases) {
        HANDLE file = Open("size.vbd", c.bytes);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        SetFilePointer(file, 37, NULL, FILE_BEGIN);
        EXPECT_EQ(GetDesignDataSize(file, GetFileSize(file, NULL)), c.expected);
        EXPECT_EQ(SetFilePointer(file, 0, NULL, FILE_CURRENT), 0u);
        CloseHandle(file);
    }
}

TEST_F(DesignFiles, ShortHeaderReadsAsZeros)
{
    std::vector<char> bytes = MakeDesign({40000, 1, {10}});
    bytes.resize(30);
    HANDLE file = Open("short.vbd", bytes);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DesignHeader h;
    EXPECT_TRUE(ReadDesignHeader(file, &h));
    EXPECT_EQ(h.stitchDataOffset, 120u);
    EXPECT_EQ(h.stitchCount, 0);
    EXPECT_EQ(h.hoopCode, 0u);
    EXPECT_FALSE(DesignTooLarge(h.stitchCount));
    CloseHandle(file);
}

TEST_F(DesignFiles, DateIsLocalTimeWithoutSeconds)
{
    HANDLE file = Open("dated.vbd", MakeDesign({100, 0, {10}}));
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    SYSTEMTIME local = {2001, 3, 0, 5, 9, 7, 59, 0};
    FILETIME localTime, utc;
    SystemTimeToFileTime(&local, &localTime);
    LocalFileTimeToFileTime(&localTime, &utc);
    HANDLE w = CreateFileA((WorkDir() + "\\dated.vbd").c_str(), GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_TRUE(SetFileTime(w, NULL, NULL, &utc));
    CloseHandle(w);
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((WorkDir() + "\\dated.vbd").c_str(), &found);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    FindClose(find);
    char text[DATE_TEXT_SIZE];
    FormatFileDate(&found.ftLastWriteTime, text);
    EXPECT_STREQ(text, "2001/03/05 09:07");
}

TEST_F(DesignFiles, StitchLimitFollowsTheRecordedVersion)
{
    EXPECT_EQ(CurrentStitchLimit().shown, 32000);
    EXPECT_FALSE(DesignTooLarge(32700));
    EXPECT_TRUE(DesignTooLarge(32701));
    SetRegDword(Key::Tambora, "Protocol Ver", 2);
    EXPECT_EQ(CurrentStitchLimit().shown, 64000);
    EXPECT_FALSE(DesignTooLarge(65535));
    EXPECT_TRUE(DesignTooLarge(65536));
    SetRegDword(Key::Tambora, "Protocol Ver", 1);
    EXPECT_TRUE(DesignTooLarge(32701));
}

}  // namespace
