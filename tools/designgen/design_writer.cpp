#include "design_writer.h"

#include <math.h>
#include <stdio.h>

namespace designgen {

static uint8_t Byte(int value)
{
    return (uint8_t)(value & 0xFF);
}

StitchData &StitchData::Stitch(int dx, int dy)
{
    bytes_.insert(bytes_.end(), {Byte(dx), Byte(dy)});
    ++records_;
    return *this;
}

StitchData &StitchData::ColourChange(int dx, int dy, int kind)
{
    bytes_.insert(bytes_.end(), {0x80, Byte(kind), Byte(dx), Byte(dy)});
    ++records_;
    return *this;
}

StitchData &StitchData::ColourChangeInPlace(int kind)
{
    return Control(kind);
}

StitchData &StitchData::Move(int dx, int dy, int kind)
{
    return ColourChange(dx, dy, kind);
}

StitchData &StitchData::Control(int kind)
{
    bytes_.insert(bytes_.end(), {0x80, Byte(kind)});
    ++records_;
    return *this;
}

StitchData &StitchData::Skip4(int third, int fourth)
{
    return ColourChange(third, fourth, 0x30);
}

StitchData &StitchData::End()
{
    return Control(0x10);
}

StitchData &StitchData::Raw(const std::vector<uint8_t> &bytes)
{
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    return *this;
}

static void PutLe32(std::vector<char> &out, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out[at + i] = (char)(value >> (8 * i) & 0xFF);
}

uint8_t TrailingPattern(size_t index)
{
    static const uint8_t pattern[] = {0x80, 0x10, 0x33, 0x80, 0x10, 0x5A};
    return pattern[index % sizeof pattern];
}

std::vector<char> AssembleDesign(const DesignFile &file)
{
    const size_t headerSize = 116;
    size_t tableEnd = headerSize + 4 * file.colours.size();
    size_t offset = file.stitchDataOffset == DesignFile::AUTO ? tableEnd : file.stitchDataOffset;
    std::vector<char> out(tableEnd > offset ? tableEnd : offset);
    PutLe32(out, 0, (uint32_t)offset);
    PutLe32(out, 24, file.colourCount == DesignFile::AUTO ? (uint32_t)file.colours.size() : file.colourCount);
    PutLe32(out, 28, (uint32_t)file.stitchCount);
    PutLe32(out, 32, file.hoopCode);
    for (size_t i = 0; i < file.colours.size(); ++i)
        PutLe32(out, headerSize + 4 * i, file.colours[i] | (uint32_t)file.colourHighBits << 16);
    // Stitch data placed inside the header or table (a small offset) overwrites them.
    for (size_t i = 0; i < file.stitchData.size(); ++i) {
        if (offset + i < out.size())
            out[offset + i] = (char)file.stitchData[i];
        else
            out.push_back((char)file.stitchData[i]);
    }
    for (size_t i = 0; i < file.trailingBytes; ++i)
        out.push_back((char)TrailingPattern(i));
    return out;
}

namespace {

const double PI = 3.14159265358979323846;

// Emits records from the needle's integer position toward exact targets, and never more
// records than the budget allows.
class Needle {
public:
    Needle(StitchData &data, long budget) : data_(data), budget_(budget) {}
    long Used() const { return used_; }
    bool Full() const { return used_ >= budget_; }

