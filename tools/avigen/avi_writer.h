#pragma once
// Writes a silent AVI clip of one video stream: 8-bit frames, each run-length encoded
// (BI_RLE8) and each a key frame, with a palette and an index. This is the one form that an
// animation control plays without a decompressor.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace avigen {

struct Rgb {
    uint8_t r, g, b;
};

struct ClipFormat {
    int width = 0;
    int height = 0;
    int framesPerSecond = 0;
    std::vector<Rgb> palette;  // 1..256 colours
};

// One frame is `width` x `height` indices, top row first as it is drawn; the writer turns it
// into the bottom-up order of a DIB.
using Frame = std::vector<uint8_t>;

// The whole file, ready to be written as it is.
std::vector<uint8_t> WriteAvi(const ClipFormat &format, const std::vector<Frame> &frames);

// Chunk and list names, for readers of the file.
constexpr uint32_t FourCc(char a, char b, char c, char d)
{
    return (uint32_t)(uint8_t)a | (uint32_t)(uint8_t)b << 8 | (uint32_t)(uint8_t)c << 16 |
           (uint32_t)(uint8_t)d << 24;
}

enum : uint32_t {
    AVI_MAIN_HEADER_SIZE = 56,     // 'avih'
    AVI_STREAM_HEADER_SIZE = 56,   // 'strh'
    BITMAP_INFO_HEADER_SIZE = 40,  // start of 'strf'
    AVIF_HASINDEX = 0x10,
    AVIIF_KEYFRAME = 0x10,
    BI_RLE8_COMPRESSION = 1,
};

}  // namespace avigen
