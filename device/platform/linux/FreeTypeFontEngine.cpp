#include "device/platform/linux/FreeTypeFontEngine.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H

#include <algorithm>
#include <cstring>
#include <map>
#include <string>

namespace corvane {

namespace {

    // FreeType objects owned by RAII wrappers; FT_Done_Face and FT_Done_FreeType release them.
    struct FaceDeleter {
        void operator()(FT_FaceRec_* face) const { FT_Done_Face(face); }
    };
    using FacePtr = std::unique_ptr<FT_FaceRec_, FaceDeleter>;

    struct PatternDeleter {
        void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
    };
    using PatternPtr = std::unique_ptr<FcPattern, PatternDeleter>;

    // What fontconfig chose for a request: the file, and which styles must be synthesised.
    struct Match {
        std::string file;
        int index { 0 };
        std::string family;
        bool embolden { false };
        bool oblique { false };
    };

    bool match_font(const FontFaceRequest& request, char32_t needed, Match& out)
    {
        PatternPtr pattern(FcPatternCreate());
        if (!pattern)
            return false;
        FcPatternAddString(
            pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(request.family.c_str()));
        FcPatternAddInteger(
            pattern.get(), FC_WEIGHT, request.bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
        FcPatternAddInteger(
            pattern.get(), FC_SLANT, request.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
        FcPatternAddDouble(pattern.get(), FC_PIXEL_SIZE, request.pixel_height);
        FcPatternAddBool(pattern.get(), FC_SCALABLE, FcTrue);
        if (needed) {
            FcCharSet* charset = FcCharSetCreate();
            FcCharSetAddChar(charset, needed);
            FcPatternAddCharSet(pattern.get(), FC_CHARSET, charset);
            FcCharSetDestroy(charset);
        }
        FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
        FcDefaultSubstitute(pattern.get());
        FcResult result = FcResultNoMatch;
        PatternPtr match(FcFontMatch(nullptr, pattern.get(), &result));
        if (!match)
            return false;
        FcChar8* file = nullptr;
        if (FcPatternGetString(match.get(), FC_FILE, 0, &file) != FcResultMatch || !file)
            return false;
        out.file = reinterpret_cast<const char*>(file);
        FcPatternGetInteger(match.get(), FC_INDEX, 0, &out.index);
        FcChar8* family = nullptr;
        if (FcPatternGetString(match.get(), FC_FAMILY, 0, &family) == FcResultMatch && family)
            out.family = reinterpret_cast<const char*>(family);
        int weight = FC_WEIGHT_REGULAR;
        int slant = FC_SLANT_ROMAN;
        FcPatternGetInteger(match.get(), FC_WEIGHT, 0, &weight);
        FcPatternGetInteger(match.get(), FC_SLANT, 0, &slant);
        out.embolden = request.bold && weight < FC_WEIGHT_DEMIBOLD;
        out.oblique = request.italic && slant == FC_SLANT_ROMAN;
        return true;
    }

    class FreeTypeFace final : public FontFace {
    public:
        FreeTypeFace(FT_Library library, const FontFaceRequest& request)
            : m_library(library)
            , m_request(request)
        {
        }

        // False when neither the match nor FreeType can give a face at that size.
        bool open(const Match& match)
        {
            m_primary = open_sized(match);
            if (!m_primary.face)
                return false;
            m_family = match.family;
            FT_Size_Metrics& size = m_primary.face->size->metrics;
            m_metrics.ascent = std::int32_t((size.ascender + 63) >> 6);
            m_metrics.descent = std::int32_t((-size.descender + 63) >> 6);
            if (FT_IS_SCALABLE(m_primary.face.get())) {
                FT_Long position = FT_MulFix(m_primary.face->underline_position, size.y_scale);
                FT_Long thickness = FT_MulFix(m_primary.face->underline_thickness, size.y_scale);
                m_metrics.underline_thickness
                    = std::max<std::int32_t>(1, std::int32_t((thickness + 32) >> 6));
                m_metrics.underline_offset
                    = std::max<std::int32_t>(1, std::int32_t((-position + 32) >> 6));
            }
            return true;
        }

        const FaceMetrics& metrics() const override { return m_metrics; }
        std::string family_name() const override { return m_family; }

        bool render_glyph(char32_t code, GlyphImage& out) override
        {
            out = GlyphImage {};
            SizedFace* face = &m_primary;
            FT_UInt index = FT_Get_Char_Index(face->face.get(), code);
            if (index == 0 && code >= 0x20) {
                if (SizedFace* fallback = fallback_for(code)) {
                    FT_UInt other = FT_Get_Char_Index(fallback->face.get(), code);
                    if (other != 0) {
                        face = fallback;
                        index = other;
                    }
                }
            }
            FT_Face f = face->face.get();
            if (face->oblique) {
                FT_Matrix shear { 0x10000, 0x3800, 0, 0x10000 }; // about 12 degrees
                FT_Set_Transform(f, &shear, nullptr);
            } else {
                FT_Set_Transform(f, nullptr, nullptr);
            }
            if (FT_Load_Glyph(f, index, FT_LOAD_DEFAULT) != 0)
                return false;
            FT_GlyphSlot slot = f->glyph;
            if (face->embolden)
                FT_GlyphSlot_Embolden(slot);
            out.advance = std::int32_t((slot->advance.x + 32) >> 6);
            if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0)
                return false;
            const FT_Bitmap& bitmap = slot->bitmap;
            if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY && bitmap.pixel_mode != FT_PIXEL_MODE_MONO)
                return false;
            out.left = slot->bitmap_left;
            out.top = slot->bitmap_top;
            out.width = std::int32_t(bitmap.width);
            out.height = std::int32_t(bitmap.rows);
            out.coverage.resize(std::size_t(out.width) * std::size_t(out.height));
            for (std::int32_t y = 0; y < out.height; ++y) {
                const unsigned char* row = bitmap.buffer + std::ptrdiff_t(y) * bitmap.pitch;
                std::uint8_t* dst = out.coverage.data() + std::size_t(y) * std::size_t(out.width);
                if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY) {
                    for (std::int32_t x = 0; x < out.width; ++x)
                        dst[x] = std::uint8_t(std::min<unsigned>(
                            255, row[x] * 255u / std::max(1u, bitmap.num_grays - 1u)));
                } else {
                    for (std::int32_t x = 0; x < out.width; ++x)
                        dst[x] = (row[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
                }
            }
            return true;
        }

    private:
        struct SizedFace {
            FacePtr face;
            bool embolden { false };
            bool oblique { false };
        };

        SizedFace open_sized(const Match& match)
        {
            SizedFace sized;
            FT_Face face = nullptr;
            if (FT_New_Face(m_library, match.file.c_str(), match.index, &face) != 0)
                return sized;
            sized.face.reset(face);
            FT_UInt height = FT_UInt(std::clamp(m_request.pixel_height, 1, 1000));
            if (FT_Set_Pixel_Sizes(face, 0, height) != 0) {
                if (face->num_fixed_sizes <= 0 || FT_Select_Size(face, 0) != 0) {
                    sized.face.reset();
                    return sized;
                }
            }
            sized.embolden = match.embolden;
            sized.oblique = match.oblique;
            return sized;
        }

        // Another installed face that has the character, remembered per file.
        SizedFace* fallback_for(char32_t code)
        {
            Match match;
            if (!match_font(m_request, code, match))
                return nullptr;
            auto key = match.file + '#' + std::to_string(match.index);
            auto found = m_fallbacks.find(key);
            if (found == m_fallbacks.end()) {
                SizedFace sized = open_sized(match);
                // Colour-bitmap faces (the usual emoji font) give no coverage to draw with, and
                // their one large strike would not fit the line anyway.
                if (!sized.face || !FT_IS_SCALABLE(sized.face.get()))
                    return nullptr;
                found = m_fallbacks.emplace(key, std::move(sized)).first;
            }
            return &found->second;
        }

        FT_Library m_library; // Owned by the engine, which outlives its faces.
        FontFaceRequest m_request;
        SizedFace m_primary;
        std::map<std::string, SizedFace> m_fallbacks;
        FaceMetrics m_metrics;
        std::string m_family;
    };

} // namespace

struct FreeTypeFontEngine::Library {
    FT_Library library { nullptr };
};

FreeTypeFontEngine::FreeTypeFontEngine()
    : m_library(std::make_unique<Library>())
{
    FcInit();
    if (FT_Init_FreeType(&m_library->library) != 0)
        m_library->library = nullptr;
}

FreeTypeFontEngine::~FreeTypeFontEngine()
{
    if (m_library->library)
        FT_Done_FreeType(m_library->library);
    // Releases fontconfig's caches at exit; faces hold no fontconfig objects.
    FcFini();
}

std::unique_ptr<FontFace> FreeTypeFontEngine::open_face(const FontFaceRequest& request)
{
    if (!m_library->library)
        return nullptr;
    Match match;
    if (!match_font(request, 0, match))
        return nullptr;
    auto face = std::make_unique<FreeTypeFace>(m_library->library, request);
    if (!face->open(match))
        return nullptr;
    return face;
}

FontEngine& platform_font_engine()
{
    // Constructed on first use, so any static font made afterwards is destroyed before it.
    static FreeTypeFontEngine engine;
    return engine;
}

} // namespace corvane
