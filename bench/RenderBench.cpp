// Rendering speed at the two common frame sizes, and the same work through pixman for the
// operations it can do alike. Rows named ".../ours" carry a counter "ours/pixman": the time of
// our operation divided by pixman's, both measured in the same run.

#include "device/skin/render/Bitmap.h"
#include "device/skin/render/Blenders.h"
#include "device/skin/render/FontRep.h"
#include "device/skin/render/RenderSurface.h"
#include "device/skin/render/TextRender.h"

#include <benchmark/benchmark.h>
#include <pixman.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <random>
#include <time.h>

using namespace corvane;

namespace {

void noise(Surface& s, std::uint32_t seed, bool with_transparent)
{
    std::mt19937 random(seed);
    for (int y = 0; y < s.height(); ++y)
        for (int x = 0; x < s.width(); ++x) {
            std::uint32_t r = random();
            Pixel p = Pixel(r >> 8);
            if (with_transparent && (r & 3) == 0)
                p = transparent_pixel;
            s.set_pixel(x, y, p);
        }
}

pixman_image_t* wrap(Surface& s)
{
    return pixman_image_create_bits(PIXMAN_r5g6b5, s.width(), s.height(),
        reinterpret_cast<std::uint32_t*>(s.row(0)), s.stride());
}

double thread_seconds()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// Best processor time of one call, in seconds, over a few rounds of repeated calls. Processor
// time keeps other work on a busy machine out of the ratio.
double best_time(const std::function<void()>& op)
{
    op();
    double best = 1e9;
    for (int round = 0; round < 9; ++round) {
        int calls = 0;
        double start = thread_seconds();
        double end = start;
        do {
            op();
            ++calls;
            end = thread_seconds();
        } while (end - start < 0.01);
        best = std::min(best, (end - start) / calls);
    }
    return best;
}

// Our operation timed by the benchmark; the ratio against pixman measured alongside.
void run_pair(
    benchmark::State& state, const std::function<void()>& ours, const std::function<void()>& theirs)
{
    for (auto _ : state) {
        ours();
        benchmark::ClobberMemory();
    }
    double ratio = best_time(ours) / best_time(theirs);
    state.counters["ours/pixman"] = ratio;
    state.SetItemsProcessed(state.iterations() * state.range(0) * state.range(1));
}

void run_theirs(benchmark::State& state, const std::function<void()>& theirs)
{
    for (auto _ : state) {
        theirs();
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0) * state.range(1));
}

struct Frame {
    explicit Frame(benchmark::State& state)
    {
        (void)target.recreate(std::int32_t(state.range(0)), std::int32_t(state.range(1)));
        noise(*target.surface(), 1, false);
        image = wrap(*target.surface());
    }
    ~Frame() { pixman_image_unref(image); }
    Size size() const { return target.size(); }
    RenderSurface target;
    pixman_image_t* image { nullptr };
};

// Solid fill of the whole frame.
void fill(benchmark::State& state, bool ours_row)
{
    Frame f(state);
    Size size = f.size();
    Color colour { 40, 90, 200, 255 };
    auto ours = [&] { f.target.fill_color({ 0, 0 }, size, colour); };
    auto theirs = [&] {
        pixman_fill(reinterpret_cast<std::uint32_t*>(f.target.surface()->row(0)),
            f.target.surface()->stride() / 4, 16, 0, 0, size.width, size.height, colour.to_565());
    };
    ours_row ? run_pair(state, ours, theirs) : run_theirs(state, theirs);
}

// Opaque copy of a frame-sized picture.
void copy(benchmark::State& state, bool ours_row)
{
    Frame f(state);
    Size size = f.size();
    auto source = Surface::allocate(size.width, size.height);
    noise(*source, 2, false);
    auto ours = [&] { f.target.blit({ 0, 0 }, size, *source, { 0, 0 }, plain_copy_blender()); };
    auto theirs = [&] {
        pixman_blt(reinterpret_cast<std::uint32_t*>(source->row(0)),
            reinterpret_cast<std::uint32_t*>(f.target.surface()->row(0)), source->stride() / 4,
            f.target.surface()->stride() / 4, 16, 16, 0, 0, 0, 0, size.width, size.height);
    };
    ours_row ? run_pair(state, ours, theirs) : run_theirs(state, theirs);
}

// Darkening the frame to half under an overlay; pixman composites 50 % black over it.
void dim(benchmark::State& state, bool ours_row)
{
    Frame f(state);
    Size size = f.size();
    auto blender = make_dim_blender(128);
    pixman_color_t half_black { 0, 0, 0, 0x8000 };
    pixman_image_t* solid = pixman_image_create_solid_fill(&half_black);
    auto ours = [&] { f.target.fill({ 0, 0 }, size, *blender); };
    auto theirs = [&] {
        pixman_image_composite32(
            PIXMAN_OP_OVER, solid, nullptr, f.image, 0, 0, 0, 0, 0, 0, size.width, size.height);
    };
    ours_row ? run_pair(state, ours, theirs) : run_theirs(state, theirs);
    pixman_image_unref(solid);
}

