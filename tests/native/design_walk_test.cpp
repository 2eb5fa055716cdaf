// The preview's stitch walk: pen operations, scaling and clamping, record counting, colour
// cycling, the hoop table and the thread palette.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
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

class Recorder : public PenSink {
public:
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
    std::vector<Op> ops;
};

const ThreadColour BLACK = 0x000000, RED = 0x0000FF, NAVY = 0x842F0B, GREEN = 0x1CC27F;  // 1/0, 10, 12, 22

struct Walked {
    std::vector<Op> ops;
    std::vector<ThreadColour> pens;
    size_t records;
    bool valid;
};

// Walks a hand-made design; the drawing area defaults to one pixel per stitch unit.
Walked Walk(const DesignFile &file, int width = 1100, int height = 1100)
{
    std::vector<char> chars = AssembleDesign(file);
    std::vector<uint8_t> bytes(chars.begin(), chars.end());
    DesignView view;
    Walked w{};
    w.valid = ReadDesignView(bytes.data(), bytes.size(), &view);
    if (!w.valid)
        return w;
    Recorder r;
    w.records = WalkStitches(view, width, height, r);
    w.ops = r.ops;
    w.pens = r.Pens();
    return w;
}

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

TEST(StitchWalk, ThreeStitchLineDrawsTwoSegmentsAndLeavesTheLastDisplacement)
{
    Walked w = Walk(Design(4, StitchData().Stitch(10, 0).Stitch(10, 0).Stitch(10, 0).End()));
    EXPECT_EQ(w.ops, (std::vector<Op>{P(RED), M(550, 550), L(550, 550), L(560, 550), L(570, 550)}));
    EXPECT_EQ(w.records, 3u);
}

TEST(StitchWalk, ProcessesAtMostStitchCountMinusOneRecords)
{
    StitchData data = StitchData().Stitch(1, 0).Move(5, 5).Stitch(1, 0).ColourChange(0, 0).Stitch(1, 0).End();
    struct Case {
        int32_t stitchCount;
        size_t records;
    } cases[] = {{(int32_t)0x80000000, 0}, {-3, 0}, {0, 0}, {1, 0}, {2, 1}, {3, 2}, {5, 4}, {6, 5}, {1000, 5}};
    for (const Case &c : cases) {
        Walked w = Walk(Design(c.stitchCount, data));
        EXPECT_EQ(w.records, c.records) << c.stitchCount;
        // Pen and start move always; one operation per record except the colour change (two).
        size_t ops = 2 + c.records + (c.records >= 4 ? 1 : 0);
        EXPECT_EQ(w.ops.size(), ops) << c.stitchCount;
    }
}

TEST(StitchWalk, StitchCountOneDrawsNothingButThePen)
{
    Walked w = Walk(Design(1, StitchData().Stitch(50, 50).Stitch(50, 50).End()));
    EXPECT_EQ(w.ops, (std::vector<Op>{P(RED), M(550, 550)}));
}

TEST(StitchWalk, PositiveDyGoesUpAndControlRecordsMoveThePen)
{
    StitchData data = StitchData()
                          .Stitch(0, 10)                 // line at the centre, then up 10
                          .Stitch(-20, -5)               // line to (550, 540), then to (530, 545)
                          .Move(100, 100)                // (630, 445), no line
                          .Stitch(1, 1)                  // line to (630, 445)
                          .Move(-30, 0, 0x04)            // (601, 444)
                          .Skip4(0x80, 0x10)             // skipped with its bytes: no end here
                          .Control(0x40)                 // ignored
                          .Stitch(0, 0)                  // line continues: (601, 444)
                          .End()
                          .Stitch(9, 9);                 // behind the end record
    Walked w = Walk(Design(100, data));
    EXPECT_EQ(w.ops, (std::vector<Op>{P(RED), M(550, 550), L(550, 550), L(550, 540), M(630, 445), L(630, 445),
                                      M(601, 444), L(601, 444)}));
    EXPECT_EQ(w.records, 8u);
}

