#include "device/skin/render/BmpFile.h"
#include "common/base/Text.h"
#include "device/core/File.h"
#include "device/skin/render/tests/RenderTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <tuple>

using namespace corvane;

namespace {

// A minimal 16-bit BMP written by hand: 54 bytes of headers, then rows of `stride` bytes.
std::vector<std::uint8_t> hand_made_bmp(std::int32_t width, std::int32_t height, std::uint16_t bits,
    const std::vector<Pixel>& rows_as_stored)
{
    std::size_t stride = std::size_t((16 * width + 31) / 32 * 4);
    std::size_t rows = std::size_t(height < 0 ? -height : height);
    std::vector<std::uint8_t> b(54 + stride * rows, 0);
    b[0] = 'B';
    b[1] = 'M';
    test::put_u32(b, 2, std::uint32_t(b.size()));
    test::put_u32(b, 10, 54);
    test::put_u32(b, 14, 40);
    test::put_u32(b, 18, std::uint32_t(width));
    test::put_u32(b, 22, std::uint32_t(height));
    b[26] = 1;
    b[28] = std::uint8_t(bits);
    for (std::size_t r = 0; r < rows; ++r)
        for (std::int32_t x = 0; x < width; ++x) {
            Pixel p = rows_as_stored[r * std::size_t(width) + std::size_t(x)];
            b[54 + r * stride + 2 * std::size_t(x)] = std::uint8_t(p);
            b[54 + r * stride + 2 * std::size_t(x) + 1] = std::uint8_t(p >> 8);
        }
    return b;
}

class LimitedSink final : public ByteSink {
public:
    explicit LimitedSink(std::size_t limit)
        : m_limit(limit)
    {
    }
    std::size_t write(const void*, std::size_t size) override
    {
        std::size_t taken = std::min(size, m_limit);
        m_limit -= taken;
        return taken;
    }

private:
    std::size_t m_limit;
};

} // namespace

// A saved picture has the documented header, zero row padding, bottom-up rows, and loads back
// to the same pixels (odd width, so each row is padded).
TEST(BmpFile, saves_the_documented_header_and_round_trips)
{
    auto surface = Surface::allocate(5, 3);
    test::fill_noise(*surface, 11);
    VectorByteSink sink;
    ASSERT_TRUE(save_bmp_565(*surface, sink));
    const auto& b = sink.bytes();
    ASSERT_EQ(b.size(), 70u + 12u * 3u);
    EXPECT_EQ(b[0] | (b[1] << 8), 0x4D42); // "BM"
    EXPECT_EQ(b[26] | (b[27] << 8), 1); // planes
    EXPECT_EQ(b[28] | (b[29] << 8), 16); // bits
    // Offset and value of each 32-bit field: sizes, dimensions, bit fields, resolution, masks.
    const std::pair<std::size_t, std::uint32_t> fields[] = { { 2, 106 }, { 10, 70 }, { 14, 40 },
        { 18, 5 }, { 22, 3 }, { 30, 3 }, { 34, 36 }, { 38, 2834 }, { 42, 2834 }, { 54, 0xF800 },
        { 58, 0x07E0 }, { 62, 0x001F }, { 66, 0 } };
    for (auto [at, value] : fields)
        EXPECT_EQ(test::get_u32(b, at), value) << "at " << at;
    // First stored row is the bottom one; the two padding bytes are zero.
    EXPECT_EQ(b[70] | (b[71] << 8), surface->pixel(0, 2));
    EXPECT_EQ(b[80], 0);
    EXPECT_EQ(b[81], 0);

    std::string why;
    auto loaded = decode_bmp_565(b.data(), b.size(), &why);
    ASSERT_TRUE(loaded) << why;
    ASSERT_EQ(loaded->size(), (Size { 5, 3 }));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(loaded->pixel(x, y), surface->pixel(x, y));

    // Writing stops with false as soon as the stream takes fewer bytes than asked.
    for (std::size_t limit : { std::size_t(0), std::size_t(69), b.size() - 1 }) {
        LimitedSink sink(limit);
        EXPECT_FALSE(save_bmp_565(*surface, sink)) << limit;
    }
    LimitedSink enough(b.size());
    EXPECT_TRUE(save_bmp_565(*surface, enough));
}