    void StitchTo(double x, double y)
    {
        if (Full())
            return;
        int dx = Step(x, x_), dy = Step(y, y_);
        data_.Stitch(dx, dy);
        x_ += dx;
        y_ += dy;
        ++used_;
    }
    // Moves in steps the records can carry; the last step is the colour change when asked.
    void JumpTo(double x, double y, bool colourChange)
    {
        for (;;) {
            if (Full())
                return;
            int dx = Step(x, x_), dy = Step(y, y_);
            bool last = lround(x) == x_ + dx && lround(y) == y_ + dy;
            if (last && colourChange)
                data_.ColourChange(dx, dy, 0x01 + 2 * (changes_++ % 8));
            else if (dx != 0 || dy != 0)
                data_.Move(dx, dy, changes_ % 2 ? 0x04 : 0x02);
            else
                return;
            x_ += dx;
            y_ += dy;
            ++used_;
            if (last)
                return;
        }
    }

private:
    static int Step(double target, long from)
    {
        long d = lround(target) - from;
        return d > 127 ? 127 : d < -127 ? -127 : (int)d;
    }
    StitchData &data_;
    long budget_;
    long used_ = 0;
    long x_ = 0, y_ = 0;
    int changes_ = 0;
};

struct Point {
    double x, y;
};

// The usable half-size of each hoop around its centre, in stitch units.
static void HoopExtent(uint32_t hoopCode, double *rx, double *ry)
{
    const double margin = 0.88;
    if (hoopCode == 0) {
        *rx = *ry = 550 * margin;
    } else if (hoopCode == 1) {
        *rx = *ry = 250 * margin;
    } else {
        *rx = 800 * margin;
        *ry = 1000 * margin;
    }
}

// A curve traced pass after pass; each colour has its own.
class Curve {
public:
    Curve(const DesignRecipe &recipe, int colour, int colours)
        : motif_(recipe.motif), colour_(colour), colours_(colours)
    {
        HoopExtent(recipe.hoopCode, &rx_, &ry_);
        double shrink = 1.0 - 0.3 * colour / (colours > 1 ? colours : 1);
        rx_ *= shrink;
        ry_ *= shrink;
    }
    Point At() const
    {
        if (motif_ == Motif::Rosette) {
            // A five-looped trochoid, turned by pass and colour.
            double turn = pass_ * 0.11 + colour_ * 2 * PI / (5.0 * colours_);
            double cx = 0.62 * cos(t_) + 0.38 * cos(5 * t_);
            double cy = 0.62 * sin(t_) - 0.38 * sin(5 * t_);
            return {rx_ * (cx * cos(turn) - cy * sin(turn)), ry_ * (cx * sin(turn) + cy * cos(turn))};
        }
        // Spiral: out along six turns and back, each colour its own arm.
        double u = t_ / (12 * PI);
        if (u > 1)
            u = 2 - u;
        double angle = t_ + colour_ * 2 * PI / colours_ + pass_ * 0.07;
        return {rx_ * u * cos(angle), ry_ * u * sin(angle)};
    }
    void Advance()
    {
        const double stitch = 14;  // stitch units per stitch, about
        if (motif_ == Motif::Rosette) {
            t_ += stitch / (rx_ > ry_ ? rx_ : ry_) / 2.5 * 3;
            if (t_ >= 2 * PI) {
                t_ = 0;
                ++pass_;
            }
        } else {
            Point p = At();
            double radius = sqrt(p.x * p.x + p.y * p.y);
            t_ += stitch / (radius > 40 ? radius : 40);
            if (t_ >= 24 * PI) {
                t_ = 0;
                ++pass_;
            }
        }
    }

private:
    Motif motif_;
    int colour_, colours_;
    double rx_, ry_;
    double t_ = 0;
    int pass_ = 0;
};

}  // namespace

StitchData MakeStitchData(const DesignRecipe &recipe)
{
    StitchData data;
    long budget = recipe.stitchCount > 1 ? (long)recipe.stitchCount - 1 : 0;
    int blocks = recipe.colours.empty() ? 1 : (int)recipe.colours.size();
    Needle needle(data, budget);
    for (int block = 0; block < blocks; ++block) {
        long blockEnd = budget * (block + 1) / blocks;
        Curve curve(recipe, block, blocks);
        Point start = curve.At();
        needle.JumpTo(start.x, start.y, block > 0);
        while (needle.Used() < blockEnd) {
            curve.Advance();
            Point p = curve.At();
            needle.StitchTo(p.x, p.y);
        }
    }
    data.End();
    return data;
}

std::vector<char> MakeDesign(const DesignRecipe &recipe)
{
    DesignFile file;
    file.stitchCount = recipe.stitchCount;
    file.hoopCode = recipe.hoopCode;
    file.colours = recipe.colours;
    file.stitchData = MakeStitchData(recipe).Bytes();
    file.trailingBytes = recipe.trailingBytes;
    return AssembleDesign(file);
}

const std::vector<SampleDesign> &SampleDesigns()
{
    static const std::vector<SampleDesign> samples = {
        {"Rosette.vbd", {3000, 0, {10, 12, 37}, 0, Motif::Rosette}},
        {"Small Rosette.vbd", {1500, 1, {33, 61, 45, 73}, 0, Motif::Rosette}},
        {"Large Spiral.vbd", {6000, 2, {39, 7, 53, 12, 22}, 0, Motif::Spiral}},
        {"Normal Spiral.vbd", {2500, 0, {30, 4}, 0, Motif::Spiral}},
        {"Trailing 100.vbd", {1200, 0, {42, 28}, 100, Motif::Rosette}},
        {"Stitches 32700.vbd", {32700, 0, {60, 71, 47}, 0, Motif::Rosette}},
        {"Stitches 32701.vbd", {32701, 0, {41, 16, 67}, 0, Motif::Spiral}},
        {"Stitches 65535.vbd", {65535, 2, {10, 76, 37, 45, 8, 29}, 0, Motif::Rosette}},
        {"Stitches 70000.vbd", {70000, 2, {12, 63, 70}, 0, Motif::Spiral}},
    };
    return samples;
}

bool WriteDesignFile(const std::string &path, const std::vector<char> &bytes)
{
    FILE *f = fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return fclose(f) == 0 && ok;
}

}  // namespace designgen
