#include "device/skin/lang/LanguageFile.h"

#include "device/core/File.h"
#include "device/core/Paths.h"

namespace corvane {

namespace {

    bool is_space(char16_t c)
    {
        return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\v' || c == u'\f';
    }

    bool is_line_end(char16_t c)
    {
        return c == u'\r' || c == u'\n';
    }

    WString decode(const std::uint8_t* bytes, std::size_t size)
    {
        WString text;
        if (size >= 2 && size % 2 == 0 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
            text.reserve(size / 2 - 1);
            for (std::size_t i = 2; i < size; i += 2)
                text.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
        } else {
            text.reserve(size);
            for (std::size_t i = 0; i < size; ++i)
                text.push_back(static_cast<char16_t>(bytes[i]));
        }
        return text;
    }

} // namespace

Properties::LanguageTable parse_language_text(WStringView text)
{
    Properties::LanguageTable table;
    std::size_t p = 0;
    const std::size_t end = text.size();
    while (true) {
        while (p < end && is_space(text[p]))
            ++p;
        if (p >= end)
            break;
        std::size_t key_start = p;
        while (p < end && !is_space(text[p]) && text[p] != u'=')
            ++p;
        WStringView key = text.substr(key_start, p - key_start);
        if (p < end && text[p] == u'=') {
            ++p;
        } else {
            // "key text" stores "text"; "key = text" stores "= text".
            while (p < end && is_space(text[p]) && !is_line_end(text[p]))
                ++p;
        }
        std::size_t value_start = p;
        while (p < end && !is_line_end(text[p]))
            ++p;
        if (!key.empty())
            table.insert_or_assign(
                WString(key), WString(text.substr(value_start, p - value_start)));
    }
    return table;
}

Properties::LanguageTable parse_language_text(const std::uint8_t* bytes, std::size_t size)
{
    return parse_language_text(decode(bytes, size));
}

bool load_language_file(Properties& properties, WStringView path)
{
    File file;
    if (!file.open(path, FileMode::Read))
        return false;
    std::uint64_t size = file.size();
    // Language files are small; anything this large is not one and is refused whole.
    if (size > 64u * 1024 * 1024)
        return false;
    std::string bytes(static_cast<std::size_t>(size), '\0');
    if (size && file.read(bytes.data(), static_cast<std::uint32_t>(size)) != size)
        return false;
    properties.set_language(
        parse_language_text(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()),
        expand_path(path));
    return true;
}

WString translate(const Properties& properties, WStringView key)
{
    auto found = properties.language_table().find(key);
    return found == properties.language_table().end() ? WString(key) : found->second;
}

} // namespace corvane
