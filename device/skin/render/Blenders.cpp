#include "device/skin/render/Blenders.h"

#include "device/skin/render/PixelOps.h"
#include "device/skin/render/RuleBlender.h"
#include "device/skin/render/Surface.h"

#include <algorithm>
#include <cstring>

namespace corvane {

namespace {

    using namespace pixel_ops;
    using spans::gather_scaled;
    using spans::gather_shifted;
    using spans::gather_tiled;
    using spans::RuleBlender;

    struct PlainRule {
        static constexpr bool has_fill = false;
        static Pixel apply(Pixel s, Pixel) { return s; }
    };

    // Plain copy gathers straight into the destination.
    class PlainCopyBlender final : public RuleBlender<PlainRule> {
    public:
        std::unique_ptr<Blender> clone() const override
        {
            return std::make_unique<PlainCopyBlender>();
        }

        void copy(
            Pixel* dst, const SourceRow& src, std::int32_t x, std::int32_t count) const override
        {
            if (count > 0)
                std::memmove(dst, src.pixels + x, std::size_t(count) * sizeof(Pixel));
        }

        void copy_block(Pixel* dst, std::int32_t dst_stride, const Surface& src, std::int32_t x,
            std::int32_t y, std::int32_t width, std::int32_t height) const override
        {
            if (width <= 0 || height <= 0)
                return;
            // Whole rows without padding on both sides are one run of memory.
            const Pixel* from = src.row(y) + x;
            std::size_t row_bytes = std::size_t(width) * sizeof(Pixel);
            if (dst_stride == src.stride() && row_bytes == std::size_t(dst_stride)) {
                std::memmove(dst, from, row_bytes * std::size_t(height));
                return;
            }
            Blender::copy_block(dst, dst_stride, src, x, y, width, height);
        }

        void scaled_copy(Pixel* dst, const SourceRow& src, std::uint32_t x_fixed,
            std::uint32_t step_fixed, std::int32_t count) const override
        {
            gather_scaled(dst, src.pixels, x_fixed, step_fixed, count);
        }

        void shifted_copy(Pixel* dst, const SourceRow& src, std::int32_t coord, std::int32_t shift,
            std::int32_t count) const override
        {
            if (shift == 0)
                copy(dst, src, coord, count);
            else
                gather_shifted(dst, src.pixels, coord, shift, count);
        }

        void shifted_tiled_copy(Pixel* dst, const SourceRow& src, std::int32_t coord,
            std::int32_t start, std::int32_t end, std::int32_t shift,
            std::int32_t count) const override
        {
            gather_tiled(dst, src.pixels, coord, start, end, shift, count);
        }
    };

    struct SolidFillRule {
        static constexpr bool has_fill = true;
        Pixel value;
        Pixel apply(Pixel, Pixel) const { return value; }
        void fill(Pixel* dst, std::int32_t count) const { fill_span(dst, value, count); }
    };

    struct ColorKeyRule {
        static constexpr bool has_fill = false;
        static Pixel apply(Pixel s, Pixel d) { return s == transparent_pixel ? d : s; }
    };

    template<int Level> struct ShadowRule {
        static constexpr bool has_fill = false;
        static Pixel apply(Pixel s, Pixel d)
        {
            Pixel shade;
            if constexpr (Level == 1)
                shade = quarter(d);
            else if constexpr (Level == 2)
                shade = half(d);
            else
                shade = three_quarters(d);
            Pixel shadow = static_cast<Pixel>(s + shade);
            Pixel drawn = (s & opaque_bit) ? s : shadow;
            return s == transparent_pixel ? d : drawn;
        }
    };

    struct OpaqueOnlyRule {
        static constexpr bool has_fill = false;
        static Pixel apply(Pixel s, Pixel d)
        {
            return (s != transparent_pixel && (s & opaque_bit)) ? s : d;
        }
    };

    struct TintRule {
        static constexpr bool has_fill = false;
        std::uint32_t red, green, blue;
        Pixel apply(Pixel s, Pixel) const { return tint(s, red, green, blue); }
    };

    struct TintMergeRule {
        static constexpr bool has_fill = false;
        std::uint32_t red, green, blue;
        Pixel apply(Pixel s, Pixel d) const
        {
            return static_cast<Pixel>(tint(s, red, green, blue) | d);
        }
    };

