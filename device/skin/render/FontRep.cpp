#include "device/skin/render/FontRep.h"

#include "device/core/Log.h"
#include "device/core/Ticks.h"
#include "device/platform/FontEngine.h"

#include <algorithm>
#include <array>

namespace corvane {

namespace {

    // Character heights for small sizes, where n * 96 / 72 would round too coarsely.
    constexpr std::array<std::int32_t, 20> small_heights { 0, 1, 3, 4, 6, 7, 8, 10, 11, 12, 14, 15,
        16, 18, 19, 20, 21, 23, 24, 25 };

    // A height of 0 asks for the default size.
    constexpr std::int32_t default_pixel_height = 16;
    constexpr std::int32_t max_face_name = 31;
    // Glyphs kept per font before the cache starts afresh; far above what one language's screens
    // use.
    constexpr std::size_t max_cached_glyphs = 4096;

    void log_seconds(LogStream& log, std::uint32_t milliseconds)
    {
        log << milliseconds / 1000 << u"." << (milliseconds % 1000) / 100
            << (milliseconds % 100) / 10 << milliseconds % 10;
    }

} // namespace

std::int32_t font_logical_height(std::int32_t n)
{
    if (n >= 0 && n < std::int32_t(small_heights.size()))
        return -small_heights[std::size_t(n)];
    return -(std::int32_t(std::int64_t(n) * 96 / 72));
}

FontRep::FontRep(const FontDescription& description)
    : m_description(description)
{
    std::uint32_t started = tick_count();
    m_logical_height = font_logical_height(std::int32_t(std::clamp<std::int64_t>(
        std::int64_t(description.size) * description.multiplier, -100000, 100000)));
    FontFaceRequest request;
    request.family = to_utf8(WStringView(description.face).substr(0, max_face_name));
    // A negative height is the character (em) height; a positive one, the whole cell, which
    // differs only by the internal leading: taken as the em height as well.
    std::int32_t pixels = m_logical_height < 0 ? -m_logical_height : m_logical_height;
    request.pixel_height = pixels == 0 ? default_pixel_height : std::min(pixels, 1000);
    request.bold = description.bold;
    request.italic = description.italic;
    FontEngine& engine = platform_font_engine();
    m_face = engine.open_face(request);
    if (!m_face) {
        get_log() << u"ERROR: FontRep::FontRep() Failed to create font\n";
        // Text still shows in whatever face the system offers.
        request.family = "sans-serif";
        m_face = engine.open_face(request);
    }
    LogStream& log = get_log();
    log << u"Creating font: {" << description.face << u"} elapsed=";
    log_seconds(log, tick_count() - started);
    log << u"\n";
    if (!m_face) {
        get_log() << u"GetTextMetrics failed: {" << description.face << u"}\n";
        return;
    }
    const FaceMetrics& metrics = m_face->metrics();
    m_height = metrics.ascent + metrics.descent;
    m_descent = metrics.descent;
    m_internal_leading = std::max(0, m_height - request.pixel_height);
    m_underline_offset = metrics.underline_offset;
    m_underline_thickness = metrics.underline_thickness;
}

FontRep::~FontRep() = default;

std::string FontRep::face_name() const
{
    return m_face ? m_face->family_name() : std::string();
}

const GlyphImage& FontRep::glyph(char32_t code) const
{
    auto found = m_glyphs.find(code);
    if (found != m_glyphs.end())
        return *found->second;
    if (m_glyphs.size() >= max_cached_glyphs)
        m_glyphs.clear();
    auto image = std::make_unique<GlyphImage>();
    if (m_face && !m_face->render_glyph(code, *image)) {
        std::int32_t advance = image->advance;
        *image = GlyphImage {};
        image->advance = advance;
    }
    ++m_rendered_glyphs;
    return *m_glyphs.emplace(code, std::move(image)).first->second;
}

std::int32_t FontRep::advance(char32_t code) const
{
    return glyph(code).advance;
}

Font create_font(const FontDescription& description)
{
    return std::make_shared<FontRep>(description);
}

} // namespace corvane
