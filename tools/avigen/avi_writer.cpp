#include "avigen/avi_writer.h"

#include <algorithm>
#include <stdexcept>

#include "avigen/rle8.h"

namespace avigen {

namespace {

// Little-endian RIFF building with chunk sizes patched when a chunk closes.
class Riff {
public:
    void U8(uint8_t v) { bytes_.push_back(v); }
    void U16(uint16_t v)
    {
        U8(v & 0xff);
        U8(v >> 8);
    }
    void U32(uint32_t v)
    {
        U16(v & 0xffff);
        U16(v >> 16);
    }
    void Bytes(const std::vector<uint8_t> &v) { bytes_.insert(bytes_.end(), v.begin(), v.end()); }

    // Opens a chunk (or, with a form type, a RIFF or LIST); returns where its size lies.
    size_t Open(uint32_t id)
    {
        U32(id);
        size_t at = bytes_.size();
        U32(0);
        return at;
    }
    size_t OpenList(uint32_t id, uint32_t type)
    {
        size_t at = Open(id);
        U32(type);
        return at;
    }
    // Closes a chunk: records its size (without the pad byte) and pads it to an even length.
    void Close(size_t sizeAt)
    {
        uint32_t size = (uint32_t)(bytes_.size() - sizeAt - 4);
        for (int i = 0; i < 4; ++i)
            bytes_[sizeAt + i] = (uint8_t)(size >> (8 * i));
        if (size & 1)
            U8(0);
    }
    size_t Size() const { return bytes_.size(); }
    std::vector<uint8_t> Take() { return std::move(bytes_); }

private:
    std::vector<uint8_t> bytes_;
};

}  // namespace

std::vector<uint8_t> WriteAvi(const ClipFormat &format, const std::vector<Frame> &frames)
{
    const int w = format.width, h = format.height;
    if (w <= 0 || h <= 0 || format.framesPerSecond <= 0 || frames.empty() || format.palette.empty() ||
        format.palette.size() > 256)
        throw std::invalid_argument("bad clip format");

    std::vector<std::vector<uint8_t>> encoded;
    std::vector<uint8_t> bottomUp((size_t)w * h);
    for (const Frame &f : frames) {
        if (f.size() != (size_t)w * h)
            throw std::invalid_argument("frame size differs from the clip's");
        for (int y = 0; y < h; ++y)
            std::copy_n(&f[(size_t)(h - 1 - y) * w], w, &bottomUp[(size_t)y * w]);
        encoded.push_back(EncodeRle8(bottomUp.data(), w, h));
    }
    size_t largest = 0;
    for (const auto &e : encoded)
        largest = std::max(largest, e.size());
    // Players read a frame into a buffer of the suggested size and hand the bitmap header,
    // whose image size they take as the frame's length, to the decoder: both name the
    // largest frame.
    const uint32_t bufferSize = (uint32_t)largest;
    const uint32_t frameCount = (uint32_t)frames.size();
    const uint32_t colours = (uint32_t)format.palette.size();

    Riff r;
    size_t riff = r.OpenList(FourCc('R', 'I', 'F', 'F'), FourCc('A', 'V', 'I', ' '));
    size_t hdrl = r.OpenList(FourCc('L', 'I', 'S', 'T'), FourCc('h', 'd', 'r', 'l'));

    size_t avih = r.Open(FourCc('a', 'v', 'i', 'h'));
    r.U32(1000000 / format.framesPerSecond);          // microseconds per frame
    r.U32(bufferSize * format.framesPerSecond);        // maximum bytes per second
    r.U32(0);                                          // padding granularity
    r.U32(AVIF_HASINDEX);
    r.U32(frameCount);
    r.U32(0);                                          // initial frames
    r.U32(1);                                          // streams
    r.U32(bufferSize);
    r.U32((uint32_t)w);
    r.U32((uint32_t)h);
    for (int i = 0; i < 4; ++i)
        r.U32(0);
    r.Close(avih);

    size_t strl = r.OpenList(FourCc('L', 'I', 'S', 'T'), FourCc('s', 't', 'r', 'l'));
    size_t strh = r.Open(FourCc('s', 't', 'r', 'h'));
    r.U32(FourCc('v', 'i', 'd', 's'));
    r.U32(FourCc('R', 'L', 'E', ' '));                 // run-length encoded DIBs, no codec
    r.U32(0);                                          // flags
    r.U16(0);                                          // priority
    r.U16(0);                                          // language
    r.U32(0);                                          // initial frames
    r.U32(1);                                          // scale
    r.U32((uint32_t)format.framesPerSecond);           // rate: rate / scale frames a second
    r.U32(0);                                          // start
    r.U32(frameCount);                                 // length in frames
    r.U32(bufferSize);
    r.U32(0xffffffffu);                                // quality: default
    r.U32(0);                                          // sample size: varies
    r.U16(0);                                          // frame rectangle
    r.U16(0);
    r.U16((uint16_t)w);
    r.U16((uint16_t)h);
    r.Close(strh);

    size_t strf = r.Open(FourCc('s', 't', 'r', 'f'));
    r.U32(BITMAP_INFO_HEADER_SIZE);
    r.U32((uint32_t)w);
    r.U32((uint32_t)h);                                // positive: bottom-up
    r.U16(1);                                          // planes
    r.U16(8);                                          // bits per pixel
    r.U32(BI_RLE8_COMPRESSION);
    r.U32(bufferSize);                                 // image size
    r.U32(0);                                          // pixels per metre
    r.U32(0);
    r.U32(colours);                                    // colours used
    r.U32(colours);                                    // colours important
    for (const Rgb &c : format.palette) {
        r.U8(c.b);
        r.U8(c.g);
        r.U8(c.r);
        r.U8(0);
    }
    r.Close(strf);
    r.Close(strl);
    r.Close(hdrl);

    size_t movi = r.OpenList(FourCc('L', 'I', 'S', 'T'), FourCc('m', 'o', 'v', 'i'));
    const size_t moviType = movi + 4;  // index offsets count from the list's type
    std::vector<uint32_t> offsets;
    for (const auto &e : encoded) {
        offsets.push_back((uint32_t)(r.Size() - moviType));
        size_t chunk = r.Open(FourCc('0', '0', 'd', 'c'));
        r.Bytes(e);
        r.Close(chunk);
    }
    r.Close(movi);

    size_t idx1 = r.Open(FourCc('i', 'd', 'x', '1'));
    for (size_t i = 0; i < encoded.size(); ++i) {
        r.U32(FourCc('0', '0', 'd', 'c'));
        r.U32(AVIIF_KEYFRAME);
        r.U32(offsets[i]);
        r.U32((uint32_t)encoded[i].size());
    }
    r.Close(idx1);
    r.Close(riff);
    return r.Take();
}

}  // namespace avigen
