#pragma once

#include "device/skin/render/Bitmap.h"
#include "device/skin/render/Blender.h"
#include "device/skin/skin/Element.h"

#include <memory>

namespace corvane {

// "image": a picture stretched over the element as a three-part image, through a mask or an
// alpha blender when the skin gives one. Main thread.
class ImageElement : public Element {
public:
    void load(Properties& properties, const Node& node) override;
    void draw(RenderSurface& surface, Point origin) override;
    void measure_content_x(MeasuredRange& range) override;
    void measure_content_y(MeasuredRange& range) override;

    const ImageRef& source() const { return m_source; }
    void set_source(const ImageRef& source);
    // Null: plain copy.
    const Blender* blender() const { return m_blender.get(); }
    void set_blender(std::unique_ptr<Blender> blender);

private:
    ImageRef m_source;
    ImageRef m_mask;
    std::unique_ptr<Blender> m_blender;
    bool m_grow { false };
};

} // namespace corvane
