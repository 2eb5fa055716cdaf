// The design file rules: header fields, extension test, design data size, stitch limit,
// and sizes and dates as shown.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <random>
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

TEST(DesignHeader, ReadsTheFourFieldsLittleEndian)
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
}

// Our choice for files shorter than the header: what is missing reads as 0.
TEST(DesignHeader, ShortFileReadsMissingFieldsAsZero)
{
    std::vector<uint8_t> bytes(31, 0x11);  // stitchCount (28..31) is cut off
    DesignHeader h;
    EXPECT_FALSE(ParseDesignHeader(bytes.data(), bytes.size(), &h));
    EXPECT_EQ(h.stitchDataOffset, 0x11111111u);
    EXPECT_EQ(h.colourCount, 0x11111111u);
    EXPECT_EQ(h.stitchCount, 0);
    EXPECT_EQ(h.hoopCode, 0u);
    EXPECT_FALSE(ParseDesignHeader(bytes.data(), 0, &h));
    EXPECT_EQ(h.stitchDataOffset, 0u);
    bytes.resize(115, 0x11);
    EXPECT_FALSE(ParseDesignHeader(bytes.data(), bytes.size(), &h));
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
    EXPECT_EQ(ColourCodeAt(view, 0), 10);  // the low 16 bits only
    EXPECT_EQ(ColourCodeAt(view, 1), 12);
    EXPECT_EQ(view.stitches, ok.data() + 124);
    EXPECT_EQ(view.stitchLength, 4u);

    struct Case {
        const char *what;
        uint32_t colourCount, offset;
        size_t cut;  // bytes removed from the end
        bool valid;
    } cases[] = {
        {"count taken from the low 16 bits", 0x7FFF0002, DesignFile::AUTO, 0, true},
        {"negative 16-bit count", 0x00008000, DesignFile::AUTO, 0, false},
        {"count -1", 0x0000FFFF, DesignFile::AUTO, 0, false},
        {"table beyond the end", 40, DesignFile::AUTO, 0, false},
        {"offset beyond the end", 2, 129, 0, false},
        {"offset at the end: no stitch data", 2, 128, 0, true},
        {"header cut short", 2, DesignFile::AUTO, 13, false},
        {"empty table", 0, DesignFile::AUTO, 0, true},
    };
    for (const Case &c : cases) {
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
    struct Case {
        const char *path;
        int expected;
    } cases[] = {
        {"C:\\designs\\b.VBD", 1},
        {"C:\\designs\\b.vbd.", 1},
        {"C:\\designs\\b.vbd...", 1},
        {"C:\\x.dir\\b", 0},
        {"C:\\designs\\b", 0},
        {"b.vbdx", 0},
        {"b.vb", 0},
        {"b.tar.vbd", 1},
        {"b.vbd.bak", 0},
        {".vbd", 1},
        {"vbd", 0},
        {"vbd.", 1},  // the end dot is skipped; the run before it is shorter than the path
        {"...", 0},
        {"", 0},
        {"a.VbD", 1},
    };
    for (const Case &c : cases)
        EXPECT_EQ(HasExtension(c.path, "vbd"), c.expected) << c.path;
}

TEST(DesignDataSize, EndsAtTheEndRecordNotTheFileEnd)
{
    std::vector<uint8_t> file = Bytes(MakeDesign({500, 0, {10, 12}, 100}));
    EXPECT_EQ(Scan(file), file.size() - 100);
    std::vector<uint8_t> plain = Bytes(MakeDesign({500, 0, {10, 12}, 0}));
    EXPECT_EQ(Scan(plain), plain.size());
}

TEST(DesignDataSize, FileSizeWhenThereIsNoEnd)
{
    DesignFile f;
    f.colours = {10};
    f.stitchData = StitchData().Stitch(1, 2).Stitch(3, 4).Bytes();
    std::vector<uint8_t> noEnd = Bytes(AssembleDesign(f));
    EXPECT_EQ(Scan(noEnd), noEnd.size());

    f.stitchData = StitchData().Stitch(1, 2).End().Bytes();
    std::vector<uint8_t> beyond = Bytes(AssembleDesign(f));
    beyond[0] = (uint8_t)(beyond.size() + 1);  // offset one past the end
    EXPECT_EQ(Scan(beyond), beyond.size());

    // The end record's first byte is the last byte: its pair does not lie wholly inside.
    f.stitchData = StitchData().Stitch(1, 2).Raw({0x80}).Bytes();
    std::vector<uint8_t> cut = Bytes(AssembleDesign(f));
    cut.push_back(0x10);
    cut[0] = (uint8_t)(cut[0] + 1);  // pairs now start one byte later and the last is split
    EXPECT_EQ(Scan(cut), cut.size());

    for (size_t n : {0, 1}) {
        std::vector<uint8_t> tiny(n, 0);
        EXPECT_EQ(Scan(tiny), n);
    }
}

TEST(DesignDataSize, ScansPairsAtEvenDistancesFromTheLow16BitOffset)
{
    std::vector<uint8_t> file(300, 0x01);
    file[0] = 120;
    file[1] = 0;
    file[2] = 0x55;  // high bits of the offset are not used
    file[3] = 0x66;
    file[121] = 0x80;  // odd distance: not a record start
    file[122] = 0x10;
    EXPECT_EQ(Scan(file), 300u);
    file[130] = 0x80;
    file[131] = 0x10;
    EXPECT_EQ(Scan(file), 132u);
    // Record lengths are not decoded: a displacement pair reading 0x80 0x10 ends it too.
    file[124] = 0x80;
    file[125] = 0x01;
    file[126] = 0x80;
    file[127] = 0x10;
    EXPECT_EQ(Scan(file), 128u);
    // An offset of 0 scans from the start of the file, header included.
    std::vector<uint8_t> zero = {0x00, 0x00, 0x80, 0x10, 0x80, 0x10};
    EXPECT_EQ(Scan(zero), 4u);
}

// The word-at-a-time scan against the plain pair loop, with the end pair at every position
// around the block boundaries and random data around it.
TEST(DesignDataSize, AgreesWithAPairByPairScan)
{
    auto reference = [](const std::vector<uint8_t> &f) -> size_t {
        if (f.size() < 2)
            return f.size();
        size_t offset = f[0] | f[1] << 8;
        if (offset > f.size())
            return f.size();
        for (size_t at = offset; at + 2 <= f.size(); at += 2)
            if (f[at] == 0x80 && f[at + 1] == 0x10)
                return at + 2;
        return f.size();
    };
    std::mt19937 random(4);
    for (int round = 0; round < 3000; ++round) {
        size_t size = 2 + random() % 200;
        std::vector<uint8_t> f(size);
        for (uint8_t &b : f)
            b = (uint8_t)(random() % 3 == 0 ? (random() % 2 ? 0x80 : 0x10) : random());
        f[0] = (uint8_t)(random() % (size + 3));
        f[1] = 0;
        if (round % 2) {  // plant an end pair somewhere
            size_t at = random() % size;
            f[at] = 0x80;
            if (at + 1 < size)
                f[at + 1] = 0x10;
        }
        ASSERT_EQ(Scan(f), reference(f)) << "round " << round;
    }
}

TEST(StitchLimit, FollowsTheVersionCode)
{
    struct Case {
        int version;
        int32_t stitches;
        bool tooLarge;
        int shown;
    } cases[] = {
        {2, 65535, false, 64000}, {2, 65536, true, 64000},  {1, 32700, false, 32000},
        {1, 32701, true, 32000},  {-1, 32701, true, 32000}, {0, 32700, false, 32000},
        {3, 65535, true, 32000},  {2, -1, false, 64000},    {1, (int32_t)0x80000000, false, 32000},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(ExceedsStitchLimit(c.stitches, c.version), c.tooLarge) << c.version << " " << c.stitches;
        EXPECT_EQ(StitchLimitFor(c.version).shown, c.shown) << c.version;
    }
    EXPECT_FALSE(AsksMachineVersion(32700));
    EXPECT_TRUE(AsksMachineVersion(32701));
    EXPECT_TRUE(AsksMachineVersion(0xFFFFFFFFu));  // taken unsigned: a negative count asks too
}

TEST(FormatThousands, GroupsFromTheRight)
{
    const char *cases[][2] = {{"", ""},           {"7", "7"},           {"123", "123"},
                              {"1234", "1,234"},  {"123456", "123,456"}, {"1234567", "1,234,567"},
                              {"4294967295", "4,294,967,295"}};
    for (auto &c : cases) {
        char *text = FormatThousands(c[0]);
        ASSERT_NE(text, nullptr);
        EXPECT_STREQ(text, c[1]);
        free(text);
    }
}

TEST(FormatKilobytes, RoundsUpAndGroups)
{
    struct Case {
        uint32_t bytes;
        const char *text;
    } cases[] = {{0, "0"},          {1, "1"},         {1024, "1"},
                 {1025, "2"},       {1048576, "1,024"}, {1048577, "1,025"},
                 {0xFFFFFFFF, "4,194,304"}};
    for (const Case &c : cases) {
        char text[KILOBYTE_TEXT_SIZE];
        FormatKilobytes(c.bytes, text);
        EXPECT_STREQ(text, c.text) << c.bytes;
    }
}

TEST(FormatDesignDate, DropsTheSeconds)
{
    char text[DATE_TEXT_SIZE];
    FormatDesignDate({2001, 3, 5, 9, 7, 59}, text);
    EXPECT_STREQ(text, "2001/03/05 09:07");
    FormatDesignDate({30827, 12, 31, 23, 59, 59}, text);
    EXPECT_STREQ(text, "30827/12/31 23:59");
}

}  // namespace
