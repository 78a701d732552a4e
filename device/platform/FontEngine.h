#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace corvane {

// The narrow font interface between the renderer and the system's font rasteriser. The renderer
// measures and composes text itself; a face only resolves names, reports metrics and turns one
// character into an 8-bit coverage bitmap. Main thread only.

struct FontFaceRequest {
    std::string family; // UTF-8; the closest installed face is chosen ("Tahoma" is fine)
    std::int32_t pixel_height { 16 }; // em height in pixels (the size of a negative logical height)
    bool bold { false };
    bool italic { false };
};

struct FaceMetrics {
    std::int32_t ascent { 0 }; // baseline to the top of the line, pixels
    std::int32_t descent { 0 }; // baseline to the bottom of the line, pixels
    std::int32_t underline_offset { 1 }; // baseline down to the underline's first row
    std::int32_t underline_thickness { 1 };
};

// One rendered character. Rows are top-down, `width` bytes each, 0 = none, 255 = full coverage.
struct GlyphImage {
    std::int32_t advance { 0 }; // pen advance in whole pixels
    std::int32_t left { 0 }; // pen position to the bitmap's first column
    std::int32_t top { 0 }; // baseline up to the bitmap's first row
    std::int32_t width { 0 };
    std::int32_t height { 0 };
    std::vector<std::uint8_t> coverage;
};

class FontFace {
public:
    virtual ~FontFace() = default;
    virtual const FaceMetrics& metrics() const = 0;
    // The resolved face's family name (UTF-8), for logs and tests.
    virtual std::string family_name() const = 0;
    // Renders one Unicode character, falling back to another installed face when this one lacks
    // it. False when nothing could be rendered (the image is then an empty box of the advance).
    virtual bool render_glyph(char32_t code, GlyphImage& out) = 0;
};

class FontEngine {
public:
    virtual ~FontEngine() = default;
    // Nothing when no face at all can be opened.
    virtual std::unique_ptr<FontFace> open_face(const FontFaceRequest& request) = 0;
};

// The process-wide engine of this platform (FreeType and fontconfig on Linux).
FontEngine& platform_font_engine();

} // namespace corvane
