// The preview's stitch walk: pen operations, scaling and clamping, record counting, colour
// cycling, the hoop table and the thread palette.
#include <gtest/gtest.h>

#include <stdio.h>

#include <set>

#include "design/design_file.h"
#include "design/palette.h"
#include "design/stitch_walk.h"
#include "designgen/design_writer.h"

using namespace designgen;

namespace {

// The walk's pen operations as text: "P<colour>" for a pen, "M<x>,<y>" a move, "L<x>,<y>" a
// line; and the pens alone.
struct Recorder : PenSink {
    void Pen(ThreadColour colour) override
    {
        char text[16];
        snprintf(text, sizeof text, "P%06X", (unsigned)colour);
        Add(text);
        pens += (pens.empty() ? "" : " ") + std::string(text + 1);
    }
    void Move(int x, int y) override { Add("M" + std::to_string(x) + "," + std::to_string(y)); }
    void Line(int x, int y) override { Add("L" + std::to_string(x) + "," + std::to_string(y)); }
    void Add(const std::string &op) { ops += (ops.empty() ? "" : " ") + op, ++count; }
    std::string ops, pens;
    size_t count = 0, records = 0;
};

// Colours of the codes 1 and 0 (black), 10, 12 and 22, as the pens show them.
const char BLACK[] = "000000", RED[] = "0000FF", NAVY[] = "842F0B", GREEN[] = "1CC27F";

DesignFile Design(int32_t stitchCount, const StitchData &data, std::vector<uint16_t> colours = {10}, uint32_t hoop = 0)
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
    EXPECT_EQ(r.ops, "P0000FF M550,550 L550,550 L560,550 L570,550");
    EXPECT_EQ(r.records, 3u);
}

// At most stitchCount - 1 records; a count of 1 or less draws only the pen and the start.
TEST(StitchWalk, ProcessesAtMostStitchCountMinusOneRecords)
{
    StitchData data = StitchData().Stitch(1, 0).Move(5, 5).Stitch(1, 0).ColourChange(0, 0).Stitch(1, 0).End();
    const std::pair<int32_t, size_t> cases[] = {{(int32_t)0x80000000, 0}, {-3, 0}, {0, 0}, {1, 0}, {2, 1},
                                                {3, 2},                   {5, 4},  {6, 5}, {1000, 5}};
    for (const auto &c : cases) {
        Recorder r = Walk(Design(c.first, data));
        EXPECT_EQ(r.records, c.second) << c.first;
        // Pen and start move always; one operation per record except the colour change (two).
        EXPECT_EQ(r.count, 2 + c.second + (c.second >= 4 ? 1 : 0)) << c.first;
    }
}

TEST(StitchWalk, PositiveDyGoesUpAndControlRecordsMoveThePen)
{
    StitchData data = StitchData()
                          .Stitch(0, 10)       // line at the centre, then up 10
                          .Stitch(-20, -5)     // line to (550, 540), then to (530, 545)
                          .Move(100, 100)      // (630, 445), no line
                          .Stitch(1, 1)        // line to (630, 445)
                          .Move(-30, 0, 0x04)  // (601, 444)
                          .Skip4(0x80, 0x10)   // skipped with its bytes: no end here
                          .Control(0x40)       // ignored
                          .Stitch(0, 0)        // line continues: (601, 444)
                          .End()
                          .Stitch(9, 9);  // behind the end record
    Recorder r = Walk(Design(100, data));
    EXPECT_EQ(r.ops, "P0000FF M550,550 L550,550 L550,540 M630,445 L630,445 M601,444 L601,444");
    EXPECT_EQ(r.records, 8u);
}

// Six blocks over three entries: 1, 2, 3, 1, 2, 3, through both kinds of colour change; one
// with displacement moves, one without stays where the needle is.
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
    EXPECT_EQ(r.pens, std::string(RED) + " " + NAVY + " " + GREEN + " " + RED + " " + NAVY + " " + GREEN);
    const std::string start = "P0000FF M550,550 L550,550 P842F0B M552,547 L552,547 P1CC27F M554,547";
    EXPECT_EQ(r.ops.substr(0, start.size()), start);
}

