// The preview's stitch walk: pen operations, scaling and clamping, record counting, colour
// cycling, the hoop table and the thread palette.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "design/design_file.h"
#include "design/palette.h"
#include "design/stitch_walk.h"
#include "designgen/design_writer.h"

using namespace designgen;

namespace {

struct Op {
    char kind;  // 'P' pen, 'M' move, 'L' line
    int a, b;
    bool operator==(const Op &o) const { return kind == o.kind && a == o.a && b == o.b; }
};
std::ostream &operator<<(std::ostream &out, const Op &op)
{
    return out << op.kind << "(" << std::hex << op.a << std::dec << "," << op.b << ")";
}
Op P(ThreadColour c) { return {'P', (int)c, 0}; }
Op M(int x, int y) { return {'M', x, y}; }
Op L(int x, int y) { return {'L', x, y}; }
using Ops = std::vector<Op>;

struct Recorder : PenSink {
    void Pen(ThreadColour colour) override { ops.push_back(P(colour)); }
    void Move(int x, int y) override { ops.push_back(M(x, y)); }
    void Line(int x, int y) override { ops.push_back(L(x, y)); }
    std::vector<ThreadColour> Pens() const
    {
        std::vector<ThreadColour> pens;
        for (const Op &op : ops)
            if (op.kind == 'P')
                pens.push_back((ThreadColour)op.a);
        return pens;
    }
    Ops ops;
    size_t records = 0;
};

const ThreadColour BLACK = 0x000000, RED = 0x0000FF, NAVY = 0x842F0B, GREEN = 0x1CC27F;  // 1/0, 10, 12, 22

DesignFile Design(int32_t stitchCount, const StitchData &data, std::vector<uint16_t> colours = {10},
                  uint32_t hoop = 0)
{
    DesignFile f;
    f.stitchCount = stitchCount;
    f.hoopCode = hoop;
    f.colours = colours;
    f.stitchData = data.Bytes();
    return f;
}

// Walks a hand-made design; the drawing area defaults to one pixel per stitch unit.
Recorder Walk(const DesignFile &file, int width = 1100, int height = 1100)
{
    std::vector<char> chars = AssembleDesign(file);
    std::vector<uint8_t> bytes(chars.begin(), chars.end());
    DesignView view;
    Recorder r;
    EXPECT_TRUE(ReadDesignView(bytes.data(), bytes.size(), &view));
    r.records = WalkStitches(view, width, height, r);
    return r;
}

// Three stitch records of dx 10 and the end: a line of no length at the centre, then two of
// 10 units; the third displacement is not drawn.
TEST(StitchWalk, ThreeStitchLineDrawsTwoSegmentsAndLeavesTheLastDisplacement)
{
    Recorder r = Walk(Design(4, StitchData().Stitch(10, 0).Stitch(10, 0).Stitch(10, 0).End()));
    EXPECT_EQ(r.ops, (Ops{P(RED), M(550, 550), L(550, 550), L(560, 550), L(570, 550)}));
    EXPECT_EQ(r.records, 3u);
}

// At most stitchCount - 1 records; a count of 1 or less draws only the pen and the start.
TEST(StitchWalk, ProcessesAtMostStitchCountMinusOneRecords)
{
    StitchData data = StitchData().Stitch(1, 0).Move(5, 5).Stitch(1, 0).ColourChange(0, 0).Stitch(1, 0).End();
    const struct {
        int32_t stitchCount;
        size_t records;
    } cases[] = {{(int32_t)0x80000000, 0}, {-3, 0}, {0, 0}, {1, 0}, {2, 1}, {3, 2}, {5, 4}, {6, 5}, {1000, 5}};
    for (const auto &c : cases) {
        Recorder r = Walk(Design(c.stitchCount, data));
        EXPECT_EQ(r.records, c.records) << c.stitchCount;
        // Pen and start move always; one operation per record except the colour change (two).
        EXPECT_EQ(r.ops.size(), 2 + c.records + (c.records >= 4 ? 1 : 0)) << c.stitchCount;
    }
}

TEST(StitchWalk, PositiveDyGoesUpAndControlRecordsMoveThePen)
{
    StitchData data = StitchData()
                          .Stitch(0, 10)        // line at the centre, then up 10
                          .Stitch(-20, -5)      // line to (550, 540), then to (530, 545)
                          .Move(100, 100)       // (630, 445), no line
                          .Stitch(1, 1)         // line to (630, 445)
                          .Move(-30, 0, 0x04)   // (601, 444)
                          .Skip4(0x80, 0x10)    // skipped with its bytes: no end here
                          .Control(0x40)        // ignored
                          .Stitch(0, 0)         // line continues: (601, 444)
                          .End()
                          .Stitch(9, 9);        // behind the end record
    Recorder r = Walk(Design(100, data));
    EXPECT_EQ(r.ops, (Ops{P(RED), M(550, 550), L(550, 550), L(550, 540), M(630, 445), L(630, 445), M(601, 444),
                          L(601, 444)}));
    EXPECT_EQ(r.records, 8u);
}

// Six blocks over three entries: 1, 2, 3, 1, 2, 3, through both kinds of colour change.
TEST(StitchWalk, ColourChangesCycleFromTheSecondEntry)
{
    StitchData data;
    for (int kind : {0x01, 0x20, 0x0F, 0x80, 0x07}) {
        data.Stitch(2, 0);
        if (kind & 1)
            data.ColourChange(0, 3, kind);
        else
            data.ColourChangeInPlace(kind);
    }
    Recorder r = Walk(Design(100, data.Stitch(2, 0).End(), {10, 12, 22}));
    EXPECT_EQ(r.Pens(), (std::vector<ThreadColour>{RED, NAVY, GREEN, RED, NAVY, GREEN}));
    // A colour change with displacement moves; one without stays where the needle is.
    EXPECT_EQ(r.ops[4], M(552, 547));
    EXPECT_EQ(r.ops[7], M(554, 547));
}

TEST(StitchWalk, ColourTableEdgeCases)
{
    StitchData data = StitchData().ColourChange(0, 0).ColourChangeInPlace().ColourChange(0, 0).End();
    const struct {
        const char *what;
        std::vector<uint16_t> colours;
        uint32_t count;
        std::vector<ThreadColour> pens;
    } cases[] = {
        {"codes outside the palette draw black", {0, 10, 79}, DesignFile::AUTO, {BLACK, RED, BLACK, BLACK}},
        {"one entry keeps its colour", {12}, DesignFile::AUTO, {NAVY, NAVY, NAVY, NAVY}},
        {"an empty table draws black", {}, DesignFile::AUTO, {BLACK, BLACK, BLACK, BLACK}},
        {"count from the low 16 bits", {10, 12, 22}, 0x00050003, {RED, NAVY, GREEN, RED}},
    };
    for (const auto &c : cases) {
        DesignFile f = Design(100, data, c.colours);
        f.colourCount = c.count;
        f.colourHighBits = 0x0102;
        EXPECT_EQ(Walk(f).Pens(), c.pens) << c.what;
    }
}

// A record reaching beyond the data ends the walk; a whole 2-byte control record does not.
TEST(StitchWalk, StopsAtARecordReachingBeyondTheData)
{
    const struct {
        std::vector<uint8_t> tail;
        size_t records;
    } cases[] = {{{0x80, 0x01, 0x05}, 1}, {{0x80, 0x02}, 1}, {{0x80, 0x30, 0x00}, 1}, {{0x05}, 1}, {{0x80, 0x40}, 2}};
    for (const auto &c : cases) {
        Recorder r = Walk(Design(100, StitchData().Stitch(3, 3).Raw(c.tail)));
        EXPECT_EQ(r.records, c.records);
        EXPECT_EQ(r.ops.size(), 3u);
    }
}

TEST(StitchWalk, ScalesTruncatingAndClampsToTheArea)
{
    const Hoop &normal = HoopFor(0), &small = HoopFor(1), &large = HoopFor(7);
    const struct {
        const Hoop &hoop;
        int32_t x, y;
        int w, h, px, py;
    } cases[] = {
        {normal, 550, 550, 93, 99, 46, 49},  // 46.5 and 49.5 truncated
        {small, 250, 250, 93, 99, 46, 49},
        {large, 1599, 1999, 93, 124, 92, 123},
        {normal, 5000, -1, 93, 99, 93, 0},   // beyond the hoop: on the edge
        {normal, -11, 1100, 93, 99, 0, 99},
        {normal, 25000000, 550, 93, 99, 0, 49},  // 25,000,000 x 93 wraps negative in 32 bits
    };
    for (const auto &c : cases) {
        PixelPoint p = ScalePosition(c.x, c.y, c.hoop, c.w, c.h);
        EXPECT_EQ(p.x, c.px) << c.x << "," << c.y;
        EXPECT_EQ(p.y, c.py) << c.x << "," << c.y;
    }
}

// The hoop code picks the label, the drawing area in a 99 x 130 box and the scale; the walk
// starts at the hoop's centre.
TEST(StitchWalk, HoopsSizeTheAreaAndStartAtTheCentre)
{
    StitchData data = StitchData().Stitch(100, 0).Stitch(0, 0).End();
    const struct {
        uint32_t hoop;
        const char *label;
        int w, h, x, y, x2;
    } cases[] = {
        {0, "Normal Hoop", 93, 99, 46, 49, 54},      {1, "Small Hoop", 93, 99, 46, 49, 65},
        {2, "Large Hoop", 93, 124, 46, 62, 52},      {0x100, "Large Hoop", 93, 124, 46, 62, 52},
        {0xFFFFFFFF, "Large Hoop", 93, 124, 46, 62, 52},
    };
    for (const auto &c : cases) {
        int w, h;
        DrawingAreaFor(HoopFor(c.hoop), 99, 130, &w, &h);
        EXPECT_STREQ(HoopFor(c.hoop).label, c.label);
        EXPECT_EQ(w, c.w);
        EXPECT_EQ(h, c.h);
        EXPECT_EQ(Walk(Design(10, data, {10}, c.hoop), w, h).ops,
                  (Ops{P(RED), M(c.x, c.y), L(c.x, c.y), L(c.x2, c.y)})) << c.hoop;
    }
}

TEST(ThreadPalette, HoldsEachCodeOnceAndBlackOutside)
{
    std::set<int> codes;
    for (const PaletteEntry &e : g_threadPalette)
        codes.insert(e.code);
    EXPECT_EQ(codes.size(), 78u);
    EXPECT_EQ(*codes.begin(), 1);
    EXPECT_EQ(*codes.rbegin(), 78);
    const std::pair<int, ThreadColour> colours[] = {{2, 0xFFFFFF}, {10, RED},   {12, NAVY},  {78, 0x81ACE3},
                                                     {51, 0xF2FFFF}, {0, BLACK}, {79, BLACK}, {-1, BLACK},
                                                     {65535, BLACK}};
    for (const auto &c : colours)
        EXPECT_EQ(GetThreadColour(c.first), c.second) << c.first;
}

}  // namespace
