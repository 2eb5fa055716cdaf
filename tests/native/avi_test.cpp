// The generator of the transfer clips: the BI_RLE8 encoder against a strict decoder written
// apart from it, and the file an animation control reads (233 x 82, 35 frames at 30 per
// second, the frames back through the index). The marker's way is watched under Wine.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "avigen/avi_writer.h"
#include "avigen/rle8.h"
#include "avigen/scene.h"

using namespace avigen;
using Bytes = std::vector<uint8_t>;

namespace {

// Decodes `height` rows of `width` indices. Every row must be written whole, every row but
// the last end with end-of-line exactly at its end, the last with end-of-bitmap, literals
// be padded with a zero, and nothing follow. Returns "" or what was wrong.
std::string DecodeRle8(const Bytes &in, int width, int height, Bytes *rows)
{
    rows->assign((size_t)width * height, 0);
    size_t i = 0;
    for (int x = 0, y = 0; i + 2 <= in.size();) {
        uint8_t a = in[i], b = in[i + 1];
        i += 2;
        if (a > 0 || b >= 3) {
            int n = a > 0 ? a : b;
            if (x + n > width || (a == 0 && i + n + (n & 1) > in.size()))
                return "run past the row end at row " + std::to_string(y);
            for (int k = 0; k < n; ++k)
                (*rows)[(size_t)y * width + x + k] = a > 0 ? b : in[i + k];
            if (a == 0) {
                i += n + (n & 1);
                if ((n & 1) && in[i - 1] != 0)
                    return "pad byte not zero";
            }
            x += n;
        } else if (b == 2) {
            return "delta escape";
        } else if (x != width) {
            return "row " + std::to_string(y) + " ends at x=" + std::to_string(x);
        } else if (b == 1) {
            return y != height - 1 ? "end-of-bitmap at row " + std::to_string(y)
                   : i != in.size() ? "bytes after end-of-bitmap" : "";
        } else if (++y == height) {
            return "end-of-line after the last row";
        } else {
            x = 0;
        }
    }
    return "no end-of-bitmap";
}

// Rows of widths at and around the 255 limit of a run and a literal, with few and many
// colours and runs of every length, come back whole through the strict decoder.
TEST(AviRle8, RoundTripsThroughAStrictDecoder)
{
    std::mt19937 random(12345);
    for (int width : {1, 2, 3, 4, 5, 233, 254, 255, 256, 257, 258, 509, 510, 511, 700}) {
        for (int colours : {1, 2, 3, 256}) {
            for (int runBias : {0, 1, 4}) {
                const int height = 3;
                Bytes pixels;
                uint8_t v = 0;
                for (int i = 0; i < width * height; ++i) {
                    if (random() % (runBias + 1) == 0)
                        v = (uint8_t)(random() % colours);
                    pixels.push_back(v);
                }
                // No two neighbours equal, or pairs only: literals of the whole row length,
                // gathered one or two indices at a time up to the 255 limit.
                if (colours == 256 && runBias < 2)
                    for (int i = 0; i < width * height; ++i)
                        pixels[i] = (uint8_t)(1 + (runBias ? i / 2 : i) % 200);
                Bytes encoded = EncodeRle8(pixels.data(), width, height), decoded;
                SCOPED_TRACE("width " + std::to_string(width) + " colours " + std::to_string(colours) + " bias " +
                             std::to_string(runBias));
                ASSERT_EQ(DecodeRle8(encoded, width, height, &decoded), "");
                EXPECT_EQ(decoded, pixels);
            }
        }
    }
}

uint32_t Le32(const Bytes &f, size_t at)
{
    return f[at] | f[at + 1] << 8 | f[at + 2] << 16 | (uint32_t)f[at + 3] << 24;
}

// Offset of the first occurrence of a chunk id or list type (the headers and the index
// hold no such bytes before them: the frames use only the first few palette indices).
size_t Find(const Bytes &f, const char *id)
{
    for (size_t at = 12; at + 8 <= f.size(); ++at)
        if (memcmp(&f[at], id, 4) == 0)
            return at;
    ADD_FAILURE() << "no " << id;
    return 0;
}

class TransferClip : public ::testing::TestWithParam<Direction> {};

TEST_P(TransferClip, IsA233By82ClipOf35RunLengthKeyFrames)
{
    Clip clip = MakeTransferClip(GetParam());
    Bytes f = WriteAvi(clip.format, clip.frames);
    ASSERT_GT(f.size(), 12u);
    EXPECT_EQ(std::string(f.begin(), f.begin() + 4) + std::string(f.begin() + 8, f.begin() + 12), "RIFFAVI ");
    EXPECT_EQ(Le32(f, 4) + 8, f.size());
    size_t avih = Find(f, "avih") + 8, strh = Find(f, "strh") + 8, strf = Find(f, "strf") + 8;
    // Microseconds per frame, frames, size; stream type and rate / scale; size (positive: bottom-up
    // rows), bits and compression.
    EXPECT_EQ(std::vector<uint32_t>({Le32(f, avih), Le32(f, avih + 16), Le32(f, avih + 32), Le32(f, avih + 36),
                                     Le32(f, strh), Le32(f, strh + 24) / Le32(f, strh + 20), Le32(f, strf + 4),
                                     Le32(f, strf + 8), f[strf + 14], Le32(f, strf + 16)}),
              std::vector<uint32_t>({33333, 35, 233, 82, FourCc('v', 'i', 'd', 's'), 30, 233, 82, 8,
                                     (uint32_t)BI_RLE8_COMPRESSION}));

    // Every frame through the index: a key frame whose rows, turned over, are the drawing.
    size_t movi = Find(f, "movi"), idx1 = Find(f, "idx1") + 8;  // index offsets count from "movi"
    ASSERT_EQ(Le32(f, idx1 - 4), 35u * 16);
    for (int i = 0; i < 35; ++i) {
        size_t entry = idx1 + 16 * i, chunk = movi + Le32(f, entry + 8);
        EXPECT_EQ(Le32(f, entry), FourCc('0', '0', 'd', 'c'));
        EXPECT_EQ(Le32(f, entry + 4), (uint32_t)AVIIF_KEYFRAME);
        ASSERT_EQ(Le32(f, chunk + 4), Le32(f, entry + 12));
        Bytes rows, frame;
        ASSERT_EQ(DecodeRle8(Bytes(f.begin() + chunk + 8, f.begin() + chunk + 8 + Le32(f, chunk + 4)), CLIP_WIDTH,
                             CLIP_HEIGHT, &rows),
                  "")
            << "frame " << i;
        for (int y = CLIP_HEIGHT - 1; y >= 0; --y)
            frame.insert(frame.end(), rows.begin() + y * CLIP_WIDTH, rows.begin() + (y + 1) * CLIP_WIDTH);
        EXPECT_EQ(frame, clip.frames[i]) << "frame " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(AviFile, TransferClip, ::testing::Values(Direction::Send, Direction::Receive),
                         [](const ::testing::TestParamInfo<Direction> &i) {
                             return i.param == Direction::Send ? "Sending" : "Receiving";
                         });

}  // namespace