TEST(StitchWalk, ColourChangesCycleFromTheSecondEntry)
{
    // Six blocks over three entries: 1, 2, 3, 1, 2, 3; both kinds of colour change.
    StitchData data;
    int kinds[] = {0x01, 0x20, 0x0F, 0x80, 0x07};
    for (int kind : kinds) {
        data.Stitch(2, 0);
        if (kind & 1)
            data.ColourChange(0, 3, kind);
        else
            data.ColourChangeInPlace(kind);
    }
    data.Stitch(2, 0).End();
    Walked w = Walk(Design(100, data, {10, 12, 22}));
    EXPECT_EQ(w.pens, (std::vector<ThreadColour>{RED, NAVY, GREEN, RED, NAVY, GREEN}));
    // A colour change with displacement moves; one without stays where the needle is.
    EXPECT_EQ(w.ops[4], M(552, 547));
    EXPECT_EQ(w.ops[7], M(554, 547));
}

TEST(StitchWalk, ColourTableEdgeCases)
{
    StitchData data = StitchData().ColourChange(0, 0).ColourChangeInPlace().ColourChange(0, 0).End();
    struct Case {
        const char *what;
        std::vector<uint16_t> colours;
        uint32_t count;
        std::vector<ThreadColour> pens;
    } cases[] = {
        {"codes outside the palette draw black", {0, 10, 79}, DesignFile::AUTO, {BLACK, RED, BLACK, BLACK}},
        {"one entry keeps its colour", {12}, DesignFile::AUTO, {NAVY, NAVY, NAVY, NAVY}},
        {"an empty table draws black", {}, DesignFile::AUTO, {BLACK, BLACK, BLACK, BLACK}},
        {"two entries alternate", {10, 12}, DesignFile::AUTO, {RED, NAVY, RED, NAVY}},
        {"count from the low 16 bits", {10, 12, 22}, 0x00050003, {RED, NAVY, GREEN, RED}},
    };
    for (const Case &c : cases) {
        DesignFile f = Design(100, data, c.colours);
        f.colourCount = c.count;
        f.colourHighBits = 0x0102;
        Walked w = Walk(f);
        ASSERT_TRUE(w.valid) << c.what;
        EXPECT_EQ(w.pens, c.pens) << c.what;
    }
}

TEST(StitchWalk, StopsAtARecordReachingBeyondTheData)
{
    struct Case {
        std::vector<uint8_t> tail;
        size_t records;
    } cases[] = {
        {{0x80, 0x01, 0x05}, 1},  // colour change cut short
        {{0x80, 0x02}, 1},        // move without its displacement
        {{0x80, 0x30, 0x00}, 1},  // skip record cut short
        {{0x05}, 1},              // half a stitch record
        {{0x80, 0x40}, 2},        // a whole 2-byte control record is fine
    };
    for (const Case &c : cases) {
        Walked w = Walk(Design(100, StitchData().Stitch(3, 3).Raw(c.tail)));
        EXPECT_EQ(w.records, c.records);
        EXPECT_EQ(w.ops.size(), 3u);
    }
}

TEST(StitchWalk, ScalesTruncatingAndClampsToTheArea)
{
    const Hoop &normal = HoopFor(0), &small = HoopFor(1), &large = HoopFor(7);
    struct Case {
        const Hoop &hoop;
        int32_t x, y;
        int w, h, px, py;
    } cases[] = {
        {normal, 550, 550, 93, 99, 46, 49},     // 46.5 and 49.5 truncated
        {small, 250, 250, 93, 99, 46, 49},
        {large, 800, 1000, 93, 124, 46, 62},
        {large, 1599, 1999, 93, 124, 92, 123},
        {normal, 5000, -1, 93, 99, 93, 0},      // beyond the hoop: on the edge
        {normal, -11, 1100, 93, 99, 0, 99},
        {normal, 25000000, 550, 93, 99, 0, 49}, // 25,000,000 x 93 wraps negative in 32 bits
    };
    for (const Case &c : cases) {
        PixelPoint p = ScalePosition(c.x, c.y, c.hoop, c.w, c.h);
        EXPECT_EQ(p.x, c.px) << c.x << "," << c.y;
        EXPECT_EQ(p.y, c.py) << c.x << "," << c.y;
    }
}

