#pragma once

#include <vector>

namespace lumbra {

struct PixelRect {
    int x { 0 };
    int y { 0 };
    int width { 0 };
    int height { 0 };
};

// The visible area of the launcher window: a union of rectangles in window pixels. The
// rectangles may overlap; a pixel is inside when any rectangle holds it.
class WindowShape {
public:
    // The union of a rectangle from (2, 2) to (w - 2, h - 2) whose corners are quarter
    // ellipses `round` pixels wide and high, and a plain rectangle from (w / 2, 2) to
    // (w - 3, h / 2) that squares off the top-right corner. Right and bottom edges are
    // exclusive. Sizes too small for a shape give an empty one.
    static WindowShape launcher_shape(int width, int height, int round);

    const std::vector<PixelRect>& rects() const { return m_rects; }
    bool contains(int x, int y) const;
    bool is_empty() const { return m_rects.empty(); }

private:
    void add(int x1, int y1, int x2, int y2);
    void add_rounded(int x1, int y1, int x2, int y2, int round);

    std::vector<PixelRect> m_rects;
};

} // namespace lumbra
