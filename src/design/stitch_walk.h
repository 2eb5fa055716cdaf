#pragma once
// The stitch walk of the preview: turns a design's colour table and stitch records into
// pen operations in pixels of the drawing area. Win32-free; design/preview.cpp replays
// the operations with GDI, the tests record them.
#include <stddef.h>
#include <stdint.h>

#include "design/design_file.h"
#include "design/palette.h"

// Receives the pen operations of one walk, in order.
class PenSink {
public:
    // Switch to a new one-pixel pen of this colour.
    virtual void Pen(ThreadColour colour) = 0;
    // Move the pen to (x, y) without drawing.
    virtual void Move(int x, int y) = 0;
    // Draw from the pen's point to (x, y); the pen ends there.
    virtual void Line(int x, int y) = 0;

protected:
    ~PenSink() = default;
};

// The drawing area of a hoop in a preview box of the given outer size: the box's client
// width (outer - 6) and, for the two square hoops, the box's outer width as height,
// otherwise the client height.
void DrawingAreaFor(const Hoop &hoop, int outerWidth, int outerHeight, int *width, int *height);

// A position in stitch units scaled to the drawing area: multiplied first in signed 32-bit
// arithmetic, truncated towards zero, then limited to 0..width and 0..height.
struct PixelPoint {
    int x, y;
};
PixelPoint ScalePosition(int32_t x, int32_t y, const Hoop &hoop, int width, int height);

// Walks the design from its hoop's centre: first the pen of the first colour and a move to
// the start point, then at most stitchCount - 1 records, ending early at the end record or
// at a record that would reach beyond the stitch data. Every read stays inside the view.
// Returns the number of records processed.
size_t WalkStitches(const DesignView &view, int width, int height, PenSink &sink);
