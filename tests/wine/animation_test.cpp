// The two transfer clips as the module ships them, played by a real animation control:
// they open from the resources, play, seek, leave their background out, and the marker
// travels from the PC to the machine while sending and back while receiving.
// A strip of frames of both clips is left beside the program (animation_strip.bmp) for a
// person to look at.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "resource.h"
#include "vemb_fixture.h"

using namespace vt;

namespace {

const int CLIP_WIDTH = 233, CLIP_HEIGHT = 82, CLIP_FRAMES = 35;
const COLORREF MARKER_COLOUR = RGB(255, 196, 32);       // the travelling card
const COLORREF CLIP_BACKGROUND = RGB(192, 192, 192);    // first pixel of the clips
const COLORREF STAGE_BACKGROUND = RGB(0, 96, 128);      // what must show through instead

void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// Pumps messages until `condition` holds or 10 s have passed.
bool PumpUntil(const std::function<bool()> &condition)
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < 10000;) {
        Pump();
        if (condition())
            return true;
        Sleep(20);
    }
    return false;
}

// The control's client area as RGB values, top row first.
struct Shot {
    int width = 0, height = 0;
    std::vector<COLORREF> pixels;
    COLORREF At(int x, int y) const { return pixels[(size_t)y * width + x]; }
    int Count(COLORREF c) const
    {
        int n = 0;
        for (COLORREF p : pixels)
            n += p == c;
        return n;
    }
    // Mean x of the marker's pixels, -1 without any.
    double MarkerX() const
    {
        double sum = 0;
        int n = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (At(x, y) == MARKER_COLOUR) {
                    sum += x;
                    ++n;
                }
        return n > 20 ? sum / n : -1;
    }
};

Shot Capture(HWND control)
{
    Shot shot;
    RECT rc;
    GetClientRect(control, &rc);
    shot.width = rc.right;
    shot.height = rc.bottom;
    HDC screen = GetDC(control);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = shot.width;
    bi.bmiHeader.biHeight = -shot.height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void *bits = NULL;
    HBITMAP dib = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, NULL, 0);
    HGDIOBJ old = SelectObject(mem, dib);
    BitBlt(mem, 0, 0, shot.width, shot.height, screen, 0, 0, SRCCOPY);
    GdiFlush();
    const BYTE *p = (const BYTE *)bits;
    for (int i = 0; i < shot.width * shot.height; ++i)
        shot.pixels.push_back(RGB(p[4 * i + 2], p[4 * i + 1], p[4 * i]));
    SelectObject(mem, old);
    DeleteObject(dib);
    DeleteDC(mem);
    ReleaseDC(control, screen);
    return shot;
}

// A window standing in for a dialog: its own background colour for the transparent
// control, and a count of the control's notifications.
struct Stage {
    HWND window = NULL;
    HWND control = NULL;
    HBRUSH brush = NULL;
    int starts = 0, stops = 0;
};
Stage *g_stage;

LRESULT CALLBACK StageProc(HWND w, UINT m, WPARAM wp, LPARAM lp)
{
    switch (m) {
    case WM_CTLCOLORSTATIC:
        return (LRESULT)g_stage->brush;
    case WM_ERASEBKGND: {
        RECT rc;
        GetClientRect(w, &rc);
        FillRect((HDC)wp, &rc, g_stage->brush);
        return 1;
    }
    case WM_COMMAND:
        if (g_stage && (HWND)lp == g_stage->control) {
            if (HIWORD(wp) == ACN_START)
                ++g_stage->starts;
            else if (HIWORD(wp) == ACN_STOP)
                ++g_stage->stops;
        }
        return 0;
    }
    return DefWindowProcA(w, m, wp, lp);
}

class Animation : public VembTest {
protected:
    void SetUp() override
    {
        VembTest::SetUp();
        WNDCLASSA wc = {};
        wc.lpfnWndProc = StageProc;
        wc.hInstance = GetModuleHandleA(NULL);
        wc.lpszClassName = "VembAnimationStage";
        wc.hCursor = LoadCursor(NULL, IDC_ARROW);
        RegisterClassA(&wc);
        stage_.brush = CreateSolidBrush(STAGE_BACKGROUND);
        g_stage = &stage_;
        stage_.window = CreateWindowExA(WS_EX_TOPMOST, "VembAnimationStage", "Animation",
                                        WS_POPUP | WS_VISIBLE, 40, 40, 320, 140, Owner(), NULL,
                                        GetModuleHandleA(NULL), NULL);
        // The dialogs' style: a transparent clip, sized to the clip, played by a thread.
        stage_.control = CreateWindowExA(0, ANIMATE_CLASSA, "", WS_CHILD | WS_VISIBLE | ACS_TRANSPARENT,
                                         20, 20, 50, 20, stage_.window, (HMENU)1013,
                                         GetModuleHandleA(NULL), NULL);
        Pump();
    }
    void TearDown() override
    {
        if (stage_.control) {
            Animate_Stop(stage_.control);
            Animate_Close(stage_.control);
        }
        Pump();
        if (stage_.window)
            DestroyWindow(stage_.window);
        g_stage = NULL;
        DeleteObject(stage_.brush);
        VembTest::TearDown();
    }

