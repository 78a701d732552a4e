// One frame of a scrolling list of 1,000 text-and-icon rows at 480 x 640: while it coasts, and
// when nothing changed. Both are also given as multiples of a plain copy of one full frame.
#include "device/skin/render/Blenders.h"
#include "device/skin/render/RenderSurface.h"
#include "device/skin/skin/ColorElement.h"
#include "device/skin/widgets/ImageElement.h"
#include "device/skin/widgets/TextElement.h"
#include "device/skin/widgets/VListElement.h"

#include <benchmark/benchmark.h>

#include <chrono>

using namespace corvane;

namespace {

constexpr std::int32_t frame_width = 480;
constexpr std::int32_t frame_height = 640;
constexpr std::int32_t row_count = 1000;

// Rows of a background, a 64 x 64 icon and a line of text, 80 pixels high, with a one-pixel
// gap between them where the list shows through.
class Rows final : public ListItemProvider {
public:
    Rows()
        : m_font(create_font({ 14, 1, false, false, false, u"Tahoma" }))
    {
        std::shared_ptr<Surface> icon = Surface::allocate(64, 64);
        for (std::int32_t y = 0; y < 64; ++y) {
            for (std::int32_t x = 0; x < 64; ++x)
                icon->set_pixel(x, y, pack_565(x * 4, y * 4, 128));
        }
        m_icon = ImageRef::whole(Bitmap(icon, u"icon"));
    }

    void activated(VListElement&, std::int32_t) override { }
    std::unique_ptr<Element> create_item(VListElement&, std::int32_t index) override
    {
        auto row = std::make_unique<Element>();
        row->set_design_size(0, 80);
        auto background = std::make_unique<ColorElement>();
        background->set_color(Color { 250, 250, 245, 255 });
        background->set_borders(0, 0, 0, 1);
        row->add_child(std::move(background));
        auto icon = std::make_unique<ImageElement>();
        icon->set_source(m_icon);
        icon->set_anchors(AnchorMode::MinSide, AnchorMode::Center);
        icon->set_borders(8, 0, 0, 0);
        icon->set_design_size(64, 64);
        row->add_child(std::move(icon));
        auto text = std::make_unique<TextElement>();
        text->set_font(m_font);
        text->set_alignment(HorizontalAlignment::Left, VerticalAlignment::VCenter);
        text->set_borders(84, 0, 8, 0);
        text->set_text(u"Task number " + to_wstring(index) + u" with a title of some length");
        row->add_child(std::move(text));
        return row;
    }

private:
    Font m_font;
    ImageRef m_icon;
};

struct Scene {
    Scene()
    {
        auto owned = std::make_unique<VListElement>();
        list = owned.get();
        root.add_child(std::move(owned));
        list->set_provider(&rows);
        list->set_count(row_count);
        root.set_x(0, frame_width);
        root.set_y(0, frame_height);
        (void)frame.recreate(frame_width, frame_height);
        frame_once(0.02);
    }

    // What a frame of the application costs for this screen: advance, then draw when asked.
    void frame_once(double seconds)
    {
        root.tick(seconds);
        if (root.needs_redraw()) {
            root.relayout_root();
            root.paint(frame, {});
        }
    }

    Element root;
    VListElement* list { nullptr };
    Rows rows;
    RenderSurface frame;
};

double plain_copy_seconds()
{
    RenderSurface source;
    RenderSurface target;
    (void)source.recreate(frame_width, frame_height);
    (void)target.recreate(frame_width, frame_height);
    source.fill_color({}, source.size(), Color { 10, 20, 30, 255 });
    const Blender& copy = plain_copy_blender();
    constexpr int rounds = 500;
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < rounds; ++i) {
        target.blit({}, source.size(), source, {}, copy);
        benchmark::ClobberMemory();
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / rounds;
}

void report(benchmark::State& state, double frame_seconds_total, std::int64_t frames)
{
    double per_frame = frame_seconds_total / static_cast<double>(frames);
    state.counters["copies"] = per_frame / plain_copy_seconds();
}

void BM_VListCoastingFrame(benchmark::State& state)
{
    Scene scene;
    double total = 0;
    for (auto _ : state) {
        // Keep it coasting through the middle of the list.
        if (scene.list->speed() > -800 || scene.list->live_items().front().index > row_count - 40) {
            state.PauseTiming();
            if (scene.list->live_items().front().index > row_count - 40)
                scene.list->set_count(row_count);
            scene.list->set_speed(-1500);
            state.ResumeTiming();
        }
        auto start = std::chrono::steady_clock::now();
        scene.frame_once(0.016);
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    report(state, total, state.iterations());
}
BENCHMARK(BM_VListCoastingFrame)->Unit(benchmark::kMicrosecond);

void BM_VListIdleFrame(benchmark::State& state)
{
    Scene scene;
    for (int i = 0; i < 50; ++i)
        scene.frame_once(0.02);
    double total = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        scene.frame_once(0.016);
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    if (scene.root.needs_redraw())
        state.SkipWithError("the idle list still asks for a redraw");
    report(state, total, state.iterations());
}
BENCHMARK(BM_VListIdleFrame)->Unit(benchmark::kMicrosecond);

void BM_PlainFullFrameCopy(benchmark::State& state)
{
    RenderSurface source;
    RenderSurface target;
    (void)source.recreate(frame_width, frame_height);
    (void)target.recreate(frame_width, frame_height);
    source.fill_color({}, source.size(), Color { 10, 20, 30, 255 });
    for (auto _ : state) {
        target.blit({}, source.size(), source, {}, plain_copy_blender());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_PlainFullFrameCopy)->Unit(benchmark::kMicrosecond);

} // namespace
