#include "device/core/Clipboard.h"

#include "device/platform/Platform.h"

namespace corvane {

std::uint32_t clipboard_format_number(ClipboardFormat format)
{
    static constexpr std::uint32_t numbers[] = { 8, 11, 1, 13 };
    return numbers[static_cast<int>(format)];
}

ClipboardReader::ClipboardReader(ClipboardFormat format)
    : m_data(platform_clipboard().get(clipboard_format_number(format)))
{
}

ClipboardWriter::ClipboardWriter(ClipboardFormat format, std::uint32_t size, bool empty_first)
    : m_format(format)
    , m_empty_first(empty_first)
    , m_block(size)
{
}

ClipboardWriter::~ClipboardWriter()
{
    (void)platform_clipboard().set(
        clipboard_format_number(m_format), std::move(m_block), m_empty_first);
}

std::optional<WString> read_clipboard_text()
{
    ClipboardReader reader(ClipboardFormat::UnicodeText);
    if (!reader.has_data())
        return std::nullopt;
    WString text;
    for (std::uint32_t i = 0; i + 1 < reader.size(); i += 2) {
        char16_t c = static_cast<char16_t>(reader.data()[i] | (reader.data()[i + 1] << 8));
        if (c == 0)
            break;
        text.push_back(c);
    }
    return text;
}

void write_clipboard_text(WStringView text)
{
    ClipboardWriter writer(
        ClipboardFormat::UnicodeText, static_cast<std::uint32_t>((text.size() + 1) * 2), true);
    for (std::size_t i = 0; i < text.size(); ++i) {
        writer.data()[2 * i] = static_cast<std::uint8_t>(text[i] & 0xFF);
        writer.data()[2 * i + 1] = static_cast<std::uint8_t>(text[i] >> 8);
    }
}

} // namespace corvane