    bool Open(HINSTANCE from, int id)
    {
        return Animate_OpenEx(stage_.control, from, MAKEINTRESOURCEA(id)) != 0;
    }

    // Shows one frame and captures it once it is on the screen.
    Shot Frame(int frame)
    {
        EXPECT_TRUE(Animate_Seek(stage_.control, frame));
        Pump();
        RedrawWindow(stage_.window, NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        Pump();
        return Capture(stage_.control);
    }

    Stage stage_;
};

// The clip resource: the AVI file, whole.
std::string ResourceBytes(HMODULE module, int id)
{
    HRSRC r = FindResourceA(module, MAKEINTRESOURCEA(id), "AVI");
    if (!r)
        return "";
    const char *data = (const char *)LockResource(LoadResource(module, r));
    return data ? std::string(data, SizeofResource(module, r)) : "";
}

TEST_F(Animation, BothClipsAreWholeAviResourcesOfTheModule)
{
    for (int id : {IDR_AVI_SENDING, IDR_AVI_RECEIVING}) {
        std::string dll = ResourceBytes(Dll().module, id);
        ASSERT_GE(dll.size(), 12u) << id;
        EXPECT_EQ(dll.substr(0, 4), "RIFF");
        EXPECT_EQ(dll.substr(8, 4), "AVI ");
        uint32_t riffSize = *(const uint32_t *)&dll[4];
        EXPECT_EQ(riffSize + 8, dll.size()) << id;
        // The test program carries the same resources as the module it tests.
        EXPECT_EQ(ResourceBytes(GetModuleHandleA(NULL), id), dll) << id;
    }
    EXPECT_NE(ResourceBytes(Dll().module, IDR_AVI_SENDING), ResourceBytes(Dll().module, IDR_AVI_RECEIVING));
}

TEST_F(Animation, ControlOpensBothClipsFromTheModuleAndTakesTheirSize)
{
    for (int id : {IDR_AVI_SENDING, IDR_AVI_RECEIVING}) {
        ASSERT_TRUE(Open(Dll().module, id)) << id;
        RECT rc;
        GetClientRect(stage_.control, &rc);
        EXPECT_EQ(rc.right, CLIP_WIDTH) << id;
        EXPECT_EQ(rc.bottom, CLIP_HEIGHT) << id;
        EXPECT_TRUE(Animate_Close(stage_.control));
    }
    // A missing clip fails: the open above is no formality.
    EXPECT_FALSE(Open(Dll().module, 113));
}

TEST_F(Animation, PlaysFromFirstToLastFrameRepeating)
{
    for (int id : {IDR_AVI_SENDING, IDR_AVI_RECEIVING}) {
        bool towardsMachine = id == IDR_AVI_SENDING;
        ASSERT_TRUE(Open(GetModuleHandleA(NULL), id)) << id;
        stage_.starts = stage_.stops = 0;
        ASSERT_TRUE(Animate_Play(stage_.control, 0, -1, -1)) << id;
        // While it plays the marker steps along its way, and after the last frame jumps
        // back to where it started.
        double last = -1;
        bool stepped = false, cameRound = false;
        bool played = PumpUntil([&] {
            double x = Capture(stage_.control).MarkerX();
            if (x < 0)
                return false;
            if (last >= 0) {
                double step = towardsMachine ? x - last : last - x;
                if (step > 0 && step < 20)
                    stepped = true;
                else if (step < -20 && stepped)
                    cameRound = true;
            }
            last = x;
            return stepped && cameRound;
        });
        EXPECT_TRUE(played) << id << ": stepped " << stepped << ", came round " << cameRound;
        EXPECT_EQ(stage_.starts, 1) << id;
        EXPECT_TRUE(Animate_Stop(stage_.control));
        Pump();
        EXPECT_EQ(stage_.stops, 1) << id;
        Animate_Close(stage_.control);
    }
}

TEST_F(Animation, SeekShowsTheMarkerTravellingTheRightWay)
{
    struct Clip {
        int id;
        bool towardsMachine;  // the PC is on the left, the machine on the right
    } clips[] = {{IDR_AVI_SENDING, true}, {IDR_AVI_RECEIVING, false}};
    const int stripFrames[] = {0, 8, 17, 25, 34};
    const int gap = 4;
    const int stripWidth = 5 * CLIP_WIDTH + 4 * gap, stripHeight = 2 * CLIP_HEIGHT + gap;
    std::vector<COLORREF> strip((size_t)stripWidth * stripHeight, RGB(255, 255, 255));

    for (int row = 0; row < 2; ++row) {
        const Clip &clip = clips[row];
        ASSERT_TRUE(Open(GetModuleHandleA(NULL), clip.id)) << clip.id;
        Shot early = Frame(5), late = Frame(30);
        ASSERT_EQ(early.width, CLIP_WIDTH);
        ASSERT_EQ(early.height, CLIP_HEIGHT);
        EXPECT_NE(early.pixels, late.pixels) << clip.id;
        double x5 = early.MarkerX(), x30 = late.MarkerX();
        ASSERT_GE(x5, 0) << clip.id << ": no marker in frame 5";
        ASSERT_GE(x30, 0) << clip.id << ": no marker in frame 30";
        if (clip.towardsMachine) {
            EXPECT_GT(x30, x5 + 20) << clip.id;
        } else {
            EXPECT_LT(x30, x5 - 20) << clip.id;
        }
        // Transparent: the clip's own background gives way to the window's colour.
        EXPECT_EQ(early.At(0, 0), STAGE_BACKGROUND) << clip.id;
        EXPECT_EQ(early.At(CLIP_WIDTH - 1, CLIP_HEIGHT - 1), STAGE_BACKGROUND) << clip.id;
        EXPECT_EQ(early.Count(CLIP_BACKGROUND), 0) << clip.id;
        EXPECT_GT(early.Count(STAGE_BACKGROUND), CLIP_WIDTH * CLIP_HEIGHT / 3) << clip.id;
        // Every frame can be shown, the last one included.
        for (int f = 0; f < 5; ++f) {
            Shot s = Frame(stripFrames[f]);
            for (int y = 0; y < CLIP_HEIGHT && y < s.height; ++y)
                for (int x = 0; x < CLIP_WIDTH && x < s.width; ++x)
                    strip[(size_t)(row * (CLIP_HEIGHT + gap) + y) * stripWidth + f * (CLIP_WIDTH + gap) + x] =
                        s.At(x, y);
            EXPECT_GE(s.MarkerX(), 0) << clip.id << " frame " << stripFrames[f];
        }
        EXPECT_FALSE(Animate_Seek(stage_.control, CLIP_FRAMES)) << clip.id;
        Animate_Close(stage_.control);
    }

    // The strip, as a 24-bit bottom-up BMP.
    const int stride = (stripWidth * 3 + 3) & ~3;
    std::vector<BYTE> bmp(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) + (size_t)stride * stripHeight);
    BITMAPFILEHEADER *fh = (BITMAPFILEHEADER *)bmp.data();
    BITMAPINFOHEADER *ih = (BITMAPINFOHEADER *)(fh + 1);
    fh->bfType = 0x4d42;
    fh->bfSize = (DWORD)bmp.size();
    fh->bfOffBits = sizeof *fh + sizeof *ih;
    ih->biSize = sizeof *ih;
    ih->biWidth = stripWidth;
    ih->biHeight = stripHeight;
    ih->biPlanes = 1;
    ih->biBitCount = 24;
    BYTE *rows = bmp.data() + fh->bfOffBits;
    for (int y = 0; y < stripHeight; ++y)
        for (int x = 0; x < stripWidth; ++x) {
            COLORREF c = strip[(size_t)y * stripWidth + x];
            BYTE *p = rows + (size_t)(stripHeight - 1 - y) * stride + 3 * x;
            p[0] = GetBValue(c);
            p[1] = GetGValue(c);
            p[2] = GetRValue(c);
        }
    EXPECT_TRUE(WriteFileBytes(ExeDir() + "animation_strip.bmp", bmp.data(), bmp.size()));
}

}  // namespace
