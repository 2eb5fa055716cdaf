// Fuzz target: a whole design file through the renderer's reading rules and the stitch
// walk. Whatever the file claims, the walk reads only inside it (the sanitizers watch)
// and every pen point lies in the drawing area.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>

#include "design/design_file.h"
#include "design/stitch_walk.h"

namespace {

// Every point inside the area, every colour an RGB value; counts the operations.
struct CheckingSink : PenSink {
    CheckingSink(int width, int height) : width(width), height(height) {}
    void Pen(ThreadColour colour) override { Check(colour <= 0xFFFFFF); }
    void Move(int x, int y) override { Check(x >= 0 && x <= width && y >= 0 && y <= height); }
    void Line(int x, int y) override { Move(x, y); }
    void Check(bool ok)
    {
        if (!ok)
            abort();
        ++ops;
    }
    int width, height;
    size_t ops = 0;
};

void Walk(const DesignView &view, int width, int height)
{
    CheckingSink sink(width, height);
    size_t records = WalkStitches(view, width, height, sink);
    int64_t budget = (int64_t)view.header.stitchCount - 1;
    if (records > view.stitchLength / 2 || (int64_t)records > (budget > 0 ? budget : 0))
        abort();
    // A pen and a move to start with, then at most two operations per record.
    if (sink.ops < 2 || sink.ops > 2 + 2 * records)
        abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    DesignView view;
    if (!ReadDesignView(data, size, &view))
        return 0;
    int width, height;
    DrawingAreaFor(HoopFor(view.header.hoopCode), 99, 130, &width, &height);
    Walk(view, width, height);
    Walk(view, 1100, 1100);
    Walk(view, 0, 0);
    return 0;
}
