#include "ArtConverter.h"

#include "device/skin/render/BmpFile.h"

#include <png.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

namespace skinc {

namespace {

    std::unique_ptr<corvane::Surface> read_png(const std::string& path)
    {
        png_image image {};
        image.version = PNG_IMAGE_VERSION;
        if (!png_image_begin_read_from_file(&image, path.c_str()))
            throw CompileError(path + ": not a readable PNG (" + image.message + ")");
        image.format = PNG_FORMAT_RGBA;
        if (image.width == 0 || image.height == 0 || image.width > 4096 || image.height > 4096) {
            png_image_free(&image);
            throw CompileError(path + ": art must be between 1 and 4096 pixels on each side");
        }
        std::vector<std::uint8_t> rgba(PNG_IMAGE_SIZE(image));
        if (!png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr)) {
            std::string message = image.message;
            png_image_free(&image);
            throw CompileError(path + ": " + message);
        }
        auto surface = corvane::Surface::allocate(
            static_cast<std::int32_t>(image.width), static_cast<std::int32_t>(image.height));
        if (!surface)
            throw CompileError(path + ": out of memory");
        for (std::uint32_t y = 0; y < image.height; ++y) {
            for (std::uint32_t x = 0; x < image.width; ++x) {
                const std::uint8_t* p = &rgba[(std::size_t(y) * image.width + x) * 4];
                corvane::Pixel pixel = p[3] < 128
                    ? corvane::transparent_pixel
                    : static_cast<corvane::Pixel>(
                        corvane::pack_565(p[0], p[1], p[2]) | corvane::opaque_bit);
                surface->set_pixel(
                    static_cast<std::int32_t>(x), static_cast<std::int32_t>(y), pixel);
            }
        }
        return surface;
    }

    std::unique_ptr<corvane::Surface> read_bmp(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::vector<std::uint8_t> bytes(
            (std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::string why;
        auto surface = corvane::decode_bmp_565(bytes.data(), bytes.size(), &why);
        if (!surface)
            throw CompileError(path + ": not a 16-bit BMP (" + why + ")");
        return surface;
    }

    bool ends_with(const std::string& text, const std::string& end)
    {
        return text.size() >= end.size()
            && text.compare(text.size() - end.size(), end.size(), end) == 0;
    }

} // namespace

void write_file(const std::string& path, const void* bytes, std::size_t size)
{
    std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(static_cast<const char*>(bytes), static_cast<std::streamsize>(size));
        out.flush();
        if (!out) {
            std::remove(temporary.c_str());
            throw CompileError(path + ": cannot be written");
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        throw CompileError(path + ": cannot be written");
    }
}

PictureSize convert_art(const std::string& input, const std::string& output)
{
    std::unique_ptr<corvane::Surface> surface
        = ends_with(input, ".bmp") ? read_bmp(input) : read_png(input);
    corvane::VectorByteSink sink;
    if (!corvane::save_bmp_565(*surface, sink))
        throw CompileError(output + ": the picture could not be encoded");
    write_file(output, sink.bytes().data(), sink.bytes().size());
    return { surface->width(), surface->height() };
}

} // namespace skinc
