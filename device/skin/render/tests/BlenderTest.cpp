#include "device/skin/render/Blenders.h"
#include "device/skin/render/Surface.h"
#include "device/skin/render/tests/RenderTestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <numeric>
#include <random>
#include <tuple>
#include <vector>

using namespace corvane;

namespace {

// The rules as the blender table states them, one pixel at a time, to check the span loops
// (word stores, replication, wrapping) against.
Pixel quarter(Pixel d)
{
    return Pixel((d & 0xE79F) >> 2);
}
Pixel half(Pixel d)
{
    return Pixel((d & 0xF7DF) >> 1);
}
Pixel shadow(Pixel s, Pixel d, int level)
{
    if (s == 0xF81F)
        return d;
    if (s & 0x20)
        return s;
    Pixel shade = level == 1 ? quarter(d) : level == 2 ? half(d) : Pixel(half(d) + half(half(d)));
    return Pixel(s + shade);
}
Pixel dim_ref(Pixel d, int k)
{
    int r = (d >> 11) * k / 16, g = ((d >> 5) & 63) * k / 16, b = (d & 31) * k / 16;
    return Pixel((r << 11) | (g << 5) | b);
}

struct Case {
    const char* name;
    std::function<std::unique_ptr<Blender>()> make;
    std::function<Pixel(Pixel, Pixel)> rule;
};

std::vector<Case> cases()
{
    return {
        { "plain", [] { return make_plain_copy_blender(); }, [](Pixel s, Pixel) { return s; } },
        { "solid",
            [] {
                return make_solid_fill_blender({ 200, 100, 50, 255 });
            },
            [](Pixel, Pixel) { return Pixel(0xCB26); } },
        { "color_key", [] { return make_color_key_blender(); },
            [](Pixel s, Pixel d) { return s == 0xF81F ? d : s; } },
        { "shadow1", [] { return make_shadow_blender(1); },
            [](Pixel s, Pixel d) { return shadow(s, d, 1); } },
        { "shadow2", [] { return make_shadow_blender(2); },
            [](Pixel s, Pixel d) { return shadow(s, d, 2); } },
        { "shadow3", [] { return make_shadow_blender(3); },
            [](Pixel s, Pixel d) { return shadow(s, d, 3); } },
        { "opaque_only", [] { return make_opaque_only_blender(); },
            [](Pixel s, Pixel d) { return (s != 0xF81F && (s & 0x20)) ? s : d; } },
        { "text_merge", [] { return make_text_merge_blender(); },
            [](Pixel s, Pixel d) { return s != d ? Pixel(s | 0x20) : s; } },
        { "dim8", [] { return make_dim_blender_level(8); },
            [](Pixel, Pixel d) { return dim_ref(d, 8); } },
        { "dim3", [] { return make_dim_blender_level(3); },
            [](Pixel, Pixel d) { return dim_ref(d, 3); } },
        { "tint", [] { return make_tint_blender(128, 256, 64); },
            [](Pixel s, Pixel) {
                return Pixel((((s >> 11) * 128 >> 8) << 11) | ((((s >> 5) & 63) * 256 >> 8) << 5)
                    | ((s & 31) * 64 >> 8));
            } },
        { "tint_merge", [] { return make_tint_merge_blender(256, 0, 256); },
            [](Pixel s, Pixel d) { return Pixel((s & 0xF81F) | d); } },
    };
}

} // namespace

// Every span operation of every blender, and of its clone (a page transition takes one), matches
// the per-pixel rule for all offsets and lengths: odd first and last pixels around the two-pixel
// words, and spans longer than the internal gather buffer, which must keep their phase across
// its chunks. Pixels outside the span stay as they were.
TEST(Blenders, span_operations_match_the_per_pixel_rules)
{
    auto source = Surface::allocate(2400, 2);
    test::fill_noise(*source, 1);
    SourceRow row { source.get(), 1, source->row(1) };
    std::vector<int> counts(24);
    std::iota(counts.begin(), counts.end(), 0);
    counts.push_back(1500);
    for (const Case& c : cases())
        for (int start = 0; start < 4; ++start)
            for (int count : counts)
                for (int x = 0; x < 3; ++x) {
                    std::unique_ptr<Blender> blender = x == 2 ? c.make()->clone() : c.make();
                    // Draws with `op` into a noisy row; `from(i)` names the source pixel that
                    // the span's i-th pixel takes.
                    auto check = [&](const char* what, auto op, auto from) {
                        if (::testing::Test::HasFailure())
                            return;
                        std::vector<Pixel> dst(std::size_t(start + count + 3));
                        std::mt19937 random(std::uint32_t(count * 3 + x));
                        for (Pixel& p : dst)
                            p = Pixel(random());
                        const std::vector<Pixel> before = dst;
                        op(dst.data() + start);
                        for (int i = 0; i < int(dst.size()); ++i) {
                            bool inside = i >= start && i < start + count;
                            ASSERT_EQ(dst[i],
                                inside ? c.rule(row.pixels[from(i - start)], before[i]) : before[i])
                                << c.name << " " << what << " start " << start << " count " << count
                                << " x " << x << " at " << i;
                        }
                    };
                    check(
                        "copy", [&](Pixel* d) { blender->copy(d, row, x, count); },
                        [&](int i) { return x + i; });
                    // Shifted and tiled copies over every phase of a pixel-replicating source.
                    for (int shift = 0; shift < 3; ++shift) {
                        int coord = x * 3 + 1, tile_start = 2, tile_end = 7 + x;
                        int phase = tile_start + count % (tile_end - tile_start);
                        check(
                            "shifted",
                            [&](Pixel* d) { blender->shifted_copy(d, row, coord, shift, count); },
                            [&](int i) { return (coord + i) >> shift; });
                        check(
                            "tiled",
                            [&](Pixel* d) {
                                blender->shifted_tiled_copy(
                                    d, row, phase, tile_start, tile_end, shift, count);
                            },
                            [&](int i) {
                                return (tile_start
                                           + (phase - tile_start + i) % (tile_end - tile_start))
                                    >> shift;
                            });
                    }
                    // A 22.10 step of 1.5 source pixels.
                    std::uint32_t origin = std::uint32_t(x) << 10;
                    check(
                        "scaled",
                        [&](Pixel* d) { blender->scaled_copy(d, row, origin, 1536, count); },
                        [&](int i) { return int((origin + std::uint32_t(i) * 1536) >> 10); });
                }
}