    struct TextMergeRule {
        static constexpr bool has_fill = false;
        static Pixel apply(Pixel s, Pixel d)
        {
            return s != d ? static_cast<Pixel>(s | opaque_bit) : s;
        }
    };

    // Darkening ignores the source: every operation darkens the destination.
    struct DimRule {
        static constexpr bool has_fill = true;
        std::uint32_t k;
        Pixel apply(Pixel, Pixel d) const { return dim(d, k); }
        void fill(Pixel* dst, std::int32_t count) const
        {
            if (k >= 16)
                return;
            if (k == 0) {
                fill_span(dst, 0, count);
                return;
            }
            for (std::int32_t i = 0; i < count; ++i)
                dst[i] = dim(dst[i], k);
        }
    };

    class DimBlender final : public RuleBlender<DimRule> {
    public:
        using RuleBlender::RuleBlender;
        std::unique_ptr<Blender> clone() const override
        {
            return std::make_unique<DimBlender>(m_rule);
        }
        void copy(Pixel* dst, const SourceRow&, std::int32_t, std::int32_t count) const override
        {
            fill(dst, count);
        }
        void scaled_copy(Pixel* dst, const SourceRow&, std::uint32_t, std::uint32_t,
            std::int32_t count) const override
        {
            fill(dst, count);
        }
        void shifted_copy(Pixel* dst, const SourceRow&, std::int32_t, std::int32_t,
            std::int32_t count) const override
        {
            fill(dst, count);
        }
        void shifted_tiled_copy(Pixel* dst, const SourceRow&, std::int32_t, std::int32_t,
            std::int32_t, std::int32_t, std::int32_t count) const override
        {
            fill(dst, count);
        }
    };

    // Reads a mask of the source's size at the source coordinates; the opacity scales the mask.
    class MaskBlender final : public Blender {
    public:
        MaskBlender(std::shared_ptr<const Surface> mask, int opacity)
            : m_mask(std::move(mask))
            , m_opacity(std::clamp(opacity, 0, 256))
        {
        }

        std::unique_ptr<Blender> clone() const override
        {
            return std::make_unique<MaskBlender>(m_mask, m_opacity);
        }

        void copy(
            Pixel* dst, const SourceRow& src, std::int32_t x, std::int32_t count) const override
        {
            const Pixel* m = mask_row(src, x, count);
            if (!m)
                return;
            const Pixel* s = src.pixels + x;
            if (m_opacity == 256) {
                for (std::int32_t i = 0; i < count; ++i)
                    dst[i] = blend(s[i], dst[i], m[i] & 0x1F);
            } else {
                for (std::int32_t i = 0; i < count; ++i)
                    dst[i] = blend(s[i], dst[i], ((m[i] & 0x1F) * m_opacity) >> 8);
            }
        }

        void scaled_copy(Pixel* dst, const SourceRow& src, std::uint32_t x_fixed,
            std::uint32_t step_fixed, std::int32_t count) const override
        {
            if (count <= 0)
                return;
            std::int32_t last
                = std::int32_t((x_fixed + std::uint32_t(count - 1) * step_fixed) >> 10);
            const Pixel* m = mask_row(
                src, std::int32_t(x_fixed >> 10), last - std::int32_t(x_fixed >> 10) + 1);
            if (!m)
                return;
            m -= x_fixed >> 10;
            for (std::int32_t i = 0; i < count; ++i) {
                std::uint32_t sx = x_fixed >> 10;
                dst[i] = blend(src.pixels[sx], dst[i], scaled_mask(m[sx]));
                x_fixed += step_fixed;
            }
        }

        void shifted_copy(Pixel* dst, const SourceRow& src, std::int32_t coord, std::int32_t shift,
            std::int32_t count) const override
        {
            if (count <= 0)
                return;
            std::int32_t first = coord >> shift;
            const Pixel* m = mask_row(src, first, ((coord + count - 1) >> shift) - first + 1);
            if (!m)
                return;
            m -= first;
            for (std::int32_t i = 0; i < count; ++i) {
                std::int32_t sx = (coord + i) >> shift;
                dst[i] = blend(src.pixels[sx], dst[i], scaled_mask(m[sx]));
            }
        }

