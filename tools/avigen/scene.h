#pragma once
// The module's two transfer clips: a PC on the left and the sewing machine on the right,
// joined by a cable along which a small design card travels, from the PC to the machine
// while sending and back while receiving.
#include <cstdint>
#include <vector>

#include "avigen/avi_writer.h"

namespace avigen {

enum : int {
    CLIP_WIDTH = 233,
    CLIP_HEIGHT = 82,
    CLIP_FRAMES = 35,
    CLIP_FRAMES_PER_SECOND = 30,
};

// Palette indices. The background is one colour that no drawing uses: a transparent
// animation control takes the first pixel's colour as the one to leave out.
enum Ink : uint8_t {
    BACKGROUND,
    OUTLINE,
    CASE,
    CASE_SHADE,
    SCREEN,
    SCREEN_LIGHT,
    BODY,
    BODY_SHADE,
    ACCENT,
    METAL,
    CABLE,
    MARKER,       // the travelling card, and nothing else
    THREAD_PINK,
    THREAD_GREEN,
    LED,
    WHITE,
    INK_COUNT
};

enum class Direction { Send, Receive };

struct Clip {
    ClipFormat format;
    std::vector<Frame> frames;
};

const std::vector<Rgb> &ClipPalette();
Clip MakeTransferClip(Direction direction);
// The marker's centre on the cable in a frame (canvas pixels, top row 0).
void MarkerCentre(Direction direction, int frame, int *x, int *y);

}  // namespace avigen
