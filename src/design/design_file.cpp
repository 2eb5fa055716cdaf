#include "design/design_file.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

static uint32_t ReadLe32(const uint8_t *p)
{
    return p[0] | p[1] << 8 | p[2] << 16 | (uint32_t)p[3] << 24;
}

// A 4-byte field at `offset`, or 0 when it does not lie wholly inside the bytes.
static uint32_t FieldAt(const uint8_t *bytes, size_t size, size_t offset)
{
    return offset + 4 <= size ? ReadLe32(bytes + offset) : 0;
}

bool ParseDesignHeader(const void *bytes, size_t size, DesignHeader *header)
{
    const uint8_t *b = (const uint8_t *)bytes;
    header->stitchDataOffset = FieldAt(b, size, 0);
    header->colourCount = FieldAt(b, size, 24);
    header->stitchCount = (int32_t)FieldAt(b, size, 28);
    header->hoopCode = FieldAt(b, size, 32);
    return size >= DESIGN_HEADER_SIZE;
}

bool ReadDesignView(const uint8_t *file, size_t size, DesignView *view)
{
    if (!ParseDesignHeader(file, size, &view->header))
        return false;
    int count = (int16_t)(view->header.colourCount & 0xFFFF);
    if (count < 0)
        return false;
    if ((size_t)count * COLOUR_ENTRY_SIZE > size - COLOUR_TABLE_OFFSET)
        return false;
    if (view->header.stitchDataOffset > size)
        return false;
    view->colourTable = file + COLOUR_TABLE_OFFSET;
    view->colourCount = count;
    view->stitches = file + view->header.stitchDataOffset;
    view->stitchLength = size - view->header.stitchDataOffset;
    return true;
}

StitchLimit StitchLimitFor(int versionCode)
{
    if (versionCode == 2)
        return {65535, 64000};
    return {32700, 32000};
}

bool ExceedsStitchLimit(int32_t stitchCount, int versionCode)
{
    return stitchCount > StitchLimitFor(versionCode).limit;
}

bool AsksMachineVersion(uint32_t stitchCount)
{
    return stitchCount > VERSION_QUESTION_THRESHOLD;
}

static int LowerAscii(unsigned char c)
{
    return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
}

int HasExtension(const char *path, const char *extension)
{
    // Walking back from the end is the reversed copy of the path read forwards.
    size_t length = strlen(path);
    size_t end = length;
    while (end > 0 && path[end - 1] == '.')
        --end;
    size_t start = end;
    while (start > 0 && path[start - 1] != '.')
        --start;
    if (start == end || end - start == length)
        return 0;
    size_t extLength = strlen(extension);
    if (end - start != extLength)
        return 0;
    for (size_t i = 0; i < extLength; ++i)
        if (LowerAscii(path[start + i]) != LowerAscii(extension[i]))
            return 0;
    return 1;
}

// The scan looks at four byte pairs per 64-bit word: a pair equal to the end record is a
// zero 16-bit lane after an XOR, found with the usual has-zero-lane test, whose lowest
// flagged lane is exact. Lanes are in address order on the little-endian hosts we build for.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "the design data scan assumes a little-endian host"
#endif

static const uint64_t LANE_ONES = 0x0001000100010001ull;
static const uint64_t LANE_HIGHS = 0x8000800080008000ull;
static const uint64_t END_LANES = 0x1080108010801080ull;  // 0x80, 0x10 in every pair

static uint64_t EndLanes(const uint8_t *p)
{
    uint64_t v;
    memcpy(&v, p, sizeof v);
    v ^= END_LANES;
    return (v - LANE_ONES) & ~v & LANE_HIGHS;
}

static size_t FirstLane(uint64_t flags)
{
    return (size_t)__builtin_ctzll(flags) / 16;
}

size_t ScanDesignDataSize(const uint8_t *file, size_t size)
{
    if (size < 2)
        return size;
    size_t offset = file[0] | file[1] << 8;
    if (offset > size)
        return size;
    const uint8_t *data = file + offset;
    size_t pairs = (size - offset) / 2;
    size_t i = 0;
#if defined(__SSE2__)
    // Where the processor compares sixteen bytes at once (every x86-64, not the module's
    // i686 build): 32 pairs a step, the end record found as the 16-bit lane 0x1080.
    const __m128i end = _mm_set1_epi16(0x1080);
    for (; i + 32 <= pairs; i += 32) {
        const __m128i *block = (const __m128i *)(data + 2 * i);
        __m128i a = _mm_cmpeq_epi16(_mm_loadu_si128(block), end);
        __m128i b = _mm_cmpeq_epi16(_mm_loadu_si128(block + 1), end);
        __m128i c = _mm_cmpeq_epi16(_mm_loadu_si128(block + 2), end);
        __m128i d = _mm_cmpeq_epi16(_mm_loadu_si128(block + 3), end);
        if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d))) == 0)
            continue;
        uint64_t bytes = (uint64_t)(uint32_t)(_mm_movemask_epi8(a) | _mm_movemask_epi8(b) << 16) |
                         (uint64_t)(uint32_t)(_mm_movemask_epi8(c) | _mm_movemask_epi8(d) << 16) << 32;
        return offset + 2 * i + (size_t)__builtin_ctzll(bytes) + 2;
    }
#endif
    for (; i + 16 <= pairs; i += 16) {
        uint64_t a = EndLanes(data + 2 * i), b = EndLanes(data + 2 * i + 8);
        uint64_t c = EndLanes(data + 2 * i + 16), d = EndLanes(data + 2 * i + 24);
        if ((a | b | c | d) == 0)
            continue;
        size_t lane = a ? FirstLane(a) : b ? 4 + FirstLane(b) : c ? 8 + FirstLane(c) : 12 + FirstLane(d);
        return offset + 2 * (i + lane) + 2;
    }
    for (; i < pairs; ++i)
        if (data[2 * i] == 0x80 && data[2 * i + 1] == 0x10)
            return offset + 2 * i + 2;
    return size;
}

char *FormatThousands(const char *digits)
{
    size_t count = strlen(digits);
    size_t length = count + (count ? (count - 1) / 3 : 0);
    char *text = (char *)malloc(length + 1);
    if (!text)
        return NULL;
    // Written back to front, so that the groups count from the last digit.
    char *out = text + length;
    *out = '\0';
    for (size_t i = 0; i < count; ++i) {
        if (i > 0 && i % 3 == 0)
            *--out = ',';
        *--out = digits[count - 1 - i];
    }
    return text;
}

void FormatKilobytes(uint32_t totalBytes, char *text)
{
    uint32_t kilobytes = totalBytes / 1024 + (totalBytes % 1024 != 0);
    char digits[12];
    snprintf(digits, sizeof digits, "%lu", (unsigned long)kilobytes);
    char *grouped = FormatThousands(digits);
    snprintf(text, KILOBYTE_TEXT_SIZE, "%s", grouped ? grouped : digits);
    free(grouped);
}

void FormatDesignDate(const DateParts &date, char *text)
{
    snprintf(text, DATE_TEXT_SIZE, "%04d/%02d/%02d %02d:%02d", date.year, date.month, date.day, date.hour,
             date.minute);
}
