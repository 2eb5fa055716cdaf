#pragma once
// A strict reader of the clips, written apart from the writer so the tests can check one
// against the other: a BI_RLE8 decoder that refuses anything the writer should never
// produce, and a RIFF chunk walker.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace avitest {

inline uint32_t Le32(const uint8_t *p) { return p[0] | p[1] << 8 | p[2] << 16 | (uint32_t)p[3] << 24; }
inline uint16_t Le16(const uint8_t *p) { return (uint16_t)(p[0] | p[1] << 8); }
inline std::string Id(uint32_t v) { return std::string((const char *)&v, 4); }

// Decodes an encoded bitmap into `height` rows of `width` indices (DIB order). Every pixel
// must be written once, every row but the last must end with end-of-line exactly at its
// end, the last with end-of-bitmap, and nothing may follow. Returns "" or what was wrong.
inline std::string DecodeRle8(const std::vector<uint8_t> &in, int width, int height,
                              std::vector<uint8_t> *rows)
{
    rows->assign((size_t)width * height, 0);
    size_t i = 0;
    int x = 0, y = 0;
    while (true) {
        if (i + 2 > in.size())
            return "stream ends without end-of-bitmap";
        uint8_t a = in[i], b = in[i + 1];
        i += 2;
        if (y >= height)
            return "data past the last row";
        if (a > 0) {
            if (x + a > width)
                return "run of " + std::to_string(a) + " crosses the row end at x=" + std::to_string(x);
            memset(&(*rows)[(size_t)y * width + x], b, a);
            x += a;
        } else if (b == 0 || b == 1) {
            if (x != width)
                return "row " + std::to_string(y) + " ends at x=" + std::to_string(x);
            if (b == 1) {
                if (y != height - 1)
                    return "end-of-bitmap at row " + std::to_string(y);
                if (i != in.size())
                    return "bytes after end-of-bitmap";
                return "";
            }
            if (y == height - 1)
                return "end-of-line after the last row";
            x = 0;
            ++y;
        } else if (b == 2) {
            return "delta escape";
        } else {
            if (x + b > width)
                return "absolute run crosses the row end";
            if (i + b + (b & 1) > in.size())
                return "absolute run past the end";
            memcpy(&(*rows)[(size_t)y * width + x], &in[i], b);
            x += b;
            i += b;
            if (b & 1) {
                if (in[i] != 0)
                    return "pad byte not zero";
                ++i;
            }
        }
    }
}

struct Chunk {
    uint32_t id = 0;
    uint32_t type = 0;    // form or list type of a RIFF or LIST
    size_t header = 0;    // offset of the id
    size_t data = 0;      // offset of the data (after the type of a list)
    uint32_t size = 0;    // as recorded, type included for lists
    std::vector<Chunk> children;
    const Chunk *Find(uint32_t wantedId, uint32_t wantedType = 0) const
    {
        for (const Chunk &c : children)
            if (c.id == wantedId && (wantedType == 0 || c.type == wantedType))
                return &c;
        return nullptr;
    }
};

const uint32_t RIFF_ID = 0x46464952, LIST_ID = 0x5453494c;

// Walks the chunks in [begin, end); returns "" or what was wrong (a size past its parent,
// an odd start).
inline std::string ParseChunks(const std::vector<uint8_t> &f, size_t begin, size_t end,
                               std::vector<Chunk> *out)
{
    size_t at = begin;
    while (at < end) {
        if (at & 1)
            return "chunk at odd offset " + std::to_string(at);
        if (at + 8 > end)
            return "truncated chunk header";
        Chunk c;
        c.header = at;
        c.id = Le32(&f[at]);
        c.size = Le32(&f[at + 4]);
        c.data = at + 8;
        size_t stop = c.data + c.size;
        if (stop > end)
            return Id(c.id) + " runs past its parent";
        if (c.id == RIFF_ID || c.id == LIST_ID) {
            if (c.size < 4)
                return "list without type";
            c.type = Le32(&f[c.data]);
            c.data += 4;
            std::string e = ParseChunks(f, c.data, stop, &c.children);
            if (!e.empty())
                return e;
        }
        out->push_back(c);
        at = stop + (stop & 1);
    }
    return at == end ? "" : "pad byte past the parent";
}

}  // namespace avitest