// Hand-made files: a negative height stores rows top-down, a positive one bottom-up; the
// compression field is not consulted, and the last row may lack its padding. Damaged and hostile
// headers are refused without reading past their end.
TEST(BmpFile, hand_made_files_are_read_or_refused)
{
    std::vector<Pixel> stored { 1, 2, 3, 4, 5, 6 }; // 3 wide, 2 rows as stored
    auto good = hand_made_bmp(3, 2, 16, stored);
    auto top_down = hand_made_bmp(3, -2, 16, stored);
    test::put_u32(top_down, 30, 0); // BI_RGB: still read as 565
    auto a = decode_bmp_565(good.data(), good.size());
    auto b = decode_bmp_565(top_down.data(), top_down.size() - 2);
    ASSERT_TRUE(a);
    ASSERT_TRUE(b);
    EXPECT_EQ(std::tuple(a->pixel(0, 0), a->pixel(2, 1)), std::tuple(4, 3));
    EXPECT_EQ(std::tuple(b->pixel(0, 0), b->pixel(2, 1)), std::tuple(1, 6));

    std::string why;
    auto other_bits = hand_made_bmp(3, 2, 24, stored);
    EXPECT_FALSE(decode_bmp_565(other_bits.data(), other_bits.size(), &why));
    EXPECT_EQ(why, "not 16bit");
    for (std::size_t size = 0; size < good.size() - 2; ++size) {
        // A copy of exactly the cut length, so that a read past it is caught by the sanitizer.
        std::vector<std::uint8_t> cut(good.begin(), good.begin() + std::ptrdiff_t(size));
        EXPECT_FALSE(decode_bmp_565(cut.data(), cut.size())) << size;
    }
    auto mutate = [&](std::size_t at, std::uint32_t value) {
        auto copy = good;
        test::put_u32(copy, at, value);
        return decode_bmp_565(copy.data(), copy.size());
    };
    EXPECT_FALSE(mutate(10, 0xFFFFFFF0u)); // pixel offset past the end
    EXPECT_FALSE(mutate(10, 20)); // pixel offset inside the headers
    EXPECT_FALSE(mutate(18, 0)); // zero width
    EXPECT_FALSE(mutate(18, 0x80000000u)); // negative width
    EXPECT_FALSE(mutate(22, 0)); // zero height
    EXPECT_FALSE(mutate(22, 0x80000000u)); // the most negative height
    EXPECT_FALSE(mutate(18, 0x7FFFFFFF)); // width whose rows overflow
    EXPECT_FALSE(mutate(22, 3)); // one row more than the data holds
    EXPECT_FALSE(decode_bmp_565(nullptr, 100));
}

// Loading from disk logs why a file is refused and answers the empty picture.
TEST(BmpFile, load_logs_the_reason)
{
    test::TestEnvironment env;
    env.enable_log();
    std::vector<Pixel> stored(4, 0x07E0);
    auto write = [&](const std::string& name, const std::vector<std::uint8_t>& bytes) {
        test::write_bytes(env.folder() + "/" + name, bytes);
        return from_utf8(env.folder() + "/" + name);
    };
    WString good = write("good.bmp", hand_made_bmp(2, 2, 16, stored));
    WString eight = write("eight.bmp", hand_made_bmp(2, 2, 8, stored));
    auto cut_bytes = hand_made_bmp(2, 2, 16, stored);
    cut_bytes.resize(56);
    WString cut = write("cut.bmp", cut_bytes);

    Bitmap loaded = load_565(good);
    EXPECT_EQ(loaded.size(), (Size { 2, 2 }));
    EXPECT_EQ(loaded.path(), good);
    EXPECT_EQ(loaded.surface()->pixel(1, 1), 0x07E0);

    EXPECT_TRUE(load_565(eight).is_empty());
    EXPECT_TRUE(load_565(cut).is_empty());
    EXPECT_TRUE(load_565(good + u".missing").is_empty());
    std::u16string log = test::read_log();
    EXPECT_NE(log.find(u"load_565 " + eight + u" is not 16bit bitmap\n"), std::u16string::npos)
        << to_utf8(log);
    EXPECT_NE(log.find(u"load_565 " + cut + u" is damaged"), std::u16string::npos);
    EXPECT_NE(log.find(u"load_565 " + good + u".missing cannot be read"), std::u16string::npos);
}
