// The design file rules (header fields, extension, design data size, stitch limit, sizes and
// dates as shown) and the preview's stitch walk (pen operations, scaling and clamping, record
// counting, colour cycling, the hoop table and the thread palette).
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>

#include <set>
#include <string>
#include <vector>

#include "design/design_file.h"
#include "design/palette.h"
#include "design/stitch_walk.h"
#include "designgen/design_writer.h"

using namespace designgen;

namespace {

std::vector<uint8_t> Bytes(const std::vector<char> &chars) { return std::vector<uint8_t>(chars.begin(), chars.end()); }
size_t Scan(const std::vector<uint8_t> &file) { return ScanDesignDataSize(file.data(), file.size()); }

// The four fields, little-endian; a file shorter than the header reads what is missing as 0
// (our choice) and reports that it was short.
TEST(DesignHeader, ReadsTheFourFieldsAndZerosWhatIsMissing)
{
    std::vector<uint8_t> bytes(116, 0xEE);
    const uint8_t fields[][5] = {
        {0, 0x78, 0x56, 0x34, 0x12}, {24, 0x03, 0x00, 0x01, 0x00}, {28, 0xFE, 0xFF, 0xFF, 0xFF}, {32, 7, 0, 0, 0}};
    for (const auto &f : fields)
        for (int i = 0; i < 4; ++i)
            bytes[f[0] + i] = f[1 + i];
    DesignHeader h;
    EXPECT_TRUE(ParseDesignHeader(bytes.data(), bytes.size(), &h));
    EXPECT_EQ(std::vector<int64_t>({h.stitchDataOffset, h.colourCount, h.stitchCount, h.hoopCode}),
              std::vector<int64_t>({0x12345678, 0x00010003, -2, 7}));
    EXPECT_FALSE(ParseDesignHeader(bytes.data(), 31, &h));  // stitchCount (28..31) is cut off
    EXPECT_EQ(std::vector<int64_t>({h.colourCount, h.stitchCount, h.hoopCode}), std::vector<int64_t>({0x00010003, 0, 0}));
    EXPECT_FALSE(ParseDesignHeader(bytes.data(), 0, &h));
    EXPECT_EQ(h.stitchDataOffset, 0u);
    EXPECT_FALSE(ParseDesignHeader(bytes.data(), 115, &h));
}

TEST(DesignView, ChecksWhatTheRendererReads)
{
    DesignFile file;
    file.stitchCount = 3;
    file.colours = {10, 12};
    file.colourHighBits = 0xABCD;
    file.stitchData = StitchData().Stitch(1, 1).End().Bytes();
    std::vector<uint8_t> ok = Bytes(AssembleDesign(file));
    DesignView view;
    ASSERT_TRUE(ReadDesignView(ok.data(), ok.size(), &view));
    EXPECT_EQ(view.colourCount, 2);
    EXPECT_EQ(ColourCodeAt(view, 1), 12);  // the low 16 bits only
    EXPECT_EQ(view.stitches, ok.data() + 124);
    EXPECT_EQ(view.stitchLength, 4u);
    const struct {
        const char *what;
        uint32_t colourCount, offset;
        size_t cut;  // bytes removed from the header
        bool valid;
    } cases[] = {
        {"count taken from the low 16 bits", 0x7FFF0002, DesignFile::AUTO, 0, true},
        {"negative 16-bit count", 0x00008000, DesignFile::AUTO, 0, false},
        {"table beyond the end", 40, DesignFile::AUTO, 0, false},
        {"offset beyond the end", 2, 129, 0, false},
        {"offset at the end: no stitch data", 2, 128, 0, true},
        {"header cut short", 2, DesignFile::AUTO, 13, false},
        {"empty table", 0, DesignFile::AUTO, 0, true},
    };
    for (const auto &c : cases) {
        DesignFile f = file;
        f.colourCount = c.colourCount;
        std::vector<uint8_t> bytes = Bytes(AssembleDesign(f));  // 128 bytes
        if (c.offset != DesignFile::AUTO)
            bytes[0] = (uint8_t)c.offset;
        bytes.resize(c.cut ? 116 - c.cut : bytes.size());
        EXPECT_EQ(ReadDesignView(bytes.data(), bytes.size(), &view), c.valid) << c.what;
    }
}

TEST(HasExtension, ComparesTheTextAfterTheLastDot)
{
    const std::pair<const char *, int> cases[] = {
        {"C:\\designs\\b.VBD", 1}, {"C:\\designs\\b.vbd.", 1}, {"C:\\x.dir\\b", 0}, {"C:\\designs\\b", 0},
        {"b.vbdx", 0}, {"b.vbd.bak", 0}, {".vbd", 1}, {"vbd.", 1}, {"...", 0}, {"", 0}, {"a.VbD", 1}};
    for (const auto &c : cases)
        EXPECT_EQ(HasExtension(c.first, "vbd"), c.second) << c.first;
}

// The design data ends at the first 0x80 0x10 pair at an even distance from the (low 16
// bits of the) stitch data offset; without one, or with the offset beyond the end, the file
// size counts.
TEST(DesignDataSize, EndsAtTheEndRecordOrTheFileEnd)
{
    std::vector<uint8_t> trailing = Bytes(MakeDesign({500, 0, {10, 12}, 100}));
    EXPECT_EQ(Scan(trailing), trailing.size() - 100);
    DesignFile f;
    f.colours = {10};
    f.stitchData = StitchData().Stitch(1, 2).Stitch(3, 4).Bytes();
    std::vector<uint8_t> noEnd = Bytes(AssembleDesign(f));
    EXPECT_EQ(Scan(noEnd), noEnd.size());
    f.stitchData = StitchData().Stitch(1, 2).End().Bytes();
    std::vector<uint8_t> beyond = Bytes(AssembleDesign(f));
    beyond[0] = (uint8_t)(beyond.size() + 1);
    EXPECT_EQ(Scan(beyond), beyond.size());

    std::vector<uint8_t> file(300, 0x01);
    file[0] = 120, file[1] = 0, file[2] = 0x55;  // high bits of the offset are not used
    file[121] = 0x80, file[122] = 0x10;          // odd distance: not a record start
    EXPECT_EQ(Scan(file), 300u);
    // Record lengths are not decoded: a displacement pair 0x80 0x10 ends it too.
    file[124] = 0x80, file[125] = 0x01, file[126] = 0x80, file[127] = 0x10;
    EXPECT_EQ(Scan(file), 128u);
    for (size_t n : {0, 1})
        EXPECT_EQ(Scan(std::vector<uint8_t>(n, 0)), n);
}

TEST(StitchLimit, FollowsTheVersionCode)
{
    const struct {
        int version;
        int32_t stitches;
        bool tooLarge;
        int shown;
    } cases[] = {{2, 65535, false, 64000}, {2, 65536, true, 64000},  {1, 32700, false, 32000}, {1, 32701, true, 32000},
                 {-1, 32701, true, 32000}, {3, 65535, true, 32000}, {2, -1, false, 64000}};
    for (const auto &c : cases) {
        EXPECT_EQ(ExceedsStitchLimit(c.stitches, c.version), c.tooLarge) << c.version << " " << c.stitches;
        EXPECT_EQ(StitchLimitFor(c.version).shown, c.shown) << c.version;
    }
    EXPECT_FALSE(AsksMachineVersion(32700));
    EXPECT_TRUE(AsksMachineVersion(32701));
    EXPECT_TRUE(AsksMachineVersion(0xFFFFFFFFu));  // taken unsigned: a negative count asks too
}

TEST(ShownTexts, ThousandsKilobytesAndDates)
{
    const char *grouped[][2] = {{"", ""}, {"123", "123"}, {"1234", "1,234"}, {"1234567", "1,234,567"},
                                {"4294967295", "4,294,967,295"}};
    for (auto &c : grouped) {
        char *text = FormatThousands(c[0]);
        ASSERT_NE(text, nullptr);
        EXPECT_STREQ(text, c[1]);
        free(text);
    }
    const std::pair<uint32_t, const char *> kilobytes[] = {
        {0, "0"}, {1, "1"}, {1024, "1"}, {1025, "2"}, {1048577, "1,025"}, {0xFFFFFFFF, "4,194,304"}};
    for (auto &c : kilobytes) {
        char text[KILOBYTE_TEXT_SIZE];
        FormatKilobytes(c.first, text);
        EXPECT_STREQ(text, c.second) << c.first;
    }
    char date[DATE_TEXT_SIZE];
    FormatDesignDate({2001, 3, 5, 9, 7, 59}, date);
    EXPECT_STREQ(date, "2001/03/05 09:07");
    FormatDesignDate({30827, 12, 31, 23, 59, 59}, date);
    EXPECT_STREQ(date, "30827/12/31 23:59");
}

// ---- the stitch walk ----

// The walk's pen operations as text: "P<colour>" a pen, "M<x>,<y>" a move, "L<x>,<y>" a
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
    std::vector<uint8_t> bytes = Bytes(AssembleDesign(file));
    DesignView view;
    Recorder r;
    EXPECT_TRUE(ReadDesignView(bytes.data(), bytes.size(), &view));
    r.records = WalkStitches(view, width, height, r);
    return r;
}