// Alpha 63 is the colour key, 64 the first shadow level, 255 the third, 256 and beyond
// opaque-only; the choice is seen through what each does to a shadow and an opaque pixel.
TEST(Blenders, alpha_value_selects_the_blender)
{
    auto source = Surface::allocate(2, 1);
    source->set_pixel(0, 0, 0x0000); // shadow
    source->set_pixel(1, 0, 0x0020); // opaque
    SourceRow row { source.get(), 0, source->row(0) };
    auto result = [&](std::int64_t alpha) {
        Pixel dst[2] = { 0xFFFF, 0xFFFF };
        make_alpha_blender(alpha)->copy(dst, row, 0, 2);
        return std::pair<Pixel, Pixel>(dst[0], dst[1]);
    };
    const std::pair<std::int64_t, Pixel> shadow_results[]
        = { { 63, 0x0000 }, { -1, 0x0000 }, { 64, 0x39E7 }, { 127, 0x39E7 }, { 128, 0x7BEF },
              { 255, Pixel(0x7BEF + 0x39E7) }, { 256, 0xFFFF }, { 100000, 0xFFFF } };
    for (auto [alpha, shadowed] : shadow_results)
        EXPECT_EQ(result(alpha).first, shadowed) << alpha;
    EXPECT_EQ(result(256).second, 0x0020);
}

// The dim value 256 leaves pixels alone, 128 halves every channel, 0 is black; the value maps
// to sixteenths with rounding ((V + 8) / 16).
TEST(Blenders, dim_value_scales_every_channel)
{
    auto dim_of = [](int value, Pixel p) {
        Pixel px[3] = { p, p, p };
        make_dim_blender(value)->fill(px, 3);
        EXPECT_EQ(px[0], px[2]);
        return px[1];
    };
    const std::tuple<int, Pixel, Pixel> dims[] = { { 256, 0xFFFF, 0xFFFF },
        { 128, 0xFFFF, Pixel((15 << 11) | (31 << 5) | 15) }, { 128, 0xF800, Pixel(15 << 11) },
        { 128, 0x07E0, Pixel(31 << 5) }, { 128, 0x001F, Pixel(15) }, { 0, 0xFFFF, 0x0000 },
        { 7, 0xFFFF, 0x0000 }, // (7 + 8) / 16 = 0
        { 8, 0xFFFF, dim_ref(0xFFFF, 1) }, { 1000, 0x1234, 0x1234 }, // clamps to 16
        { -50, 0x1234, 0x0000 } };
    for (auto [value, pixel, dimmed] : dims)
        EXPECT_EQ(dim_of(value, pixel), dimmed) << value << " " << pixel;
}

// The mask's blue channel mixes source into destination: 0 keeps, 31 replaces, 16 is half way
// (truncated per 8-bit channel); spans outside the mask leave the destination alone.
TEST(Blenders, mask_mixes_by_blue_channel)
{
    auto source = test::make_surface(4, 2, 0xFFFF);
    auto mask = Surface::allocate(4, 2);
    mask->set_pixel(0, 1, 0);
    mask->set_pixel(1, 1, 31);
    mask->set_pixel(2, 1, 16);
    mask->set_pixel(3, 1, 0xFFE0 | 8); // only the blue channel counts
    std::shared_ptr<const Surface> shared(std::move(mask));
    auto blender = make_mask_blender(shared);
    SourceRow row { source.get(), 1, source->row(1) };
    Pixel dst[4] = { 0, 0, 0, 0 };
    blender->copy(dst, row, 0, 4);
    EXPECT_EQ(dst[0], 0x0000);
    EXPECT_EQ(dst[1], 0xFFFF);
    // 248 * 16 / 32 = 124 -> 15 (red, blue); 252 * 16 / 32 = 126 -> 31 (green)
    EXPECT_EQ(dst[2], Pixel((15 << 11) | (31 << 5) | 15));
    // 248 * 8 / 32 = 62 -> 7; 252 * 8 / 32 = 63 -> 15
    EXPECT_EQ(dst[3], Pixel((7 << 11) | (15 << 5) | 7));

    // Darkening: (0 - 248) * 16 / 32 truncates towards zero.
    Pixel white[1] = { 0xFFFF };
    auto black = test::make_surface(4, 2, 0x0000);
    SourceRow black_row { black.get(), 1, black->row(1) };
    blender->copy(white, black_row, 2, 1);
    EXPECT_EQ(white[0], Pixel((15 << 11) | (31 << 5) | 15));

    auto big = test::make_surface(8, 8, 0xFFFF);
    SourceRow outside { big.get(), 5, big->row(5) };
    Pixel kept[2] = { 0x1111, 0x2222 };
    blender->copy(kept, outside, 0, 2);
    EXPECT_EQ(kept[0], 0x1111);
    EXPECT_EQ(kept[1], 0x2222);
    blender->copy(kept, row, 3, 2); // runs past the mask's width
    EXPECT_EQ(kept[0], 0x1111);
}