// A base-density picture of half the frame's size magnified 2x by pixel replication.
void replicate(benchmark::State& state, bool ours_row)
{
    Frame f(state);
    Size size = f.size();
    auto pixels = Surface::allocate(size.width / 2, size.height / 2);
    noise(*pixels, 3, false);
    pixman_image_t* source = wrap(*pixels);
    pixman_transform_t half;
    pixman_transform_init_scale(&half, pixman_double_to_fixed(0.5), pixman_double_to_fixed(0.5));
    pixman_image_set_transform(source, &half);
    pixman_image_set_filter(source, PIXMAN_FILTER_NEAREST, nullptr, 0);
    ImageRef ref;
    ref.bitmap = Bitmap(std::shared_ptr<const Surface>(std::move(pixels)), u"bench");
    ref.scale_shift = 1;
    ref.coords = { 0, 0, 0, 0, size.width, size.height, size.width, size.height };
    auto ours = [&] { ref.draw(f.target, { 0, 0 }, size, plain_copy_blender()); };
    auto theirs = [&] {
        pixman_image_composite32(
            PIXMAN_OP_SRC, source, nullptr, f.image, 0, 0, 0, 0, 0, 0, size.width, size.height);
    };
    ours_row ? run_pair(state, ours, theirs) : run_theirs(state, theirs);
    pixman_image_unref(source);
}

void BM_SolidFill_ours(benchmark::State& s)
{
    fill(s, true);
}
void BM_SolidFill_pixman(benchmark::State& s)
{
    fill(s, false);
}
void BM_PlainCopy_ours(benchmark::State& s)
{
    copy(s, true);
}
void BM_PlainCopy_pixman(benchmark::State& s)
{
    copy(s, false);
}
void BM_Dim128_ours(benchmark::State& s)
{
    dim(s, true);
}
void BM_Dim128_pixman(benchmark::State& s)
{
    dim(s, false);
}
void BM_Replicate2x_ours(benchmark::State& s)
{
    replicate(s, true);
}
void BM_Replicate2x_pixman(benchmark::State& s)
{
    replicate(s, false);
}

// A 24 x 24 framed picture (8-pixel corners) stretched over the frame as nine parts, through
// the colour key, at scale shift 1 as the skins are drawn on a 480-wide screen.
void BM_NinePart(benchmark::State& state)
{
    Frame f(state);
    Size size = f.size();
    auto pixels = Surface::allocate(24, 24);
    noise(*pixels, 4, true);
    ImageRef ref;
    ref.bitmap = Bitmap(std::shared_ptr<const Surface>(std::move(pixels)), u"frame");
    ref.scale_shift = 1;
    ref.coords = { 0, 0, 16, 16, 32, 32, 48, 48 };
    auto blender = make_color_key_blender();
    for (auto _ : state) {
        ref.draw(f.target, { 0, 0 }, size, *blender);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * size.width * size.height);
}

// A frame-sized picture with transparent and shadow pixels through the alpha blender of a skin
// value (range(2): 0 colour key, 128 shadow level 2).
void BM_AlphaBlit(benchmark::State& state)
{
    Frame f(state);
    Size size = f.size();
    auto source = Surface::allocate(size.width, size.height);
    noise(*source, 5, true);
    auto blender = make_alpha_blender(state.range(2));
    for (auto _ : state) {
        f.target.blit({ 0, 0 }, size, *source, { 0, 0 }, *blender);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * size.width * size.height);
    state.SetLabel(state.range(2) == 0 ? "colour key" : "shadow level 2");
}

// One 40-character line, glyphs already cached, as a text element draws it.
void BM_TextLine(benchmark::State& state)
{
    Frame f(state);
    Size size = f.size();
    FontDescription description;
    description.size = 10;
    description.multiplier = size.width >= 480 ? 2 : 1;
    FontRep font(description);
    std::u16string line = u"Prepare the quarterly report for Monday.";
    for (auto _ : state) {
        draw_text(&font, f.target, { 255, 255, 255, 255 }, line, { 0, 10 },
            { size.width, font.height() }, HorizontalAlignment::Left, VerticalAlignment::VCenter,
            TextEllipsis::End);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(line.size()));
}

void frame_sizes(benchmark::internal::Benchmark* b)
{
    b->Args({ 480, 640 })->Args({ 240, 320 })->ArgNames({ "w", "h" });
}

} // namespace

BENCHMARK(BM_SolidFill_ours)->Apply(frame_sizes);
BENCHMARK(BM_SolidFill_pixman)->Apply(frame_sizes);
BENCHMARK(BM_PlainCopy_ours)->Apply(frame_sizes);
BENCHMARK(BM_PlainCopy_pixman)->Apply(frame_sizes);
BENCHMARK(BM_Dim128_ours)->Apply(frame_sizes);
BENCHMARK(BM_Dim128_pixman)->Apply(frame_sizes);
BENCHMARK(BM_Replicate2x_ours)->Apply(frame_sizes);
BENCHMARK(BM_Replicate2x_pixman)->Apply(frame_sizes);
BENCHMARK(BM_NinePart)->Apply(frame_sizes);
BENCHMARK(BM_AlphaBlit)
    ->Args({ 480, 640, 0 })
    ->Args({ 480, 640, 128 })
    ->Args({ 240, 320, 0 })
    ->Args({ 240, 320, 128 })
    ->ArgNames({ "w", "h", "alpha" });
BENCHMARK(BM_TextLine)->Apply(frame_sizes);