// Codes outside the palette (0, 79) draw black, one entry keeps its colour, an empty table
// draws black (our choice), and the count is taken from the low 16 bits.
TEST(StitchWalk, ColourTableEdgeCases)
{
    StitchData data = StitchData().ColourChange(0, 0).ColourChangeInPlace().ColourChange(0, 0).End();
    const struct {
        std::vector<uint16_t> colours;
        uint32_t count;
        std::string pens;
    } cases[] = {
        {{0, 10, 79}, DesignFile::AUTO, std::string(BLACK) + " " + RED + " " + BLACK + " " + BLACK},
        {{12}, DesignFile::AUTO, std::string(NAVY) + " " + NAVY + " " + NAVY + " " + NAVY},
        {{}, DesignFile::AUTO, std::string(BLACK) + " " + BLACK + " " + BLACK + " " + BLACK},
        {{10, 12, 22}, 0x00050003, std::string(RED) + " " + NAVY + " " + GREEN + " " + RED},
    };
    for (const auto &c : cases) {
        DesignFile f = Design(100, data, c.colours);
        f.colourCount = c.count;
        f.colourHighBits = 0x0102;
        EXPECT_EQ(Walk(f).pens, c.pens);
    }
}

// A record reaching beyond the data ends the walk; a whole 2-byte control record does not.
TEST(StitchWalk, StopsAtARecordReachingBeyondTheData)
{
    const std::pair<std::vector<uint8_t>, size_t> cases[] = {
        {{0x80, 0x01, 0x05}, 1}, {{0x80, 0x02}, 1}, {{0x80, 0x30, 0x00}, 1}, {{0x05}, 1}, {{0x80, 0x40}, 2}};
    for (const auto &c : cases) {
        Recorder r = Walk(Design(100, StitchData().Stitch(3, 3).Raw(c.first)));
        EXPECT_EQ(r.records, c.second);
        EXPECT_EQ(r.count, 3u);
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
        {normal, 5000, -1, 93, 99, 93, 0},  // beyond the hoop: on the edge
        {normal, -11, 1100, 93, 99, 0, 99},
        {normal, 25000000, 550, 93, 99, 0, 49},  // 25,000,000 x 93 wraps negative in 32 bits
    };
    for (const auto &c : cases) {
        PixelPoint p = ScalePosition(c.x, c.y, c.hoop, c.w, c.h);
        EXPECT_EQ(std::to_string(p.x) + "," + std::to_string(p.y), std::to_string(c.px) + "," + std::to_string(c.py))
            << c.x << "," << c.y;
    }
}

// The hoop code picks the label, the drawing area in a 99 x 130 box and the scale; the walk
// starts at the hoop's centre.
TEST(StitchWalk, HoopsSizeTheAreaAndStartAtTheCentre)
{
    const struct {
        uint32_t hoop;
        const char *label, *ops;
    } cases[] = {
        {0, "Normal Hoop 93x99", "P0000FF M46,49 L46,49 L54,49"},
        {1, "Small Hoop 93x99", "P0000FF M46,49 L46,49 L65,49"},
        {2, "Large Hoop 93x124", "P0000FF M46,62 L46,62 L52,62"},
        {0x100, "Large Hoop 93x124", "P0000FF M46,62 L46,62 L52,62"},
        {0xFFFFFFFF, "Large Hoop 93x124", "P0000FF M46,62 L46,62 L52,62"},
    };
    for (const auto &c : cases) {
        int w, h;
        DrawingAreaFor(HoopFor(c.hoop), 99, 130, &w, &h);
        EXPECT_EQ(HoopFor(c.hoop).label + (" " + std::to_string(w) + "x" + std::to_string(h)), c.label);
        EXPECT_EQ(Walk(Design(10, StitchData().Stitch(100, 0).Stitch(0, 0).End(), {10}, c.hoop), w, h).ops, c.ops);
    }
}

TEST(ThreadPalette, HoldsEachCodeOnceAndBlackOutside)
{
    std::set<int> codes;
    for (const PaletteEntry &e : g_threadPalette)
        codes.insert(e.code);
    EXPECT_EQ(codes.size(), 78u);
    EXPECT_EQ(*codes.begin() + *codes.rbegin() * 100, 7801);
    const std::pair<int, ThreadColour> colours[] = {{2, 0xFFFFFF},  {10, 0x0000FF}, {12, 0x842F0B},
                                                     {78, 0x81ACE3}, {51, 0xF2FFFF}, {0, 0},
                                                     {79, 0},        {-1, 0},        {65535, 0}};
    for (const auto &c : colours)
        EXPECT_EQ(GetThreadColour(c.first), c.second) << c.first;
}

}  // namespace
