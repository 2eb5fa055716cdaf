// The run-length encoder of the animation clips: exact streams for the cases that decide
// between runs, literals and escapes, and round trips through a strict decoder.
#include <gtest/gtest.h>

#include <random>

#include "avi_reader.h"
#include "avigen/rle8.h"

using avigen::EncodeRle8;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes Encode(const Bytes &pixels, int width, int height) { return EncodeRle8(pixels.data(), width, height); }

Bytes Repeat(int n, uint8_t v) { return Bytes(n, v); }

// n indices with no two neighbours equal.
Bytes Distinct(int n, uint8_t first = 1)
{
    Bytes b;
    for (int i = 0; i < n; ++i)
        b.push_back((uint8_t)(first + i % 200));
    return b;
}

Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes &p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

struct ExactCase {
    const char *what;
    Bytes row;
    Bytes expected;  // the row's items, before the end-of-bitmap
};

TEST(AviRle8, EncodesOneRowAsExpected)
{
    const std::vector<ExactCase> cases = {
        {"one pixel", {9}, {1, 9}},
        {"uniform run", Repeat(10, 7), {10, 7}},
        {"index 0 runs are runs, not escapes", Repeat(4, 0), {4, 0}},
        {"two distinct: too short for absolute mode", {1, 2}, {1, 1, 1, 2}},
        {"a pair", {5, 5}, {2, 5}},
        {"three distinct: absolute, padded", {1, 2, 0}, {0, 3, 1, 2, 0, 0}},
        {"four distinct: absolute, even", {1, 2, 3, 4}, {0, 4, 1, 2, 3, 4}},
        {"a pair stays inside a literal", {1, 2, 2, 3}, {0, 4, 1, 2, 2, 3}},
        {"literal then run", {1, 2, 3, 8, 8, 8, 8}, {0, 3, 1, 2, 3, 0, 4, 8}},
        {"run then short tail", {6, 6, 6, 1, 2}, {3, 6, 1, 1, 1, 2}},
        {"pair then run", {4, 4, 5, 5, 5}, {2, 4, 3, 5}},
        {"run of 255 is one item", Repeat(255, 3), {255, 3}},
        {"run of 256 splits", Repeat(256, 3), {255, 3, 1, 3}},
        {"run of 600 splits twice", Repeat(600, 3), {255, 3, 255, 3, 90, 3}},
        {"literal of 256: 255 absolute (padded) and one run", Distinct(256),
         Cat({{0, 255}, Distinct(255), {0}, {1, Distinct(256)[255]}})},
        {"literal of 258: 255 absolute and a 3-literal", Distinct(258),
         Cat({{0, 255}, Distinct(255), {0, 0, 3}, Distinct(3, Distinct(256)[255]), {0}})},
    };
    for (const ExactCase &c : cases) {
        Bytes expected = Cat({c.expected, {0, 1}});
        EXPECT_EQ(Encode(c.row, (int)c.row.size(), 1), expected) << c.what;
    }
}

TEST(AviRle8, RowsEndWithEndOfLineAndTheLastWithEndOfBitmap)
{
    Bytes pixels = Cat({Repeat(3, 5), {1, 2, 3}, Repeat(3, 6)});
    EXPECT_EQ(Encode(pixels, 3, 3), (Bytes{3, 5, 0, 0, 0, 3, 1, 2, 3, 0, 0, 0, 3, 6, 0, 1}));
    // A run never carries over into the next row, even when the rows continue it.
    EXPECT_EQ(Encode(Repeat(8, 4), 4, 2), (Bytes{4, 4, 0, 0, 4, 4, 0, 1}));
}

TEST(AviRle8, EmptyBitmapIsJustTheEnd)
{
    EXPECT_EQ(EncodeRle8(nullptr, 5, 0), (Bytes{0, 1}));
}

// Many shapes of rows through the strict decoder: odd widths, widths at and around the
// 255 limit, few and many colours (short runs, pairs, literals of every length).
TEST(AviRle8, RoundTripsThroughAStrictDecoder)
{
    std::mt19937 random(12345);
    const int widths[] = {1, 2, 3, 4, 5, 7, 16, 31, 233, 254, 255, 256, 257, 509, 510, 511, 700};
    for (int width : widths) {
        for (int colours : {1, 2, 3, 16, 256}) {
            for (int runBias : {0, 1, 4}) {
                const int height = 5;
                Bytes pixels;
                uint8_t v = 0;
                for (int i = 0; i < width * height; ++i) {
                    // Keep the last index now and then, so runs of every length turn up.
                    if (random() % (runBias + 1) == 0)
                        v = (uint8_t)(random() % colours);
                    pixels.push_back(v);
                }
                Bytes encoded = Encode(pixels, width, height);
                SCOPED_TRACE("width " + std::to_string(width) + " colours " + std::to_string(colours) +
                             " bias " + std::to_string(runBias));
                EXPECT_EQ(encoded.size() % 2, 0u);
                Bytes decoded;
                ASSERT_EQ(avitest::DecodeRle8(encoded, width, height, &decoded), "");
                EXPECT_EQ(decoded, pixels);
            }
        }
    }
}

// Worst case: no two neighbours equal costs at most the pixels plus the literal headers
// and pads; a uniform row of 233 costs one item.
TEST(AviRle8, SizeStaysNearTheIdealForBothExtremes)
{
    Bytes noisy = Distinct(233);
    EXPECT_LE(Encode(noisy, 233, 1).size(), 233u + 2 + 1 + 2);
    EXPECT_EQ(Encode(Repeat(233, 0), 233, 1).size(), 4u);
}

}  // namespace
