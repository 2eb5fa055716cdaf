#include "design/stitch_walk.h"

void DrawingAreaFor(const Hoop &hoop, int outerWidth, int outerHeight, int *width, int *height)
{
    *width = outerWidth - 6;
    *height = hoop.square ? outerWidth : outerHeight - 6;
}

static int Limit(int32_t value, int top)
{
    return value < 0 ? 0 : value > top ? top : value;
}

PixelPoint ScalePosition(int32_t x, int32_t y, const Hoop &hoop, int width, int height)
{
    // The products wrap as a 32-bit multiply does; the unsigned detour keeps that defined.
    int32_t px = (int32_t)((uint32_t)x * (uint32_t)width) / hoop.width;
    int32_t py = (int32_t)((uint32_t)y * (uint32_t)height) / hoop.height;
    return {Limit(px, width), Limit(py, height)};
}

namespace {

// Colours are taken in table order from the second entry on, starting again at the first
// after the last. A one-entry table thus keeps its one colour; an empty table draws
// everything in black (our choice: there is no first colour to take).
class ColourCycle {
public:
    explicit ColourCycle(const DesignView &view) : view_(view) {}
    ThreadColour First() const { return view_.colourCount > 0 ? Colour(0) : GetThreadColour(0); }
    ThreadColour Next()
    {
        if (view_.colourCount == 0)
            return GetThreadColour(0);
        if (next_ >= view_.colourCount)
            next_ = 0;
        ThreadColour colour = Colour(next_);
        if (++next_ == view_.colourCount)
            next_ = 0;
        return colour;
    }

private:
    ThreadColour Colour(int index) const { return GetThreadColour(ColourCodeAt(view_, index)); }
    const DesignView &view_;
    int next_ = 1;
};

}  // namespace

size_t WalkStitches(const DesignView &view, int width, int height, PenSink &sink)
{
    const Hoop &hoop = HoopFor(view.header.hoopCode);
    ColourCycle colours(view);
    sink.Pen(colours.First());
    // Positions wrap like 32-bit registers rather than overflow.
    uint32_t x = (uint32_t)hoop.startX, y = (uint32_t)hoop.startY;
    PixelPoint p = ScalePosition((int32_t)x, (int32_t)y, hoop, width, height);
    sink.Move(p.x, p.y);

    int64_t budget = (int64_t)view.header.stitchCount - 1;
    const uint8_t *data = view.stitches;
    size_t length = view.stitchLength, at = 0, records = 0;
    while ((int64_t)records < budget && at + 2 <= length) {
        uint8_t first = data[at], kind = data[at + 1];
        if (first != 0x80) {
            p = ScalePosition((int32_t)x, (int32_t)y, hoop, width, height);
            sink.Line(p.x, p.y);
            x += (uint32_t)(int32_t)(int8_t)first;
            y -= (uint32_t)(int32_t)(int8_t)kind;
            at += 2;
        } else if (kind == 0x10) {
            break;
        } else if ((kind & 1) && kind <= 0x0F) {  // colour change with displacement
            if (at + 4 > length)
                break;
            x += (uint32_t)(int32_t)(int8_t)data[at + 2];
            y -= (uint32_t)(int32_t)(int8_t)data[at + 3];
            sink.Pen(colours.Next());
            p = ScalePosition((int32_t)x, (int32_t)y, hoop, width, height);
            sink.Move(p.x, p.y);
            at += 4;
        } else if (kind == 0x20 || kind == 0x80) {  // colour change in place
            sink.Pen(colours.Next());
            p = ScalePosition((int32_t)x, (int32_t)y, hoop, width, height);
            sink.Move(p.x, p.y);
            at += 2;
        } else if (kind == 0x02 || kind == 0x04) {  // move without sewing
            if (at + 4 > length)
                break;
            x += (uint32_t)(int32_t)(int8_t)data[at + 2];
            y -= (uint32_t)(int32_t)(int8_t)data[at + 3];
            p = ScalePosition((int32_t)x, (int32_t)y, hoop, width, height);
            sink.Move(p.x, p.y);
            at += 4;
        } else if (kind == 0x30) {
            if (at + 4 > length)
                break;
            at += 4;
        } else {
            at += 2;
        }
        ++records;
    }
    return records;
}
