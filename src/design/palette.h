#pragma once
// The thread palette: 78 thread colours, each selected by its colour code (1 to 78), and
// the three hoops a design can be made for. Win32-free.
#include <stdint.h>

// A colour as red, green, blue in the layout of a Win32 COLORREF (0x00BBGGRR).
typedef uint32_t ThreadColour;

struct PaletteEntry {
    uint16_t code;
    uint32_t rgb;  // 0xRRGGBB as the thread charts print it
};
enum { THREAD_PALETTE_SIZE = 78 };
extern const PaletteEntry g_threadPalette[THREAD_PALETTE_SIZE];

// The palette colour of a colour code; black for a code the palette lacks.
ThreadColour GetThreadColour(int code);

// The hoop of a design's hoopCode: 0 normal, 1 small, any other value large.
struct Hoop {
    const char *label;
    int width, height;    // stitch units
    int startX, startY;   // where the needle starts: the centre
    bool square;          // drawn with the box's outer width as drawing height
};
const Hoop &HoopFor(uint32_t hoopCode);
