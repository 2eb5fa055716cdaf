#include "avigen/rle8.h"

namespace avigen {

namespace {

const int MAX_COUNT = 255;   // one count byte
const int MIN_LITERAL = 3;   // 0 then 1 or 2 are the end-of-line and end-of-bitmap escapes

// Number of equal indices starting at `at`, at most MAX_COUNT.
int RunLength(const uint8_t *row, int width, int at)
{
    int n = 1;
    while (at + n < width && n < MAX_COUNT && row[at + n] == row[at])
        ++n;
    return n;
}

void EncodeRow(const uint8_t *row, int width, std::vector<uint8_t> &out)
{
    int x = 0;
    while (x < width) {
        int run = RunLength(row, width, x);
        if (run >= MIN_LITERAL) {
            out.push_back((uint8_t)run);
            out.push_back(row[x]);
            x += run;
            continue;
        }
        // Gather indices up to the next run worth its own item; a pair of equal indices
        // stays in the literal, where it costs no more than it would cost alone.
        int end = x;
        while (end < width && end - x < MAX_COUNT && RunLength(row, width, end) < MIN_LITERAL)
            end += RunLength(row, width, end);
        if (end - x > MAX_COUNT)
            end = x + MAX_COUNT;
        int count = end - x;
        if (count < MIN_LITERAL) {
            // Too short for absolute mode: one or two items of their own.
            while (x < end) {
                int n = RunLength(row, width, x);
                if (x + n > end)
                    n = end - x;
                out.push_back((uint8_t)n);
                out.push_back(row[x]);
                x += n;
            }
            continue;
        }
        out.push_back(0);
        out.push_back((uint8_t)count);
        out.insert(out.end(), row + x, row + end);
        if (count & 1)
            out.push_back(0);  // absolute runs end on a 16-bit boundary
        x = end;
    }
}

}  // namespace

std::vector<uint8_t> EncodeRle8(const uint8_t *rows, int width, int height)
{
    std::vector<uint8_t> out;
    if (height <= 0)
        return {0, 1};
    for (int y = 0; y < height; ++y) {
        EncodeRow(rows + (size_t)y * width, width, out);
        out.push_back(0);
        out.push_back(y + 1 < height ? 0 : 1);
    }
    return out;
}

}  // namespace avigen
