#pragma once
// An 8-bit canvas of palette indices with the few flat shapes the clips are drawn from.
// Rectangles are given by their first and one-past-last pixel; anything outside the
// canvas is clipped.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace avigen {

class Canvas {
public:
    Canvas(int width, int height, uint8_t fill);

    int Width() const { return width_; }
    int Height() const { return height_; }
    uint8_t At(int x, int y) const { return pixels_[(size_t)y * width_ + x]; }
    const std::vector<uint8_t> &Pixels() const { return pixels_; }

    void Plot(int x, int y, uint8_t c);
    void FillRect(int x0, int y0, int x1, int y1, uint8_t c);
    // A rectangle whose corners are rounded with radius r.
    void FillRoundRect(int x0, int y0, int x1, int y1, int r, uint8_t c);
    // The same with a one-pixel border of another colour.
    void Box(int x0, int y0, int x1, int y1, int r, uint8_t fill, uint8_t border);
    // An ellipse inscribed in the rectangle.
    void FillEllipse(int x0, int y0, int x1, int y1, uint8_t c);
    // A line `thickness` pixels wide (a square pen) from one pixel centre to another.
    void Line(int x0, int y0, int x1, int y1, int thickness, uint8_t c);

private:
    int width_, height_;
    std::vector<uint8_t> pixels_;
};

}  // namespace avigen
