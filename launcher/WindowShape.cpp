#include "launcher/WindowShape.h"

#include <algorithm>
#include <cmath>

namespace lumbra {

WindowShape WindowShape::launcher_shape(int width, int height, int round)
{
    WindowShape shape;
    shape.add_rounded(2, 2, width - 2, height - 2, round);
    shape.add(static_cast<int>(std::lround(width / 2.0)), 2, width - 3,
        static_cast<int>(std::lround(height / 2.0)));
    return shape;
}

bool WindowShape::contains(int x, int y) const
{
    return std::any_of(m_rects.begin(), m_rects.end(), [&](const PixelRect& r) {
        return x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height;
    });
}

void WindowShape::add(int x1, int y1, int x2, int y2)
{
    if (x2 > x1 && y2 > y1)
        m_rects.push_back({ x1, y1, x2 - x1, y2 - y1 });
}

void WindowShape::add_rounded(int x1, int y1, int x2, int y2, int round)
{
    if (x2 <= x1 || y2 <= y1)
        return;
    // Corner ellipses larger than the rectangle are clamped to it.
    double a = std::min(std::max(round, 0), x2 - x1) / 2.0;
    double b = std::min(std::max(round, 0), y2 - y1) / 2.0;
    if (a < 1 || b < 1) {
        add(x1, y1, x2, y2);
        return;
    }
    int band = static_cast<int>(std::ceil(b));
    // Rows inside the top and bottom corner bands get narrower towards the edge; the pixel
    // centre of each row decides how far the ellipse reaches.
    auto inset_for = [&](double distance_from_centre) {
        double t = std::min(1.0, distance_from_centre / b);
        return static_cast<int>(std::lround(a - a * std::sqrt(1.0 - t * t)));
    };
    for (int row = 0; row < band && y1 + row < y2 - row; ++row) {
        int inset = inset_for(b - (row + 0.5));
        add(x1 + inset, y1 + row, x2 - inset, y1 + row + 1);
        if (y2 - 1 - row != y1 + row)
            add(x1 + inset, y2 - 1 - row, x2 - inset, y2 - row);
    }
    add(x1, y1 + band, x2, y2 - band);
}

} // namespace lumbra
