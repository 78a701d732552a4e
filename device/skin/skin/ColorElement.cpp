#include "device/skin/skin/ColorElement.h"

#include "device/skin/render/RenderSurface.h"
#include "device/skin/skin/Properties.h"

namespace corvane {

void ColorElement::load(Properties& properties, const Node& node)
{
    Element::load(properties, node);
    m_color = properties.get_color(node, u"color", Color { 0, 0, 0, 255 });
}

void ColorElement::set_color(Color color)
{
    if (m_color == color)
        return;
    m_color = color;
    mark_redraw();
}

void ColorElement::draw(RenderSurface& surface, Point origin)
{
    surface.fill_color(origin, size(), m_color);
    Element::draw(surface, origin);
}

void ClipElement::draw(RenderSurface& surface, Point origin)
{
    Rect saved = surface.push_clip(origin, size());
    Element::draw(surface, origin);
    surface.pop_clip(saved);
}

} // namespace corvane
