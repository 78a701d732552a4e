#pragma once

#include "device/skin/render/Color.h"
#include "device/skin/skin/Element.h"

namespace corvane {

// "color": fills its rectangle with its colour "color" (opaque black by default), then draws
// its children over it.
class ColorElement : public Element {
public:
    void load(Properties& properties, const Node& node) override;
    void draw(RenderSurface& surface, Point origin) override;

    Color color() const { return m_color; }
    void set_color(Color color);

private:
    Color m_color { 0, 0, 0, 255 };
};

// "clip": draws its children as the base element does, cut to its own rectangle.
class ClipElement : public Element {
public:
    void draw(RenderSurface& surface, Point origin) override;
};

} // namespace corvane
