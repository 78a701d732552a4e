#include "device/shell/DemoRecorder.h"
#include "device/core/testing/TestEnvironment.h"
#include "device/skin/render/BmpFile.h"
#include "device/skin/render/RenderSurface.h"
#include "device/skin/render/Surface.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <minizip/unzip.h>
#include <string>
#include <vector>

using namespace corvane;

namespace {

std::vector<std::string> archive_names(const std::string& path)
{
    std::vector<std::string> names;
    unzFile archive = unzOpen64(path.c_str());
    if (!archive)
        return names;
    for (int status = unzGoToFirstFile(archive); status == UNZ_OK;
         status = unzGoToNextFile(archive)) {
        char name[64];
        unz_file_info64 info {};
        unzGetCurrentFileInfo64(archive, &info, name, sizeof name, nullptr, 0, nullptr, 0);
        names.emplace_back(name);
    }
    unzClose(archive);
    return names;
}

} // namespace

// Without the cursor picture in the temporary folder there is no recording. The cursor grows by
// 4 pixels a frame to one and a half times its height, settles back to its height while pressed,
// and every frame lands in the archive under a five-digit number.
TEST(DemoRecorder, cursor_growth_and_stored_frames)
{
    test::TestEnvironment env;
    EXPECT_FALSE(DemoRecorder::open_if_requested());
    std::string archive = env.folder() + "/corvane.zip";
    std::shared_ptr<Surface> cursor = Surface::allocate(10, 10);
    for (std::int32_t y = 0; y < 10; ++y)
        std::fill_n(cursor->row(y), 10, Pixel(0x001F));
    auto recorder = DemoRecorder::open(Bitmap(cursor, u"cursor"), from_utf8(archive));
    ASSERT_TRUE(recorder);
    RenderSurface frame;
    ASSERT_TRUE(frame.recreate(40, 40));
    frame.fill_color({ 0, 0 }, { 40, 40 }, Color { 0, 0, 0, 255 });

    recorder->on_press(20, 20);
    std::vector<std::int32_t> sizes;
    for (int i = 0; i < 6; ++i) {
        recorder->after_draw(frame);
        sizes.push_back(recorder->cursor_size());
    }
    EXPECT_EQ(sizes, (std::vector<std::int32_t> { 4, 8, 12, 15, 11, 10 }));
    // The cursor was drawn centred on the stylus.
    EXPECT_EQ(frame.surface()->pixel(20, 20), 0x001F);
    EXPECT_EQ(frame.surface()->pixel(2, 2), 0x0000);

    recorder->on_release(20, 20);
    recorder->after_draw(frame);
    EXPECT_EQ(recorder->cursor_size(), 10); // released: the cursor stays as it was, not grown
    EXPECT_EQ(recorder->frames_written(), 7u);
    recorder.reset();

    std::vector<std::string> names = archive_names(archive);
    ASSERT_EQ(names.size(), 7u);
    EXPECT_EQ(names.front(), "00000.bmp");
    EXPECT_EQ(names.back(), "00006.bmp");
}
