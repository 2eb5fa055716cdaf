// The design file rules: header fields, extension test, design data size, stitch limit,
// and sizes and dates as shown.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>
#include <vector>

#include "design/design_file.h"
#include "designgen/design_writer.h"

using namespace designgen;

namespace {

std::vector<uint8_t> Bytes(const std::vector<char> &chars)
{
    return std::vector<uint8_t>(chars.begin(), chars.end());
}

size_t Scan(const std::vector<uint8_t> &file)
{
    return ScanDesignDataSize(file.data(), file.size());
}

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
    EXPECT_EQ(h.stitchDataOffset, 0x12345678u);
    EXPECT_EQ(h.colourCount, 0x00010003u);
    EXPECT_EQ(h.stitchCount, -2);
    EXPECT_EQ(h.hoopCode, 7u);

    EXPECT_FALSE(ParseDesignHeader(bytes.data(), 31, &h));  // stitchCount (28..31) is cut off
    EXPECT_EQ(h.colourCount, 0x00010003u);
    EXPECT_EQ(h.stitchCount, 0);
    EXPECT_EQ(h.hoopCode, 0u);
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
        {"b.vbdx", 0},             {"b.vbd.bak", 0},           {".vbd", 1},         {"vbd.", 1},
        {"...", 0},                {"", 0},                    {"a.VbD", 1},
    };
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
    file[0] = 120;
    file[1] = 0;
    file[2] = 0x55;  // high bits of the offset are not used
    file[121] = 0x80;  // odd distance: not a record start
    file[122] = 0x10;
    EXPECT_EQ(Scan(file), 300u);
    file[124] = 0x80;  // record lengths are not decoded: a displacement pair 0x80 0x10 ends it too
    file[125] = 0x01;
    file[126] = 0x80;
    file[127] = 0x10;
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
    } cases[] = {
        {2, 65535, false, 64000}, {2, 65536, true, 64000},  {1, 32700, false, 32000},
        {1, 32701, true, 32000},  {-1, 32701, true, 32000}, {3, 65535, true, 32000},
        {2, -1, false, 64000},
    };
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

}  // namespace