TEST(StitchWalk, StartsAtTheHoopCentreInThePreviewBox)
{
    StitchData data = StitchData().Stitch(100, 0).Stitch(0, 0).End();
    struct Case {
        uint32_t hoop;
        int w, h;
        std::vector<Op> ops;
    } cases[] = {
        {0, 93, 99, {P(RED), M(46, 49), L(46, 49), L(54, 49)}},
        {1, 93, 99, {P(RED), M(46, 49), L(46, 49), L(65, 49)}},
        {2, 93, 124, {P(RED), M(46, 62), L(46, 62), L(52, 62)}},
        {0xFFFFFFFF, 93, 124, {P(RED), M(46, 62), L(46, 62), L(52, 62)}},
    };
    for (const Case &c : cases) {
        int w, h;
        DrawingAreaFor(HoopFor(c.hoop), 99, 130, &w, &h);
        EXPECT_EQ(w, c.w);
        EXPECT_EQ(h, c.h);
        EXPECT_EQ(Walk(Design(10, data, {10}, c.hoop), w, h).ops, c.ops) << c.hoop;
    }
}

TEST(Hoops, LabelsAndSizes)
{
    EXPECT_STREQ(HoopFor(0).label, "Normal Hoop");
    EXPECT_STREQ(HoopFor(1).label, "Small Hoop");
    for (uint32_t code : {2u, 7u, 0x100u, 0xFFFFFFFFu})
        EXPECT_STREQ(HoopFor(code).label, "Large Hoop") << code;
    EXPECT_EQ(HoopFor(0).width, 1100);
    EXPECT_EQ(HoopFor(1).height, 500);
    EXPECT_EQ(HoopFor(2).width, 1600);
    EXPECT_EQ(HoopFor(2).height, 2000);
}

TEST(ThreadPalette, HoldsEachCodeOnceAndBlackOutside)
{
    std::set<int> codes;
    for (const PaletteEntry &e : g_threadPalette)
        codes.insert(e.code);
    EXPECT_EQ(codes.size(), 78u);
    EXPECT_EQ(*codes.begin(), 1);
    EXPECT_EQ(*codes.rbegin(), 78);
    EXPECT_EQ(GetThreadColour(2), 0xFFFFFFu);
    EXPECT_EQ(GetThreadColour(10), RED);
    EXPECT_EQ(GetThreadColour(12), NAVY);
    EXPECT_EQ(GetThreadColour(78), 0x81ACE3u);
    EXPECT_EQ(GetThreadColour(51), 0xF2FFFFu);
    for (int code : {0, 79, -1, 65535})
        EXPECT_EQ(GetThreadColour(code), BLACK) << code;
}

// The sample designs are what the tests and the demo draw: each is consistent with the
// reading rules, and the walk takes exactly its stitchCount - 1 records, ending at the end.
TEST(SampleDesigns, WalkWholeAndStayInsideTheArea)
{
    for (const SampleDesign &s : SampleDesigns()) {
        std::vector<char> chars = MakeDesign(s.spec);
        std::vector<uint8_t> bytes(chars.begin(), chars.end());
        DesignView view;
        ASSERT_TRUE(ReadDesignView(bytes.data(), bytes.size(), &view)) << s.fileName;
        EXPECT_EQ(view.header.stitchCount, s.spec.stitchCount);
        size_t dataSize = ScanDesignDataSize(bytes.data(), bytes.size());
        EXPECT_EQ(dataSize, bytes.size() - s.spec.trailingBytes) << s.fileName;
        int w, h;
        DrawingAreaFor(HoopFor(view.header.hoopCode), 99, 130, &w, &h);
        Recorder r;
        size_t records = WalkStitches(view, w, h, r);
        EXPECT_EQ(records, (size_t)s.spec.stitchCount - 1) << s.fileName;
        EXPECT_EQ(r.Pens().size(), s.spec.colours.size()) << s.fileName;
        size_t lines = 0, inside = 0;
        for (const Op &op : r.ops) {
            if (op.kind == 'P')
                continue;
            lines += op.kind == 'L';
            // Motifs keep away from the hoop's edge, so nothing is clamped.
            inside += op.a > 0 && op.a < w && op.b > 0 && op.b < h;
        }
        EXPECT_GT(lines, records * 9 / 10) << s.fileName;
        EXPECT_EQ(inside, r.ops.size() - r.Pens().size()) << s.fileName;
    }
}

}  // namespace
