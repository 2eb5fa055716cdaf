#pragma once
// Writes ".vbd" design files of our own making, for the tests, the demo and the benchmark:
// any stitch count, hoop, colour table and trailing bytes, with a multi-colour motif, or
// stitch data given record by record. Standard C++ only (built natively and for Win32).
//
//   std::vector<char> bytes = designgen::MakeDesign({40000, 0, {10, 12, 37}});
//
//   designgen::DesignFile file;                     // a hand-made design
//   file.stitchCount = 4;
//   file.colours = {10};
//   file.stitchData = designgen::StitchData().Stitch(10, 0).Stitch(10, 0).Stitch(10, 0).End().Bytes();
//   std::vector<char> bytes = designgen::AssembleDesign(file);
#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

namespace designgen {

// Stitch data, record by record. Displacements are signed 8-bit: dx to the right, dy up.
class StitchData {
public:
    StitchData &Stitch(int dx, int dy);                         // 2 bytes: dx, dy (dx != -128)
    StitchData &ColourChange(int dx, int dy, int kind = 0x01);  // 0x80 kind dx dy (kind odd 1..15)
    StitchData &ColourChangeInPlace(int kind = 0x20);           // 0x80 kind (0x20 or 0x80)
    StitchData &Move(int dx, int dy, int kind = 0x02);          // 0x80 kind dx dy (kind 2 or 4)
    StitchData &Control(int kind);                              // any other 2-byte 0x80 record
    StitchData &Skip4(int third = 0, int fourth = 0);           // 0x80 0x30 and two skipped bytes
    StitchData &End();                                          // 0x80 0x10
    StitchData &Raw(const std::vector<uint8_t> &bytes);
    const std::vector<uint8_t> &Bytes() const { return bytes_; }
    // Records written so far, a 4-byte record counting once and the end record too.
    int Records() const { return records_; }

private:
    std::vector<uint8_t> bytes_;
    int records_ = 0;
};

// Every header field as written. The defaults make a consistent file.
struct DesignFile {
    static const uint32_t AUTO = 0xFFFFFFFFu;
    uint32_t stitchDataOffset = AUTO;   // AUTO: right behind the colour table
    uint32_t colourCount = AUTO;        // AUTO: the number of colour entries
    int32_t stitchCount = 0;
    uint32_t hoopCode = 0;
    std::vector<uint16_t> colours;      // colour codes, one 4-byte entry each
    uint16_t colourHighBits = 0;        // the upper half of every colour entry
    std::vector<uint8_t> stitchData;    // placed at stitchDataOffset (zero bytes pad a gap)
    size_t trailingBytes = 0;           // bytes after the stitch data (TrailingPattern)
};
std::vector<char> AssembleDesign(const DesignFile &file);

// The bytes put behind the end record: they contain 0x80 0x10 pairs at even and odd
// distances, so that a reader which runs past the real end notices.
uint8_t TrailingPattern(size_t index);

enum class Motif {
    Rosette,  // each colour a ring of loops, turned a little every pass
    Spiral,   // each colour one arm of a spiral, outwards and back
};

// A design of `stitchCount` stitches: the header names that count and the stitch data holds
// stitchCount - 1 records (stitches, moves and colour changes) before its end record, so
// the preview draws all of it. One block per colour table entry, in table order.
struct DesignRecipe {
    int32_t stitchCount = 2000;
    uint32_t hoopCode = 0;                       // 0 normal, 1 small, 2 large
    std::vector<uint16_t> colours = {10, 12, 37};
    size_t trailingBytes = 0;
    Motif motif = Motif::Rosette;
};
std::vector<char> MakeDesign(const DesignRecipe &recipe);
// The stitch data alone (end record included) of MakeDesign.
StitchData MakeStitchData(const DesignRecipe &recipe);

// The sample designs that mkdesigns writes and the tests and the benchmark draw.
struct SampleDesign {
    std::string fileName;
    DesignRecipe recipe;
};
const std::vector<SampleDesign> &SampleDesigns();

bool WriteDesignFile(const std::string &path, const std::vector<char> &bytes);

}  // namespace designgen
