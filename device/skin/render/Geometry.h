#pragma once

#include <algorithm>
#include <cstdint>

namespace corvane {

// Screen positions and sizes in pixels. Element positions are absolute screen coordinates.
struct Point {
    std::int32_t x { 0 };
    std::int32_t y { 0 };

    friend constexpr Point operator+(Point a, Point b) { return { a.x + b.x, a.y + b.y }; }
    friend constexpr Point operator-(Point a, Point b) { return { a.x - b.x, a.y - b.y }; }
    friend constexpr bool operator==(Point, Point) = default;
};

struct Size {
    std::int32_t width { 0 };
    std::int32_t height { 0 };

    constexpr bool is_empty() const { return width <= 0 || height <= 0; }
    friend constexpr bool operator==(Size, Size) = default;
};

// A half-open rectangle [min_x, max_x) x [min_y, max_y); empty when either range is.
struct Rect {
    std::int32_t min_x { 0 };
    std::int32_t min_y { 0 };
    std::int32_t max_x { 0 };
    std::int32_t max_y { 0 };

    static constexpr Rect from(Point origin, Size size)
    {
        return { origin.x, origin.y, origin.x + size.width, origin.y + size.height };
    }
    constexpr std::int32_t width() const { return max_x - min_x; }
    constexpr std::int32_t height() const { return max_y - min_y; }
    constexpr bool is_empty() const { return max_x <= min_x || max_y <= min_y; }
    constexpr bool contains(Point p) const
    {
        return p.x >= min_x && p.x < max_x && p.y >= min_y && p.y < max_y;
    }
    constexpr Rect intersected(const Rect& other) const
    {
        return { std::max(min_x, other.min_x), std::max(min_y, other.min_y),
            std::min(max_x, other.max_x), std::min(max_y, other.max_y) };
    }
    friend constexpr bool operator==(const Rect&, const Rect&) = default;
};

} // namespace corvane
