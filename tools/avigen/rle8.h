#pragma once
// Run-length encoding of 8-bit device-independent bitmaps (BI_RLE8).
//
// The stream is a list of two-byte items: a count 1..255 with the index it repeats, or an
// escape (0 then 0 end of line, 0 then 1 end of bitmap, 0 then 3..255 followed by that many
// literal indices padded to an even length). Delta escapes are never written: every frame of
// a clip is complete on its own, so a player may start at any frame.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace avigen {

// Encodes `height` rows of `width` indices each, rows in the order a DIB stores them (for
// a bottom-up bitmap the bottom row first). Every pixel is written; rows end with an end of
// line, the last one with the end of bitmap instead.
std::vector<uint8_t> EncodeRle8(const uint8_t *rows, int width, int height);

}  // namespace avigen
