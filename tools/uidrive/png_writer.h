#pragma once
// Writes 24-bit RGB pictures as PNG files (stored, uncompressed deflate blocks: no
// compression library needed). Win32-free.
#include <stdint.h>

#include <string>
#include <vector>

namespace uidrive {

// `rgb` holds height rows of width pixels, 3 bytes each (red, green, blue), top row first.
std::vector<uint8_t> EncodePng(const std::vector<uint8_t> &rgb, int width, int height);
bool WritePng(const std::string &path, const std::vector<uint8_t> &rgb, int width, int height);

}  // namespace uidrive
