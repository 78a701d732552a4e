#include "device/skin/render/Bitmap.h"
#include "device/skin/render/Blenders.h"
#include "device/skin/render/BmpFile.h"
#include "device/skin/render/RenderSurface.h"
#include "device/skin/render/VisibilityAnimation.h"
#include "device/skin/render/tests/RenderTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

using namespace corvane;

// Whole scenes compared with checked-in images, so that any change in what the renderer draws
// shows up. The scenes hold no text: glyph shapes depend on the installed fonts. After a
// deliberate change, run with CORVANE_UPDATE_GOLDEN=1 and review the new images.

namespace {

void gradient(Surface& s)
{
    for (int y = 0; y < s.height(); ++y)
        for (int x = 0; x < s.width(); ++x)
            s.set_pixel(x, y,
                pack_565(unsigned(x * 255 / s.width()), unsigned(y * 255 / s.height()), 160)
                    | opaque_bit);
}

// A 12 x 12 frame picture at the base density: a dark rim, a lighter inside, transparent
// corners and a shadow line along the bottom.
Bitmap frame_picture()
{
    auto s = Surface::allocate(12, 12);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 12; ++x) {
            bool rim = x == 0 || y == 0 || x == 11 || y == 10;
            Pixel p
                = rim ? Pixel(0x2104 | opaque_bit) : Pixel(pack_565(230, 200, 120) | opaque_bit);
            if (y == 11)
                p = 0x0841; // shadow (opaque bit clear)
            if ((x == 0 || x == 11) && (y == 0 || y >= 10))
                p = transparent_pixel;
            if (x >= 4 && x < 8 && y >= 4 && y < 7)
                p = Pixel(pack_565(200, 40, 40) | opaque_bit); // marks the tiled middle
            s->set_pixel(x, y, p);
        }
    return Bitmap(std::shared_ptr<const Surface>(std::move(s)), u"frame");
}

void compare_with_golden(const Surface& actual, const std::string& name)
{
    std::string path = std::string(CORVANE_RENDER_GOLDEN_DIR) + "/" + name + ".bmp";
    VectorByteSink sink;
    ASSERT_TRUE(save_bmp_565(actual, sink));
    auto save = [&](const std::string& to) { test::write_bytes(to, sink.bytes()); };
    const char* update = std::getenv("CORVANE_UPDATE_GOLDEN");
    if (update && std::string(update) == "1")
        return save(path);
    Bitmap expected = load_565(from_utf8(path));
    ASSERT_FALSE(expected.is_empty()) << "missing or damaged " << path;
    ASSERT_EQ(expected.size(), actual.size());
    int differing = 0;
    Point first { -1, -1 };
    for (int y = 0; y < actual.height(); ++y)
        for (int x = 0; x < actual.width(); ++x)
            if (expected.surface()->pixel(x, y) != actual.pixel(x, y) && differing++ == 0)
                first = { x, y };
    if (differing) {
        save(name + ".actual.bmp"); // beside the test binary, for a look
        ADD_FAILURE() << name << ": " << differing << " pixels differ, first at " << first.x << ","
                      << first.y << "; see " << name << ".actual.bmp";
    }
}

} // namespace

// One frame of each visibility animation, side by side.
TEST(GoldenImage, animation_frames)
{
    RenderSurface target;
    ASSERT_TRUE(target.recreate(128, 64));
    target.surface()->clear(0x0000);
    auto before = std::make_shared<RenderSurface>();
    auto after = std::make_shared<RenderSurface>();
    ASSERT_TRUE(before->recreate(28, 28));
    ASSERT_TRUE(after->recreate(28, 28));
    gradient(*before->surface());
    after->surface()->clear(transparent_pixel);
    ImageRef ref;
    ref.bitmap = frame_picture();
    ref.coords = { 0, 0, 4, 4, 8, 7, 12, 12 };
    ref.draw(*after, { 0, 0 }, { 28, 28 }, plain_copy_blender());
    const char16_t* words[]
        = { u"scale", u"pop", u"right", u"bottom", u"left", u"top", u"flip", u"flip" };
    double progress[] = { 0.6, 0.6, 0.6, 0.3, 0.6, 0.3, 0.3, 0.8 };
    for (int i = 0; i < 8; ++i) {
        auto a = VisibilityAnimation::create(words[i]);
        a->start(before, after, +1);
        (void)a->tick(progress[i] / (5.0 * a->speed()));
        a->draw(target, { 2 + (i % 4) * 32, 2 + (i / 4) * 32 });
    }
    compare_with_golden(*target.surface(), "animation_frames");
}
