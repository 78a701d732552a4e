#include "device/skin/render/VisibilityAnimation.h"

#include "device/skin/render/Blenders.h"
#include "device/skin/render/RenderSurface.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace corvane {

std::unique_ptr<VisibilityAnimation> VisibilityAnimation::create(WStringView word)
{
    if (word == u"scale")
        return std::make_unique<VisibilityAnimation>(Kind::Scale);
    if (word == u"pop")
        return std::make_unique<VisibilityAnimation>(Kind::Pop);
    if (word == u"right")
        return std::make_unique<VisibilityAnimation>(Kind::Slide, 0);
    if (word == u"bottom")
        return std::make_unique<VisibilityAnimation>(Kind::Slide, 1);
    if (word == u"left")
        return std::make_unique<VisibilityAnimation>(Kind::Slide, 2);
    if (word == u"top")
        return std::make_unique<VisibilityAnimation>(Kind::Slide, 3);
    if (word == u"flip")
        return std::make_unique<VisibilityAnimation>(Kind::Flip);
    return nullptr;
}

VisibilityAnimation::VisibilityAnimation(Kind kind, std::int32_t slide_direction)
    : m_kind(kind)
    , m_slide_direction(std::clamp(slide_direction, 0, 3))
    , m_speed(kind == Kind::Pop ? 0.5 : 1.0)
    , m_blender(make_color_key_blender())
{
}

VisibilityAnimation::~VisibilityAnimation() = default;

std::unique_ptr<VisibilityAnimation> VisibilityAnimation::clone() const
{
    auto copy = std::make_unique<VisibilityAnimation>(m_kind, m_slide_direction);
    copy->m_speed = m_speed;
    copy->m_blender = m_blender->clone();
    return copy;
}

void VisibilityAnimation::set_blender(std::unique_ptr<Blender> blender)
{
    if (blender)
        m_blender = std::move(blender);
}

void VisibilityAnimation::start(std::shared_ptr<const RenderSurface> before,
    std::shared_ptr<const RenderSurface> after, std::int32_t direction)
{
    m_before = std::move(before);
    m_after = std::move(after);
    m_direction = direction > 0 ? 1 : (direction < 0 ? -1 : 0);
    m_progress = m_direction > 0 ? 0.0 : 1.0;
}

bool VisibilityAnimation::tick(double seconds)
{
    if (m_direction == 0)
        return false;
    m_progress += m_speed * 5.0 * m_direction * seconds;
    bool finished = false;
    if (m_direction > 0 && m_progress >= 1.0) {
        m_progress = 1.0;
        finished = true;
    } else if (m_direction < 0 && m_progress <= 0.0) {
        m_progress = 0.0;
        finished = true;
    }
    if (finished) {
        m_direction = 0;
        m_before.reset();
        m_after.reset();
    }
    return finished;
}

void VisibilityAnimation::draw(RenderSurface& target, Point origin) const
{
    switch (m_kind) {
    case Kind::Scale:
        draw_scaled(target, origin, m_progress * m_progress);
        break;
    case Kind::Pop: {
        double a = 1.5 * std::numbers::pi * m_progress;
        draw_scaled(target, origin, 1.0 - std::cos(a) / (a + 1.0));
        break;
    }
    case Kind::Slide:
        draw_slide(target, origin);
        break;
    case Kind::Flip:
        draw_flip(target, origin);
        break;
    }
}

void VisibilityAnimation::draw_scaled(RenderSurface& target, Point origin, double factor) const
{
    if (m_before)
        target.blit(origin, m_before->size(), *m_before, { 0, 0 }, plain_copy_blender());
    if (!m_after || !m_after->surface())
        return;
    Size size = m_after->size();
    auto width = std::int32_t(size.width * factor);
    auto height = std::int32_t(size.height * factor);
    if (width <= 0 || height <= 0)
        return;
    Point at { origin.x + (size.width - width) / 2, origin.y + (size.height - height) / 2 };
    target.stretch_blit(at, { width, height }, *m_after->surface(), { 0, 0 }, size, *m_blender);
}

void VisibilityAnimation::draw_slide(RenderSurface& target, Point origin) const
{
    if (!m_after)
        return;
    Size size = m_after->size();
    double q = 1.0 - m_progress;
    Point after_offset;
    Point before_offset;
    switch (m_slide_direction) {
    case 0:
        after_offset.x = std::int32_t(q * size.width);
        before_offset.x = std::int32_t(q * size.width - size.width);
        break;
    case 1:
        after_offset.y = std::int32_t(q * size.height);
        before_offset.y = std::int32_t(q * size.height - size.height);
        break;
    case 2:
        after_offset.x = std::int32_t(-q * size.width);
        before_offset.x = std::int32_t(size.width - q * size.width);
        break;
    default:
        after_offset.y = std::int32_t(-q * size.height);
        before_offset.y = std::int32_t(size.height - q * size.height);
        break;
    }
    Rect saved = target.push_clip(origin, size);
    if (m_before)
        target.blit(
            origin + before_offset, m_before->size(), *m_before, { 0, 0 }, plain_copy_blender());
    target.blit(origin + after_offset, size, *m_after, { 0, 0 }, *m_blender);
    target.pop_clip(saved);
}

// The card turns about its horizontal centre line by pi * progress, the before image on the
// front face and the after image on the back, seen from a distance equal to its height. Each
// target row maps to one source row and a horizontal scale, so rows are drawn as scaled spans.
void VisibilityAnimation::draw_flip(RenderSurface& target, Point origin) const
{
    double angle = std::numbers::pi * m_progress;
    const RenderSurface* face = angle < std::numbers::pi / 2 ? m_before.get() : m_after.get();
    double turn = angle < std::numbers::pi / 2 ? angle : angle - std::numbers::pi;
    Size box = m_after ? m_after->size() : (m_before ? m_before->size() : Size {});
    if (!face || !face->surface() || box.is_empty())
        return;
    const Surface& image = *face->surface();
    const Blender& blender = face == m_after.get() ? *m_blender : plain_copy_blender();
    double c = std::cos(turn);
    double s = std::sin(turn);
    if (c < 1e-3)
        return; // edge-on
    double distance = image.height();
    double half_h = image.height() / 2.0;
    // Projected heights of the top and bottom edges (v = -half_h and v = +half_h).
    auto project = [&](double v) { return v * c * distance / (distance + v * s); };
    double top = project(-half_h);
    double bottom = project(half_h);
    double centre_y = box.height / 2.0;
    auto first_row = std::int32_t(std::floor(centre_y + top));
    auto last_row = std::int32_t(std::ceil(centre_y + bottom));
    Rect clip = target.clip();
    for (std::int32_t row = first_row; row < last_row; ++row) {
        std::int32_t y = origin.y + row;
        if (y < clip.min_y || y >= clip.max_y)
            continue;
        double projected = row + 0.5 - centre_y;
        double denominator = distance * c - projected * s;
        if (denominator <= 0)
            continue;
        double v = projected * distance / denominator;
        auto source_y = std::int32_t(std::floor(v + half_h));
        if (source_y < 0 || source_y >= image.height())
            continue;
        double scale = distance / (distance + v * s);
        auto width = std::int32_t(std::lround(image.width() * scale));
        if (width <= 0)
            continue;
        // One target row of the scaled source row, centred, through the row's own stretch.
        std::int32_t x = origin.x + (box.width - width) / 2;
        target.stretch_blit(
            { x, y }, { width, 1 }, image, { 0, source_y }, { image.width(), 1 }, blender);
    }
}

} // namespace corvane
