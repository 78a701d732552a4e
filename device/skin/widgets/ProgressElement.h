#pragma once

#include "device/skin/skin/Element.h"

namespace corvane {

// "progress": a track whose child "#line" is sized to the fraction shown, along x and y alike
// (a horizontal bar anchors "#line" BOTH_SIDE along y). Main thread.
class ProgressElement : public Element {
public:
    void load(Properties& properties, const Node& node) override;
    void layout_children_x() override;
    void layout_children_y() override;

    double fraction() const { return m_fraction; }
    // Clamped to 0..1; NaN counts as 0.
    void set_fraction(double fraction);

private:
    std::int32_t bar_extent(std::int32_t space, std::int32_t required) const;

    Element* m_line { nullptr }; // Not owned: a descendant.
    double m_fraction { 0 };
};

} // namespace corvane
