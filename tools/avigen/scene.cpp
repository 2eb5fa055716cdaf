#include "avigen/scene.h"

#include <cmath>

#include "avigen/canvas.h"

namespace avigen {

namespace {

const double PI = 3.14159265358979323846;

// Where the cable leaves the PC's tower and enters the machine's bed; between them it
// sags as a quadratic curve through this control point.
const double CABLE_X0 = 82, CABLE_Y0 = 60;
const double CABLE_CX = 110, CABLE_CY = 80;
const double CABLE_X1 = 139, CABLE_Y1 = 68;
// The part of the cable the marker covers, so that it starts and ends just outside the
// two devices.
const double MARKER_T0 = 0.16, MARKER_T1 = 0.84;

void CablePoint(double t, double *x, double *y)
{
    double u = 1 - t;
    *x = u * u * CABLE_X0 + 2 * u * t * CABLE_CX + t * t * CABLE_X1;
    *y = u * u * CABLE_Y0 + 2 * u * t * CABLE_CY + t * t * CABLE_Y1;
}

void DrawPc(Canvas &c, bool ledOn)
{
    // Monitor with a design on its screen.
    c.Box(4, 8, 60, 52, 3, CASE, OUTLINE);
    c.Box(9, 13, 55, 46, 1, SCREEN, OUTLINE);
    c.FillRect(10, 14, 54, 16, SCREEN_LIGHT);  // window title bar
    // A five-petal flower in satin stitches on the screen.
    const int fx = 32, fy = 31;
    c.Line(fx, fy + 4, fx - 2, fy + 13, 1, THREAD_GREEN);
    c.FillEllipse(fx - 8, fy + 7, fx - 1, fy + 11, THREAD_GREEN);
    for (int i = 0; i < 5; ++i) {
        double a = -PI / 2 + i * 2 * PI / 5;
        int px = fx + (int)std::lround(6 * std::cos(a)), py = fy - 3 + (int)std::lround(6 * std::sin(a));
        c.FillEllipse(px - 4, py - 4, px + 4, py + 4, THREAD_PINK);
    }
    c.FillEllipse(fx - 3, fy - 6, fx + 3, fy, WHITE);
    c.FillRect(53, 48, 56, 50, LED);  // power light on the bezel
    // Stand and foot.
    c.Box(26, 51, 38, 59, 0, CASE_SHADE, OUTLINE);
    c.Box(16, 58, 48, 63, 2, CASE, OUTLINE);
    // Keyboard with three rows of keys.
    c.Box(6, 66, 58, 75, 2, CASE, OUTLINE);
    for (int row = 0; row < 3; ++row)
        for (int x = 9 + row; x < 55; x += 3)
            c.FillRect(x, 68 + 2 * row, x + 2, 69 + 2 * row, CASE_SHADE);
    // Tower with drive bays, button and the activity light.
    c.Box(63, 16, 84, 76, 2, CASE, OUTLINE);
    c.Box(66, 21, 81, 26, 0, CASE_SHADE, OUTLINE);
    c.Box(66, 28, 81, 33, 0, CASE_SHADE, OUTLINE);
    c.FillRect(69, 39, 78, 40, CASE_SHADE);
    c.FillRect(69, 42, 78, 43, CASE_SHADE);
    c.FillEllipse(70, 62, 77, 69, OUTLINE);
    c.FillEllipse(71, 63, 76, 68, CASE_SHADE);
    c.FillRect(72, 71, 75, 73, ledOn ? LED : CASE_SHADE);
}

void DrawMachine(Canvas &c, bool ledOn)
{
    // Spool of thread on its pin.
    c.FillRect(191, 5, 193, 15, METAL);
    c.Box(187, 7, 197, 10, 1, THREAD_PINK, OUTLINE);
    c.Box(186, 6, 198, 8, 0, BODY_SHADE, OUTLINE);
    c.Box(186, 10, 198, 12, 0, BODY_SHADE, OUTLINE);
    // Bed.
    c.Box(137, 63, 230, 76, 3, BODY, OUTLINE);
    c.FillRect(139, 72, 228, 75, BODY_SHADE);
    // Pillar, arm and head, one silhouette: drawn border first, then filled.
    c.FillRoundRect(196, 14, 226, 64, 5, OUTLINE);
    c.FillRoundRect(144, 14, 226, 35, 6, OUTLINE);
    c.FillRoundRect(144, 14, 168, 50, 5, OUTLINE);
    c.FillRoundRect(197, 15, 225, 64, 4, BODY);
    c.FillRoundRect(145, 15, 225, 34, 5, BODY);
    c.FillRoundRect(145, 15, 167, 49, 4, BODY);
    c.FillRect(197, 34, 225, 64, BODY);
    c.FillRect(198, 60, 224, 64, BODY_SHADE);
    c.FillRect(168, 20, 196, 23, ACCENT);      // stripe along the arm
    c.FillRect(148, 40, 164, 42, ACCENT);
    // Handwheel on the right.
    c.FillEllipse(224, 18, 231, 36, OUTLINE);
    c.FillEllipse(225, 19, 230, 35, METAL);
    // Touch panel with its light.
    c.Box(203, 38, 219, 52, 1, SCREEN_LIGHT, OUTLINE);
    c.FillRect(206, 42, 216, 43, WHITE);
    c.FillRect(206, 46, 213, 47, WHITE);
    c.FillRect(209, 55, 213, 58, ledOn ? LED : BODY_SHADE);
    // Needle bar, needle and presser foot above the hoop.
    c.FillRect(154, 49, 158, 54, METAL);
    c.FillRect(155, 54, 157, 61, OUTLINE);
    c.FillRect(150, 59, 162, 61, METAL);
    // Embroidery hoop lying on the bed.
    c.FillRect(143, 63, 170, 66, OUTLINE);
    c.FillRect(144, 64, 169, 65, THREAD_GREEN);
}

void DrawCable(Canvas &c)
{
    double px, py;
    CablePoint(0, &px, &py);
    for (int i = 1; i <= 64; ++i) {
        double x, y;
        CablePoint(i / 64.0, &x, &y);
        c.Line((int)std::lround(px), (int)std::lround(py), (int)std::lround(x), (int)std::lround(y), 2,
               CABLE);
        px = x;
        py = y;
    }
    // Plugs at both ends.
    c.Box(83, 57, 88, 63, 0, METAL, OUTLINE);
    c.Box(133, 65, 138, 71, 0, METAL, OUTLINE);
}

// A design card: a little square of fabric with a cross stitched on it.
void DrawMarker(Canvas &c, int x, int y)
{
    c.Box(x - 6, y - 6, x + 7, y + 7, 2, MARKER, OUTLINE);
    c.Line(x - 3, y - 3, x + 3, y + 3, 1, THREAD_PINK);
    c.Line(x - 3, y + 3, x + 3, y - 3, 1, THREAD_PINK);
}

}  // namespace

const std::vector<Rgb> &ClipPalette()
{
    static const std::vector<Rgb> palette = {
        {192, 192, 192},  // BACKGROUND
        {36, 38, 46},     // OUTLINE
        {232, 230, 222},  // CASE
        {158, 160, 170},  // CASE_SHADE
        {34, 78, 150},    // SCREEN
        {104, 160, 226},  // SCREEN_LIGHT
        {252, 250, 244},  // BODY
        {204, 198, 184},  // BODY_SHADE
        {206, 52, 60},    // ACCENT
        {128, 132, 142},  // METAL
        {70, 70, 78},     // CABLE
        {255, 196, 32},   // MARKER
        {222, 44, 124},   // THREAD_PINK
        {40, 150, 80},    // THREAD_GREEN
        {60, 230, 60},    // LED
        {255, 255, 255},  // WHITE
    };
    return palette;
}

void MarkerCentre(Direction direction, int frame, int *x, int *y)
{
    double along = (double)frame / (CLIP_FRAMES - 1);
    if (direction == Direction::Receive)
        along = 1 - along;
    double fx, fy;
    CablePoint(MARKER_T0 + along * (MARKER_T1 - MARKER_T0), &fx, &fy);
    *x = (int)std::lround(fx);
    *y = (int)std::lround(fy);
}

Clip MakeTransferClip(Direction direction)
{
    Clip clip;
    clip.format.width = CLIP_WIDTH;
    clip.format.height = CLIP_HEIGHT;
    clip.format.framesPerSecond = CLIP_FRAMES_PER_SECOND;
    clip.format.palette = ClipPalette();
    for (int f = 0; f < CLIP_FRAMES; ++f) {
        Canvas c(CLIP_WIDTH, CLIP_HEIGHT, BACKGROUND);
        // The sending side's light flickers while the card is on its way.
        bool flicker = (f / 3) % 2 == 0;
        DrawPc(c, direction == Direction::Send && flicker);
        DrawMachine(c, direction == Direction::Receive && flicker);
        DrawCable(c);
        int mx, my;
        MarkerCentre(direction, f, &mx, &my);
        DrawMarker(c, mx, my);
        clip.frames.push_back(c.Pixels());
    }
    return clip;
}

}  // namespace avigen