// The three-stitch line: a line of no length at the centre, then two of 10 units; the third
// displacement is not drawn. Positive dy goes up; moves and control records move the pen.
TEST(StitchWalk, PenOperationsOfTheRecords)
{
    const struct {
        int32_t stitchCount;
        StitchData data;
        const char *ops;
        size_t records;
    } cases[] = {
        {4, StitchData().Stitch(10, 0).Stitch(10, 0).Stitch(10, 0).End(),
         "P0000FF M550,550 L550,550 L560,550 L570,550", 3},
        {100, StitchData()
                  .Stitch(0, 10)       // line at the centre, then up 10
                  .Stitch(-20, -5)     // line to (550, 540), then to (530, 545)
                  .Move(100, 100)      // (630, 445), no line
                  .Stitch(1, 1)        // line to (630, 445)
                  .Move(-30, 0, 0x04)  // (601, 444)
                  .Skip4(0x80, 0x10)   // skipped with its bytes: no end here
                  .Control(0x40)       // ignored
                  .Stitch(0, 0)        // line continues: (601, 444)
                  .End()
                  .Stitch(9, 9),  // behind the end record
         "P0000FF M550,550 L550,550 L550,540 M630,445 L630,445 M601,444 L601,444", 8},
    };
    for (const auto &c : cases) {
        Recorder r = Walk(Design(c.stitchCount, c.data));
        EXPECT_EQ(r.ops, c.ops);
        EXPECT_EQ(r.records, c.records);
    }
}

