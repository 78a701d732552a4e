#include "device/skin/widgets/ImageElement.h"

#include "device/skin/render/Blenders.h"
#include "device/skin/skin/Properties.h"

#include <algorithm>

namespace corvane {

void ImageElement::load(Properties& properties, const Node& node)
{
    Element::load(properties, node);
    static const ImageRef empty_picture;
    m_source = properties.get_picture(node, u"src", empty_picture);
    m_mask = properties.get_picture(node, u"mask", empty_picture);
    if (!m_mask.bitmap.is_empty() && m_mask.bitmap.size() == m_source.bitmap.size()) {
        m_blender = make_mask_blender(m_mask.bitmap.shared_surface());
    } else {
        auto alpha = static_cast<std::int32_t>(properties.get_integer(node, u"alpha", 0xFFFFFFFF));
        if (alpha != -1)
            m_blender = make_alpha_blender(alpha);
    }
    m_grow = properties.get_integer(node, u"grow", 0) != 0;
    invalidate_measures();
    mark_redraw();
}

void ImageElement::set_source(const ImageRef& source)
{
    m_source = source;
    if (m_grow)
        invalidate_measures();
    mark_redraw();
}

void ImageElement::set_blender(std::unique_ptr<Blender> blender)
{
    m_blender = std::move(blender);
    mark_redraw();
}

void ImageElement::measure_content_x(MeasuredRange& range)
{
    if (!m_grow)
        return;
    std::int32_t w = m_source.coords.x3 - m_source.coords.x0;
    range.preferred = std::max(range.preferred, w);
    range.minimum = std::max(range.minimum, w);
}

void ImageElement::measure_content_y(MeasuredRange& range)
{
    if (!m_grow)
        return;
    std::int32_t h = m_source.coords.y3 - m_source.coords.y0;
    range.preferred = std::max(range.preferred, h);
    range.minimum = std::max(range.minimum, h);
}

void ImageElement::draw(RenderSurface& surface, Point origin)
{
    if (!m_source.bitmap.is_empty())
        m_source.draw(surface, origin, size(), m_blender ? *m_blender : plain_copy_blender());
    Element::draw(surface, origin);
}

} // namespace corvane
