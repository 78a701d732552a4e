#include "device/platform/linux/SdlClipboard.h"

#include "common/base/Text.h"

#include <SDL.h>

namespace corvane {

namespace {

    constexpr std::uint32_t text_format = 1;
    constexpr std::uint32_t unicode_text_format = 13;

    std::string desktop_text()
    {
        if (!SDL_HasClipboardText())
            return {};
        char* text = SDL_GetClipboardText();
        if (!text)
            return {};
        std::string copy = text;
        SDL_free(text);
        return copy;
    }

} // namespace

std::optional<std::vector<std::uint8_t>> SdlClipboard::get(std::uint32_t format)
{
    if (format == unicode_text_format || format == text_format) {
        if (!SDL_HasClipboardText())
            return std::nullopt;
        std::string text = desktop_text();
        std::vector<std::uint8_t> bytes;
        if (format == text_format) {
            bytes.assign(text.begin(), text.end());
            bytes.push_back(0);
            return bytes;
        }
        for (char16_t c : from_utf8(text)) {
            bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
            bytes.push_back(static_cast<std::uint8_t>(c >> 8));
        }
        bytes.push_back(0);
        bytes.push_back(0);
        return bytes;
    }
    auto it = m_other.find(format);
    if (it == m_other.end())
        return std::nullopt;
    return it->second;
}

bool SdlClipboard::set(std::uint32_t format, std::vector<std::uint8_t> data, bool empty_first)
{
    if (empty_first)
        m_other.clear();
    if (format == unicode_text_format) {
        std::u16string text;
        for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
            char16_t c = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
            if (c == 0)
                break;
            text.push_back(c);
        }
        return SDL_SetClipboardText(to_utf8(text).c_str()) == 0;
    }
    if (format == text_format) {
        std::string text;
        for (std::uint8_t byte : data) {
            if (byte == 0)
                break;
            text.push_back(static_cast<char>(byte));
        }
        return SDL_SetClipboardText(to_utf8(narrow_to_wide(text)).c_str()) == 0;
    }
    m_other[format] = std::move(data);
    return true;
}

} // namespace corvane
