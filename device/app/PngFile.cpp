#include "device/app/PngFile.h"

#include <png.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

namespace corvane {

namespace {

    struct FileCloser {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };

    // libpng reports errors by longjmp; the writing below keeps no C++ objects alive across
    // the calls that may jump, so the jump skips no destructor.
    bool write_rows(std::FILE* file, const std::vector<png_bytep>& rows, std::int32_t width,
        std::int32_t height)
    {
        png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        if (!png)
            return false;
        png_infop info = png_create_info_struct(png);
        if (!info || setjmp(png_jmpbuf(png))) {
            png_destroy_write_struct(&png, info ? &info : nullptr);
            return false;
        }
        png_init_io(png, file);
        png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height),
            8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
            PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        png_write_image(png, const_cast<png_bytepp>(rows.data()));
        png_write_end(png, nullptr);
        png_destroy_write_struct(&png, &info);
        return true;
    }

} // namespace

bool write_png_565(const std::string& path, const std::uint16_t* pixels, std::int32_t width,
    std::int32_t height, std::int32_t stride)
{
    if (!pixels || width <= 0 || height <= 0 || stride < width)
        return false;
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * height * 3);
    std::vector<png_bytep> rows(static_cast<std::size_t>(height));
    for (std::int32_t y = 0; y < height; ++y) {
        std::uint8_t* out = rgb.data() + static_cast<std::size_t>(y) * width * 3;
        rows[static_cast<std::size_t>(y)] = out;
        const std::uint16_t* in = pixels + static_cast<std::size_t>(y) * stride;
        for (std::int32_t x = 0; x < width; ++x) {
            std::uint16_t p = in[x];
            std::uint32_t r = (p >> 11) & 0x1F, g = (p >> 5) & 0x3F, b = p & 0x1F;
            *out++ = static_cast<std::uint8_t>((r << 3) | (r >> 2));
            *out++ = static_cast<std::uint8_t>((g << 2) | (g >> 4));
            *out++ = static_cast<std::uint8_t>((b << 3) | (b >> 2));
        }
    }
    std::string temporary = path + ".part";
    bool written = false;
    {
        std::unique_ptr<std::FILE, FileCloser> file(std::fopen(temporary.c_str(), "wb"));
        if (!file)
            return false;
        written = write_rows(file.get(), rows, width, height) && std::fflush(file.get()) == 0;
    }
    std::error_code ignored;
    if (!written) {
        std::filesystem::remove(temporary, ignored);
        return false;
    }
    std::filesystem::rename(temporary, path, ignored);
    if (ignored) {
        std::filesystem::remove(temporary, ignored);
        return false;
    }
    return true;
}

} // namespace corvane