        void shifted_tiled_copy(Pixel* dst, const SourceRow& src, std::int32_t coord,
            std::int32_t start, std::int32_t end, std::int32_t shift,
            std::int32_t count) const override
        {
            while (count > 0) {
                std::int32_t run = std::min(count, end - coord);
                shifted_copy(dst, src, coord, shift, run);
                dst += run;
                count -= run;
                coord = start;
            }
        }

    private:
        static Pixel blend(Pixel s, Pixel d, std::int32_t m)
        {
            if (m == 0)
                return d;
            if (m >= 31)
                return s;
            return mix(s, d, m);
        }
        std::int32_t scaled_mask(Pixel m) const { return ((m & 0x1F) * m_opacity) >> 8; }

        // The mask pixels under source columns [x, x + count) of the source row, or nothing when
        // the mask does not cover them.
        const Pixel* mask_row(const SourceRow& src, std::int32_t x, std::int32_t count) const
        {
            if (!m_mask || src.y < 0 || src.y >= m_mask->height() || x < 0 || count < 0
                || x + count > m_mask->width())
                return nullptr;
            return m_mask->row(src.y) + x;
        }

        std::shared_ptr<const Surface> m_mask;
        int m_opacity;
    };

} // namespace

std::unique_ptr<Blender> make_plain_copy_blender()
{
    return std::make_unique<PlainCopyBlender>();
}

std::unique_ptr<Blender> make_solid_fill_blender(Color color)
{
    return std::make_unique<RuleBlender<SolidFillRule>>(SolidFillRule { color.to_565() });
}

std::unique_ptr<Blender> make_color_key_blender()
{
    return std::make_unique<RuleBlender<ColorKeyRule>>();
}

std::unique_ptr<Blender> make_shadow_blender(int level)
{
    if (level <= 1)
        return std::make_unique<RuleBlender<ShadowRule<1>>>();
    if (level == 2)
        return std::make_unique<RuleBlender<ShadowRule<2>>>();
    return std::make_unique<RuleBlender<ShadowRule<3>>>();
}

std::unique_ptr<Blender> make_opaque_only_blender()
{
    return std::make_unique<RuleBlender<OpaqueOnlyRule>>();
}

std::unique_ptr<Blender> make_tint_blender(
    std::uint32_t red, std::uint32_t green, std::uint32_t blue)
{
    return std::make_unique<RuleBlender<TintRule>>(TintRule { red, green, blue });
}

std::unique_ptr<Blender> make_tint_merge_blender(
    std::uint32_t red, std::uint32_t green, std::uint32_t blue)
{
    return std::make_unique<RuleBlender<TintMergeRule>>(TintMergeRule { red, green, blue });
}

std::unique_ptr<Blender> make_text_merge_blender()
{
    return std::make_unique<RuleBlender<TextMergeRule>>();
}

std::unique_ptr<Blender> make_dim_blender_level(int k)
{
    return std::make_unique<DimBlender>(
        DimRule { static_cast<std::uint32_t>(std::clamp(k, 0, 16)) });
}

std::unique_ptr<Blender> make_dim_blender(int value)
{
    return make_dim_blender_level((value + 8) / 16);
}

std::unique_ptr<Blender> make_alpha_blender(std::int64_t alpha)
{
    std::int64_t entry = alpha < 0 ? 0 : std::min<std::int64_t>(alpha / 64, 4);
    switch (entry) {
    case 0:
        return make_color_key_blender();
    case 1:
    case 2:
    case 3:
        return make_shadow_blender(static_cast<int>(entry));
    default:
        return make_opaque_only_blender();
    }
}

std::unique_ptr<Blender> make_mask_blender(std::shared_ptr<const Surface> mask, int opacity)
{
    return std::make_unique<MaskBlender>(std::move(mask), opacity);
}

const Blender& plain_copy_blender()
{
    static const PlainCopyBlender blender;
    return blender;
}

const Blender& color_key_blender()
{
    static const RuleBlender<ColorKeyRule> blender;
    return blender;
}

const Blender& text_merge_blender()
{
    static const RuleBlender<TextMergeRule> blender;
    return blender;
}

} // namespace corvane