// At most stitchCount - 1 records, and a record reaching beyond the data ends the walk (a
// whole 2-byte control record does not): the pen and the start move, then one operation per
// record except the colour change (two).
TEST(StitchWalk, ProcessesAtMostStitchCountMinusOneRecordsInsideTheData)
{
    StitchData data = StitchData().Stitch(1, 0).Move(5, 5).Stitch(1, 0).ColourChange(0, 0).Stitch(1, 0).End();
    const std::pair<int32_t, size_t> cases[] = {{(int32_t)0x80000000, 0}, {-3, 0}, {0, 0}, {1, 0}, {2, 1},
                                                {3, 2}, {5, 4}, {6, 5}, {1000, 5}};
    for (const auto &c : cases) {
        Recorder r = Walk(Design(c.first, data));
        EXPECT_EQ(r.records, c.second) << c.first;
        EXPECT_EQ(r.count, 2 + c.second + (c.second >= 4 ? 1 : 0)) << c.first;
    }
    const std::pair<std::vector<uint8_t>, size_t> cut[] = {
        {{0x80, 0x01, 0x05}, 1}, {{0x80, 0x02}, 1}, {{0x80, 0x30, 0x00}, 1}, {{0x05}, 1}, {{0x80, 0x40}, 2}};
    for (const auto &c : cut) {
        Recorder r = Walk(Design(100, StitchData().Stitch(3, 3).Raw(c.first)));
        EXPECT_EQ(r.records, c.second);
        EXPECT_EQ(r.count, 3u);
    }
}

