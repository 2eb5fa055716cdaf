#include "avigen/canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace avigen {

Canvas::Canvas(int width, int height, uint8_t fill)
    : width_(width), height_(height), pixels_((size_t)width * height, fill)
{
}

void Canvas::Plot(int x, int y, uint8_t c)
{
    if (x >= 0 && y >= 0 && x < width_ && y < height_)
        pixels_[(size_t)y * width_ + x] = c;
}

void Canvas::FillRect(int x0, int y0, int x1, int y1, uint8_t c)
{
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, width_);
    y1 = std::min(y1, height_);
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            pixels_[(size_t)y * width_ + x] = c;
}

void Canvas::FillRoundRect(int x0, int y0, int x1, int y1, int r, uint8_t c)
{
    r = std::min({r, (x1 - x0) / 2, (y1 - y0) / 2});
    for (int y = y0; y < y1; ++y) {
        // Inset of this row: a quarter circle in the top and bottom r rows.
        int inset = 0;
        int dy = y < y0 + r ? y0 + r - y : (y >= y1 - r ? y - (y1 - r - 1) : 0);
        if (dy > 0) {
            // Distance from the corner centre, measured at pixel centres.
            double d = dy - 0.5;
            double half = r * r - d * d;
            int span = half > 0 ? (int)(std::sqrt(half) + 0.5) : 0;
            inset = r - span;
        }
        FillRect(x0 + inset, y, x1 - inset, y + 1, c);
    }
}

void Canvas::Box(int x0, int y0, int x1, int y1, int r, uint8_t fill, uint8_t border)
{
    FillRoundRect(x0, y0, x1, y1, r, border);
    FillRoundRect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, r > 0 ? r - 1 : 0, fill);
}

void Canvas::FillEllipse(int x0, int y0, int x1, int y1, uint8_t c)
{
    double cx = (x0 + x1) / 2.0, cy = (y0 + y1) / 2.0;
    double rx = (x1 - x0) / 2.0, ry = (y1 - y0) / 2.0;
    if (rx <= 0 || ry <= 0)
        return;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            double dx = (x + 0.5 - cx) / rx, dy = (y + 0.5 - cy) / ry;
            if (dx * dx + dy * dy <= 1.0)
                Plot(x, y, c);
        }
}

void Canvas::Line(int x0, int y0, int x1, int y1, int thickness, uint8_t c)
{
    int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
    int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    int lo = -(thickness - 1) / 2;
    for (;;) {
        FillRect(x0 + lo, y0 + lo, x0 + lo + thickness, y0 + lo + thickness, c);
        if (x0 == x1 && y0 == y1)
            break;
        int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

}  // namespace avigen
