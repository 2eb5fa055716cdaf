#pragma once
// The ".vbd" design file as the module reads it, and the rules built on it: the stitch
// limit, the design extension, the end of the design data, and sizes and dates as shown.
// Win32-free; the file-handle wrappers are in design/design_io.h.
//
// Layout (little-endian): a 116-byte header, the colour table at 116 (4-byte entries, the
// low 16 bits a colour code), the stitch data from stitchDataOffset to the end of the file.
#include <stddef.h>
#include <stdint.h>

enum {
    DESIGN_HEADER_SIZE = 116,
    COLOUR_TABLE_OFFSET = 116,
    COLOUR_ENTRY_SIZE = 4,
};

// The four header fields the module reads; every other header byte is ignored.
struct DesignHeader {
    uint32_t stitchDataOffset;  // offset 0: first stitch record
    uint32_t colourCount;       // offset 24: the renderer uses the low 16 bits, signed
    int32_t stitchCount;        // offset 28: what the stitch limit applies to
    uint32_t hoopCode;          // offset 32: 0 normal, 1 small, any other large
};

// Fills the header from the first `size` bytes of a file. A field that lies (partly)
// beyond those bytes reads as 0 -- the treatment chosen for files shorter than the
// header -- so a short file passes the stitch limit as a design of 0 stitches and fails
// only where its stitch data is needed (the preview). Returns true when all 116 header
// bytes were there.
bool ParseDesignHeader(const void *bytes, size_t size, DesignHeader *header);

// The parts of a whole design file that the preview renderer walks: views into the
// file's bytes, nothing copied.
struct DesignView {
    DesignHeader header;
    const uint8_t *colourTable;  // colourCount entries of 4 bytes
    int colourCount;             // low 16 bits of the header's count, 0 .. 32767
    const uint8_t *stitches;     // stitchDataOffset .. end of file
    size_t stitchLength;
};

// Splits a file the way the renderer reads it. False when the header is short, the colour
// count (low 16 bits, signed) is negative, the colour table reaches beyond the file, or
// stitchDataOffset lies beyond its end. An offset equal to the size gives no stitch data.
bool ReadDesignView(const uint8_t *file, size_t size, DesignView *view);

// The colour code of colour table entry `index` (0-based; index < view.colourCount).
inline uint16_t ColourCodeAt(const DesignView &view, int index)
{
    const uint8_t *entry = view.colourTable + (size_t)index * COLOUR_ENTRY_SIZE;
    return (uint16_t)(entry[0] | entry[1] << 8);
}

// ---- the stitch limit ----
// The largest accepted stitchCount and the number that the messages name. Version code 2
// accepts 65535 and names 64000; any other code accepts 32700 and names 32000.
struct StitchLimit {
    int32_t limit;
    int shown;
};
StitchLimit StitchLimitFor(int versionCode);
// A design is too large when its stitchCount, taken as signed, is above the limit.
bool ExceedsStitchLimit(int32_t stitchCount, int versionCode);
// Designs above this count, taken as unsigned, make the picker and the send dialog ask
// which machine version the user has.
enum { VERSION_QUESTION_THRESHOLD = 32700 };
bool AsksMachineVersion(uint32_t stitchCount);

// ---- names and sizes ----
// 1 when the path's extension (the text after its last ".", dots at the very end skipped)
// equals `extension` (given without its dot) ignoring letter case; else 0. A path without
// any "." has no extension.
int HasExtension(const char *path, const char *extension);

// The design data size of a whole file: from the start up to and including the first
// 0x80 0x10 byte pair at an even distance from stitchDataOffset (low 16 bits). Record
// lengths are not decoded. The file size when there is no such pair, when the offset lies
// beyond the end, or when the file is too short to hold the offset.
size_t ScanDesignDataSize(const uint8_t *file, size_t size);

// A "," between every group of three digits from the right: "1234567" -> "1,234,567".
// The result is allocated with malloc and released by the caller with free; null when
// memory cannot be had.
char *FormatThousands(const char *digits);

// A byte total in kilobytes as shown, rounded up and grouped: 0 -> "0", 1025 -> "2",
// 1048577 -> "1,025". The buffer holds KILOBYTE_TEXT_SIZE characters.
enum { KILOBYTE_TEXT_SIZE = 16 };
void FormatKilobytes(uint32_t totalBytes, char *text);

// A local date and time shown as "%04d/%02d/%02d %02d:%02d"; seconds are dropped. The
// buffer holds DATE_TEXT_SIZE characters.
enum { DATE_TEXT_SIZE = 32 };
struct DateParts {
    int year, month, day, hour, minute, second;
};
void FormatDesignDate(const DateParts &date, char *text);
