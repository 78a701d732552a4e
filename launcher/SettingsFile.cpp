#include "launcher/SettingsFile.h"

#include "launcher/Text.h"

#include <cstdint>
#include <fstream>

namespace lumbra {

std::string companion_file_name(std::string_view main_file, std::string_view language)
{
    std::size_t backslash = main_file.rfind('\\');
    std::size_t slash = main_file.rfind('/');
    std::size_t dot = main_file.rfind('.');
    auto after = [](std::size_t dot_pos, std::size_t separator) {
        return separator == std::string_view::npos || dot_pos > separator;
    };
    std::string name;
    if (dot != std::string_view::npos && after(dot, backslash) && after(dot, slash))
        name = main_file.substr(0, dot + 1);
    else
        name = main_file;
    name += language;
    name += ".ini";
    return name;
}

std::u16string decode_settings_bytes(std::string_view bytes)
{
    if (bytes.size() > 1 && static_cast<unsigned char>(bytes[0]) == 0xFF
        && static_cast<unsigned char>(bytes[1]) == 0xFE) {
        std::size_t count = bytes.size() / 2 - 1;
        std::u16string text(count, u'\0');
        for (std::size_t i = 0; i < count; ++i) {
            auto low = static_cast<unsigned char>(bytes[2 + 2 * i]);
            auto high = static_cast<unsigned char>(bytes[3 + 2 * i]);
            text[i] = static_cast<char16_t>(low | (high << 8));
        }
        return text;
    }
    return decode_ansi(bytes);
}

SettingsFileContent read_settings_file(const std::string& path)
{
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file)
        return { ReadStatus::Missing, {} };
    std::streamoff size = file.tellg();
    if (size < 0)
        return { ReadStatus::Short, {} };
    if (static_cast<std::uint64_t>(size) > max_settings_file_bytes)
        return { ReadStatus::TooLarge, {} };
    file.seekg(0);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    file.read(bytes.data(), size);
    if (file.gcount() != size)
        return { ReadStatus::Short, {} };
    return { ReadStatus::Read, decode_settings_bytes(bytes) };
}

} // namespace lumbra