// Colours of the codes 1 and 0 (black), 10, 12 and 22, as the pens show them.
const std::string BLACK = "000000", RED = "0000FF", NAVY = "842F0B", GREEN = "1CC27F";

// The six colour blocks over three entries: 1, 2, 3, 1, 2, 3, through both kinds of colour
// change; one with displacement moves, one without stays where the needle is. Codes outside
// the palette (0, 79) draw black, one entry keeps its colour, an empty table draws black (our
// choice), and the count is taken from the low 16 bits.
TEST(StitchWalk, ColourTableEdgeCases)
{
    StitchData six;
    for (int kind : {0x01, 0x20, 0x0F, 0x80, 0x07}) {
        six.Stitch(2, 0);
        if (kind & 1)
            six.ColourChange(0, 3, kind);
        else
            six.ColourChangeInPlace(kind);
    }
    six.Stitch(2, 0).End();
    StitchData four = StitchData().ColourChange(0, 0).ColourChangeInPlace().ColourChange(0, 0).End();
    const struct {
        StitchData data;
        std::vector<uint16_t> colours;
        uint32_t count;
        std::string pens;
    } cases[] = {
        {six, {10, 12, 22}, DesignFile::AUTO, RED + " " + NAVY + " " + GREEN + " " + RED + " " + NAVY + " " + GREEN},
        {four, {0, 10, 79}, DesignFile::AUTO, BLACK + " " + RED + " " + BLACK + " " + BLACK},
        {four, {12}, DesignFile::AUTO, NAVY + " " + NAVY + " " + NAVY + " " + NAVY},
        {four, {}, DesignFile::AUTO, BLACK + " " + BLACK + " " + BLACK + " " + BLACK},
        {four, {10, 12, 22}, 0x00050003, RED + " " + NAVY + " " + GREEN + " " + RED},
    };
    for (const auto &c : cases) {
        DesignFile f = Design(100, c.data, c.colours);
        f.colourCount = c.count;
        f.colourHighBits = 0x0102;
        Recorder r = Walk(f);
        EXPECT_EQ(r.pens, c.pens);
        const std::string start = "P0000FF M550,550 L550,550 P842F0B M552,547 L552,547 P1CC27F M554,547";
        EXPECT_TRUE(&c != cases || r.ops.compare(0, start.size(), start) == 0) << r.ops;
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
        EXPECT_EQ(std::make_pair(p.x, p.y), std::make_pair(c.px, c.py)) << c.x << "," << c.y;
    }
}

// The hoop code picks the label, the drawing area in a 99 x 130 box and the scale; the walk
// starts at the hoop's centre.
TEST(StitchWalk, HoopsSizeTheAreaAndStartAtTheCentre)
{
    const char *large = "P0000FF M46,62 L46,62 L52,62";
    const struct {
        uint32_t hoop;
        const char *label, *ops;
    } cases[] = {{0, "Normal Hoop 93x99", "P0000FF M46,49 L46,49 L54,49"},
                 {1, "Small Hoop 93x99", "P0000FF M46,49 L46,49 L65,49"},
                 {2, "Large Hoop 93x124", large}, {0x100, "Large Hoop 93x124", large},
                 {0xFFFFFFFF, "Large Hoop 93x124", large}};
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
    const std::pair<int, ThreadColour> colours[] = {{2, 0xFFFFFF}, {10, 0x0000FF}, {12, 0x842F0B}, {78, 0x81ACE3},
                                                     {51, 0xF2FFFF}, {0, 0}, {79, 0}, {-1, 0}, {65535, 0}};
    for (const auto &c : colours)
        EXPECT_EQ(GetThreadColour(c.first), c.second) << c.first;
}

}  // namespace
