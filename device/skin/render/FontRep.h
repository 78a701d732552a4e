#pragma once

#include "common/base/Text.h"

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

namespace corvane {

class FontFace;
struct GlyphImage;

// A font as the skin describes it. The pixel size follows from size * multiplier (the
// multiplier is 2^scale shift for skin fonts).
struct FontDescription {
    std::int32_t size { 12 };
    std::int32_t multiplier { 1 };
    bool bold { false };
    bool italic { false };
    bool underline { false };
    WString face { u"Tahoma" };
    friend bool operator==(const FontDescription&, const FontDescription&) = default;
};

// The signed logical height for n = size * multiplier: -T[n] for n < 20 from a fixed table of
// small sizes, otherwise -(n * 96 / 72); its magnitude is the character (em) height in pixels.
std::int32_t font_logical_height(std::int32_t n);

// A created font: the description, the resolved face, three metrics taken at creation and a
// glyph cache, so measuring or drawing the same characters twice renders each only once.
// Shared through Font handles; fonts are created once per skin load. Main thread only.
class FontRep {
public:
    // Creates the face; logs "Creating font: {face} elapsed=seconds". When no face can be had,
    // logs the failure and keeps an empty face, and text falls back to the default font.
    explicit FontRep(const FontDescription& description);
    ~FontRep();
    FontRep(const FontRep&) = delete;
    FontRep& operator=(const FontRep&) = delete;

    const FontDescription& description() const { return m_description; }
    std::int32_t logical_height() const { return m_logical_height; }
    bool has_face() const { return m_face != nullptr; }
    // The resolved face's family name, or empty without a face.
    std::string face_name() const;

    // Line height (ascent + descent), descent, and the leading inside the line height above the
    // em square; zero when the face could not be had.
    std::int32_t height() const { return m_height; }
    std::int32_t descent() const { return m_descent; }
    std::int32_t internal_leading() const { return m_internal_leading; }
    std::int32_t ascent() const { return m_height - m_descent; }
    std::int32_t underline_offset() const { return m_underline_offset; }
    std::int32_t underline_thickness() const { return m_underline_thickness; }

    // The rendered character, from the cache when it has been seen before. Never null.
    const GlyphImage& glyph(char32_t code) const;
    std::int32_t advance(char32_t code) const;

    // How many characters this font has rendered so far (the cache's misses).
    std::uint64_t rendered_glyph_count() const { return m_rendered_glyphs; }

private:
    FontDescription m_description;
    std::int32_t m_logical_height { 0 };
    std::unique_ptr<FontFace> m_face;
    std::int32_t m_height { 0 };
    std::int32_t m_descent { 0 };
    std::int32_t m_internal_leading { 0 };
    std::int32_t m_underline_offset { 1 };
    std::int32_t m_underline_thickness { 1 };
    mutable std::unordered_map<char32_t, std::unique_ptr<GlyphImage>> m_glyphs;
    mutable std::uint64_t m_rendered_glyphs { 0 };
};

using Font = std::shared_ptr<FontRep>;

// A new shared font for the description (never empty; see FontRep for failures).
Font create_font(const FontDescription& description);

} // namespace corvane
