// The AVI files of the two transfer clips: the RIFF layout an animation control reads
// (one video stream of key frames in BI_RLE8 with a palette, an index), and the drawings:
// a uniform background and a marker that travels the right way.
#include <gtest/gtest.h>

#include <ostream>

#include "avi_reader.h"
#include "avigen/avi_writer.h"
#include "avigen/scene.h"

namespace avigen {
void PrintTo(Direction d, std::ostream *os) { *os << (d == Direction::Send ? "send" : "receive"); }
}  // namespace avigen

using namespace avigen;
using avitest::Chunk;
using avitest::Le16;
using avitest::Le32;
using Bytes = std::vector<uint8_t>;

namespace {

// What the tests read back from a file.
struct ParsedClip {
    std::string error;
    uint32_t microSecPerFrame = 0, flags = 0, totalFrames = 0, streams = 0, width = 0, height = 0;
    uint32_t mainBuffer = 0;
    uint32_t fccType = 0, fccHandler = 0, scale = 0, rate = 0, length = 0, streamBuffer = 0;
    uint16_t frameRect[4] = {};
    uint32_t bmpWidth = 0, bmpHeight = 0, compression = 0, sizeImage = 0, coloursUsed = 0;
    uint16_t planes = 0, bitCount = 0;
    std::vector<Rgb> palette;
    std::vector<Bytes> encoded;    // the '00dc' chunks in file order
    std::vector<Bytes> frames;     // decoded, top row first
};

ParsedClip Parse(const Bytes &f)
{
    ParsedClip p;
    std::vector<Chunk> top;
    p.error = avitest::ParseChunks(f, 0, f.size(), &top);
    if (!p.error.empty())
        return p;
    auto fail = [&](const std::string &e) {
        p.error = e;
        return p;
    };
    if (top.size() != 1 || top[0].id != avitest::RIFF_ID || top[0].type != FourCc('A', 'V', 'I', ' '))
        return fail("not one RIFF AVI form");
    if (top[0].size + 8 != f.size())
        return fail("RIFF size is not the file size");
    const Chunk &riff = top[0];
    const Chunk *hdrl = riff.Find(avitest::LIST_ID, FourCc('h', 'd', 'r', 'l'));
    const Chunk *movi = riff.Find(avitest::LIST_ID, FourCc('m', 'o', 'v', 'i'));
    const Chunk *idx1 = riff.Find(FourCc('i', 'd', 'x', '1'));
    if (!hdrl || !movi || !idx1 || riff.children.size() != 3)
        return fail("RIFF is not hdrl, movi, idx1");
    if (&riff.children[0] != hdrl || &riff.children[1] != movi)
        return fail("hdrl and movi out of order");
    const Chunk *avih = hdrl->Find(FourCc('a', 'v', 'i', 'h'));
    const Chunk *strl = hdrl->Find(avitest::LIST_ID, FourCc('s', 't', 'r', 'l'));
    if (!avih || !strl || hdrl->children.size() != 2 || &hdrl->children[0] != avih)
        return fail("hdrl is not avih, strl");
    if (avih->size != AVI_MAIN_HEADER_SIZE)
        return fail("avih size");
    const uint8_t *a = &f[avih->data];
    p.microSecPerFrame = Le32(a);
    p.flags = Le32(a + 12);
    p.totalFrames = Le32(a + 16);
    p.streams = Le32(a + 24);
    p.mainBuffer = Le32(a + 28);
    p.width = Le32(a + 32);
    p.height = Le32(a + 36);
    const Chunk *strh = strl->Find(FourCc('s', 't', 'r', 'h'));
    const Chunk *strf = strl->Find(FourCc('s', 't', 'r', 'f'));
    if (!strh || !strf || strl->children.size() != 2 || &strl->children[0] != strh)
        return fail("strl is not strh, strf");
    if (strh->size != AVI_STREAM_HEADER_SIZE)
        return fail("strh size");
    const uint8_t *s = &f[strh->data];
    p.fccType = Le32(s);
    p.fccHandler = Le32(s + 4);
    p.scale = Le32(s + 20);
    p.rate = Le32(s + 24);
    p.length = Le32(s + 32);
    p.streamBuffer = Le32(s + 36);
    for (int i = 0; i < 4; ++i)
        p.frameRect[i] = Le16(s + 48 + 2 * i);
    const uint8_t *b = &f[strf->data];
    if (strf->size < BITMAP_INFO_HEADER_SIZE || Le32(b) != BITMAP_INFO_HEADER_SIZE)
        return fail("strf is not a BITMAPINFOHEADER");
    p.bmpWidth = Le32(b + 4);
    p.bmpHeight = Le32(b + 8);
    p.planes = Le16(b + 12);
    p.bitCount = Le16(b + 14);
    p.compression = Le32(b + 16);
    p.sizeImage = Le32(b + 20);
    p.coloursUsed = Le32(b + 32);
    if (strf->size != BITMAP_INFO_HEADER_SIZE + 4 * p.coloursUsed)
        return fail("strf size is not the header and the palette");
    for (uint32_t i = 0; i < p.coloursUsed; ++i) {
        const uint8_t *q = b + BITMAP_INFO_HEADER_SIZE + 4 * i;
        p.palette.push_back({q[2], q[1], q[0]});
    }

    // Frames through the index: offsets count from the movi list's type.
    const size_t moviType = movi->data - 4;
    if (idx1->size % 16 != 0)
        return fail("idx1 size");
    if (idx1->size / 16 != movi->children.size())
        return fail("index and movi disagree on the frame count");
    for (uint32_t i = 0; i < idx1->size / 16; ++i) {
        const uint8_t *e = &f[idx1->data + 16 * i];
        const Chunk &c = movi->children[i];
        if (Le32(e) != FourCc('0', '0', 'd', 'c') || c.id != FourCc('0', '0', 'd', 'c'))
            return fail("frame " + std::to_string(i) + " is not 00dc");
        if (Le32(e + 4) != AVIIF_KEYFRAME)
            return fail("frame " + std::to_string(i) + " is not a key frame");
        if (moviType + Le32(e + 8) != c.header || Le32(e + 12) != c.size)
            return fail("index entry " + std::to_string(i) + " does not name its chunk");
        p.encoded.emplace_back(f.begin() + c.data, f.begin() + c.data + c.size);
        Bytes rows;
        std::string e2 = avitest::DecodeRle8(p.encoded.back(), (int)p.bmpWidth, (int)p.bmpHeight, &rows);
        if (!e2.empty())
            return fail("frame " + std::to_string(i) + ": " + e2);
        Bytes topDown(rows.size());
        for (uint32_t y = 0; y < p.bmpHeight; ++y)
            std::copy_n(&rows[(p.bmpHeight - 1 - y) * p.bmpWidth], p.bmpWidth, &topDown[y * p.bmpWidth]);
        p.frames.push_back(topDown);
    }
    return p;
}

TEST(AviFile, SmallClipHasEveryHeaderFieldAndItsFramesBack)
{
    ClipFormat format;
    format.width = 5;
    format.height = 3;
    format.framesPerSecond = 15;
    format.palette = {{1, 2, 3}, {250, 128, 7}, {0, 0, 0}, {9, 9, 9}};
    std::vector<Frame> frames = {
        {0, 0, 0, 0, 0, /**/ 1, 2, 3, 1, 2, /**/ 3, 3, 3, 3, 1},
        {1, 1, 1, 1, 1, /**/ 0, 0, 0, 0, 0, /**/ 2, 2, 2, 2, 2},
        {3, 2, 1, 0, 3, /**/ 3, 3, 3, 3, 3, /**/ 0, 1, 0, 1, 0},
    };
    Bytes file = WriteAvi(format, frames);
    ParsedClip p = Parse(file);
    ASSERT_EQ(p.error, "");
    EXPECT_EQ(p.microSecPerFrame, 66666u);
    EXPECT_EQ(p.flags, (uint32_t)AVIF_HASINDEX);
    EXPECT_EQ(p.totalFrames, 3u);
    EXPECT_EQ(p.streams, 1u);
    EXPECT_EQ(p.width, 5u);
    EXPECT_EQ(p.height, 3u);
    EXPECT_EQ(p.fccType, FourCc('v', 'i', 'd', 's'));
    EXPECT_EQ(p.fccHandler, FourCc('R', 'L', 'E', ' '));
    EXPECT_EQ(p.rate / p.scale, 15u);
    EXPECT_EQ(p.rate % p.scale, 0u);
    EXPECT_EQ(p.length, 3u);
    EXPECT_EQ(std::vector<uint16_t>(p.frameRect, p.frameRect + 4), (std::vector<uint16_t>{0, 0, 5, 3}));
    EXPECT_EQ(p.bmpWidth, 5u);
    EXPECT_EQ(p.bmpHeight, 3u);  // positive: bottom-up rows
    EXPECT_EQ(p.planes, 1);
    EXPECT_EQ(p.bitCount, 8);
    EXPECT_EQ(p.compression, (uint32_t)BI_RLE8_COMPRESSION);
    ASSERT_EQ(p.palette.size(), 4u);
    EXPECT_EQ(p.palette[1].r, 250);
    EXPECT_EQ(p.palette[1].g, 128);
    EXPECT_EQ(p.palette[1].b, 7);
    // Top row first in, top row first out: the writer turned the rows over for the DIB.
    EXPECT_EQ(p.frames, frames);
    size_t largest = 0;
    for (const Bytes &e : p.encoded)
        largest = std::max(largest, e.size());
    EXPECT_EQ(p.mainBuffer, largest);
    EXPECT_EQ(p.streamBuffer, largest);
    EXPECT_EQ(p.sizeImage, largest);
}

TEST(AviFile, RefusesFramesOfTheWrongSizeAndBadFormats)
{
    ClipFormat format;
    format.width = 2;
    format.height = 2;
    format.framesPerSecond = 30;
    format.palette = {{0, 0, 0}};
    EXPECT_THROW(WriteAvi(format, {Frame(3, 0)}), std::invalid_argument);
    EXPECT_THROW(WriteAvi(format, {}), std::invalid_argument);
    format.palette.assign(257, Rgb{0, 0, 0});
    EXPECT_THROW(WriteAvi(format, {Frame(4, 0)}), std::invalid_argument);
}

class TransferClip : public ::testing::TestWithParam<Direction> {};

TEST_P(TransferClip, IsA233By82ClipOf35RunLengthFramesAt30PerSecond)
{
    Clip clip = MakeTransferClip(GetParam());
    ParsedClip p = Parse(WriteAvi(clip.format, clip.frames));
    ASSERT_EQ(p.error, "");
    EXPECT_EQ(p.width, 233u);
    EXPECT_EQ(p.height, 82u);
    EXPECT_EQ(p.bmpWidth, 233u);
    EXPECT_EQ(p.bmpHeight, 82u);
    EXPECT_EQ(p.totalFrames, 35u);
    EXPECT_EQ(p.length, 35u);
    EXPECT_EQ(p.frames.size(), 35u);
    EXPECT_EQ(p.rate, 30u);
    EXPECT_EQ(p.scale, 1u);
    EXPECT_EQ(p.microSecPerFrame, 33333u);
    EXPECT_EQ(p.streams, 1u);
    EXPECT_EQ(p.fccType, FourCc('v', 'i', 'd', 's'));
    EXPECT_EQ(p.bitCount, 8);
    EXPECT_EQ(p.compression, (uint32_t)BI_RLE8_COMPRESSION);
    EXPECT_GE(p.coloursUsed, 2u);
    EXPECT_LE(p.coloursUsed, 256u);
    for (const Bytes &e : p.encoded) {
        EXPECT_LE(e.size(), p.streamBuffer);
        EXPECT_LE(e.size(), p.sizeImage);
    }
    EXPECT_EQ(p.frames, clip.frames);
}

// A transparent animation control leaves out the colour of the first pixel: the whole
// border of every frame is that colour, and no drawing shares its colour.
TEST_P(TransferClip, BackgroundIsUniformAndItsColourIsTheBackgroundsAlone)
{
    Clip clip = MakeTransferClip(GetParam());
    const std::vector<Rgb> &palette = clip.format.palette;
    for (size_t i = 1; i < palette.size(); ++i)
        EXPECT_FALSE(palette[i].r == palette[0].r && palette[i].g == palette[0].g &&
                     palette[i].b == palette[0].b)
            << "ink " << i << " has the background's colour";
    for (size_t f = 0; f < clip.frames.size(); ++f) {
        const Frame &px = clip.frames[f];
        for (int x = 0; x < CLIP_WIDTH; ++x) {
            EXPECT_EQ(px[x], BACKGROUND) << "frame " << f << " top x=" << x;
            EXPECT_EQ(px[(CLIP_HEIGHT - 1) * CLIP_WIDTH + x], BACKGROUND)
                << "frame " << f << " bottom x=" << x;
        }
        for (int y = 0; y < CLIP_HEIGHT; ++y) {
            EXPECT_EQ(px[y * CLIP_WIDTH], BACKGROUND) << "frame " << f << " left y=" << y;
            EXPECT_EQ(px[y * CLIP_WIDTH + CLIP_WIDTH - 1], BACKGROUND) << "frame " << f << " right y=" << y;
        }
    }
}

// Centre of the marker's pixels; only the marker uses its colour.
double MarkerX(const Frame &px)
{
    double sum = 0;
    int n = 0;
    for (int y = 0; y < CLIP_HEIGHT; ++y)
        for (int x = 0; x < CLIP_WIDTH; ++x)
            if (px[y * CLIP_WIDTH + x] == MARKER) {
                sum += x;
                ++n;
            }
    return n ? sum / n : -1;
}

TEST_P(TransferClip, MarkerTravelsFromTheSenderToTheReceiver)
{
    Clip clip = MakeTransferClip(GetParam());
    bool sending = GetParam() == Direction::Send;
    double previous = MarkerX(clip.frames[0]);
    ASSERT_GT(previous, 0);
    // The PC stands left of the middle, the machine right of it.
    if (sending)
        EXPECT_LT(previous, CLIP_WIDTH / 2.0);
    else
        EXPECT_GT(previous, CLIP_WIDTH / 2.0);
    for (size_t f = 1; f < clip.frames.size(); ++f) {
        double x = MarkerX(clip.frames[f]);
        if (sending)
            EXPECT_GT(x, previous) << "frame " << f;
        else
            EXPECT_LT(x, previous) << "frame " << f;
        EXPECT_NE(clip.frames[f], clip.frames[f - 1]) << "frame " << f;
        previous = x;
    }
    if (sending)
        EXPECT_GT(previous, CLIP_WIDTH / 2.0);
    else
        EXPECT_LT(previous, CLIP_WIDTH / 2.0);
}

// Receiving plays sending's journey backwards: the marker of receive frame f lies where
// the marker of send frame 34 - f lies.
TEST(TransferClips, ReceivingRetracesSending)
{
    for (int f = 0; f < CLIP_FRAMES; ++f) {
        int sx, sy, rx, ry;
        MarkerCentre(Direction::Send, CLIP_FRAMES - 1 - f, &sx, &sy);
        MarkerCentre(Direction::Receive, f, &rx, &ry);
        EXPECT_EQ(sx, rx);
        EXPECT_EQ(sy, ry);
    }
    EXPECT_NE(MakeTransferClip(Direction::Send).frames[0], MakeTransferClip(Direction::Receive).frames[0]);
}

INSTANTIATE_TEST_SUITE_P(AviFile, TransferClip, ::testing::Values(Direction::Send, Direction::Receive),
                         [](const ::testing::TestParamInfo<Direction> &i) {
                             return i.param == Direction::Send ? "Sending" : "Receiving";
                         });

}  // namespace
