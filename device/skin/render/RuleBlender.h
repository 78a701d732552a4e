#pragma once

#include "device/skin/render/Blender.h"
#include "device/skin/render/PixelOps.h"
#include "device/skin/render/Surface.h"

#include <algorithm>
#include <cstring>
#include <memory>

// The span machinery the blenders share: gathering source pixels for a span (replicated, tiled or
// scaled) and running a per-pixel rule over them. Included by the blender implementations only.
namespace corvane::spans {

using namespace pixel_ops;

// Source pixels gathered for one span before the rule runs over them: pixel replication and
// tiling are index work that does not vectorise, the rules are; split this way both loops
// are tight and each segment costs one virtual call.
constexpr std::int32_t gather_chunk = 512;

// out[i] = s[(coord + i) >> shift]. For shift 1 each source pixel fills a pair: one 32-bit
// store when the pair is word-aligned.
inline void gather_shifted(
    Pixel* out, const Pixel* s, std::int32_t coord, std::int32_t shift, std::int32_t count)
{
    if (count <= 0)
        return;
    if (shift == 0) {
        std::memcpy(out, s + coord, std::size_t(count) * sizeof(Pixel));
        return;
    }
    std::int32_t i = 0;
    if (shift == 1) {
        if (coord & 1)
            out[i++] = s[coord >> 1];
        const Pixel* sp = s + ((coord + i) >> 1);
        std::int32_t pairs = (count - i) >> 1;
        Pixel* op = out + i;
        if ((reinterpret_cast<std::uintptr_t>(op) & 2) == 0) {
            auto* words = reinterpret_cast<PixelPair*>(op);
            for (std::int32_t k = 0; k < pairs; ++k)
                words[k] = sp[k] | (std::uint32_t(sp[k]) << 16);
        } else {
            for (std::int32_t k = 0; k < pairs; ++k) {
                op[2 * k] = sp[k];
                op[2 * k + 1] = sp[k];
            }
        }
        i += pairs * 2;
        if (i < count)
            out[i] = s[(coord + i) >> 1];
        return;
    }
    for (; i < count; ++i)
        out[i] = s[(coord + i) >> shift];
}

// As gather_shifted with the coordinate wrapping from end back to start; answers the
// coordinate after the last pixel. After the first whole period the output repeats itself,
// so the rest is copied from what is already gathered, doubling each time.
inline std::int32_t gather_tiled(Pixel* out, const Pixel* s, std::int32_t coord, std::int32_t start,
    std::int32_t end, std::int32_t shift, std::int32_t count)
{
    std::int32_t run = std::min(count, end - coord);
    gather_shifted(out, s, coord, shift, run);
    out += run;
    count -= run;
    coord += run;
    if (coord >= end)
        coord = start;
    if (count <= 0)
        return coord;
    std::int32_t period = end - start;
    std::int32_t first = std::min(count, period);
    gather_shifted(out, s, start, shift, first);
    for (std::int32_t filled = first; filled < count;) {
        std::int32_t n = std::min(filled, count - filled);
        std::memcpy(out + filled, out, std::size_t(n) * sizeof(Pixel));
        filled += n;
    }
    return start + count % period;
}

inline void gather_scaled(
    Pixel* out, const Pixel* s, std::uint32_t x_fixed, std::uint32_t step_fixed, std::int32_t count)
{
    for (std::int32_t i = 0; i < count; ++i) {
        out[i] = s[x_fixed >> 10];
        x_fixed += step_fixed;
    }
}

// The four span operations for a per-pixel rule `Rule::apply(s, d)`; the rules are
// branch-free selects that the compiler vectorises.
template<typename Rule> class RuleBlender : public Blender {
public:
    explicit RuleBlender(Rule rule = {})
        : m_rule(rule)
    {
    }

    std::unique_ptr<Blender> clone() const override
    {
        return std::make_unique<RuleBlender>(m_rule);
    }

    void copy(Pixel* dst, const SourceRow& src, std::int32_t x, std::int32_t count) const override
    {
        apply(dst, src.pixels + x, count);
    }

    void scaled_copy(Pixel* dst, const SourceRow& src, std::uint32_t x_fixed,
        std::uint32_t step_fixed, std::int32_t count) const override
    {
        alignas(4) Pixel buffer[gather_chunk];
        while (count > 0) {
            std::int32_t n = std::min(count, gather_chunk);
            gather_scaled(buffer, src.pixels, x_fixed, step_fixed, n);
            apply(dst, buffer, n);
            x_fixed += std::uint32_t(n) * step_fixed;
            dst += n;
            count -= n;
        }
    }

    void shifted_copy(Pixel* dst, const SourceRow& src, std::int32_t coord, std::int32_t shift,
        std::int32_t count) const override
    {
        if (shift == 0) {
            apply(dst, src.pixels + coord, count);
            return;
        }
        alignas(4) Pixel buffer[gather_chunk];
        while (count > 0) {
            std::int32_t n = std::min(count, gather_chunk);
            gather_shifted(buffer, src.pixels, coord, shift, n);
            apply(dst, buffer, n);
            coord += n;
            dst += n;
            count -= n;
        }
    }

    void shifted_tiled_copy(Pixel* dst, const SourceRow& src, std::int32_t coord,
        std::int32_t start, std::int32_t end, std::int32_t shift, std::int32_t count) const override
    {
        alignas(4) Pixel buffer[gather_chunk];
        while (count > 0) {
            std::int32_t n = std::min(count, gather_chunk);
            coord = gather_tiled(buffer, src.pixels, coord, start, end, shift, n);
            apply(dst, buffer, n);
            dst += n;
            count -= n;
        }
    }

    void fill(Pixel* dst, std::int32_t count) const override
    {
        if constexpr (Rule::has_fill)
            m_rule.fill(dst, count);
    }

protected:
    void apply(Pixel* dst, const Pixel* s, std::int32_t count) const
    {
        const Rule rule = m_rule;
        for (std::int32_t i = 0; i < count; ++i)
            dst[i] = rule.apply(s[i], dst[i]);
    }

    Rule m_rule;
};

} // namespace corvane::spans
