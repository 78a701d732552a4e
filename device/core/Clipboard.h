#pragma once

#include "common/base/Text.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace corvane {

// Clipboard formats by index into the platform's list {8, 11, 1, 13}.
enum class ClipboardFormat {
    Bitmap = 0,
    Riff = 1,
    Text = 2,
    UnicodeText = 3,
};

// Takes the data of one format when constructed. Main thread.
class ClipboardReader {
public:
    explicit ClipboardReader(ClipboardFormat format);
    bool has_data() const { return m_data.has_value(); }
    const std::uint8_t* data() const { return m_data ? m_data->data() : nullptr; }
    std::uint32_t size() const { return m_data ? static_cast<std::uint32_t>(m_data->size()) : 0; }

private:
    std::optional<std::vector<std::uint8_t>> m_data;
};

// A block of `size` bytes for the caller to fill; handed to the clipboard when destroyed.
// Main thread.
class ClipboardWriter {
public:
    ClipboardWriter(ClipboardFormat format, std::uint32_t size, bool empty_first);
    ~ClipboardWriter();
    ClipboardWriter(const ClipboardWriter&) = delete;
    ClipboardWriter& operator=(const ClipboardWriter&) = delete;
    std::uint8_t* data() { return m_block.data(); }
    std::uint32_t size() const { return static_cast<std::uint32_t>(m_block.size()); }

private:
    ClipboardFormat m_format;
    bool m_empty_first;
    std::vector<std::uint8_t> m_block;
};

// The Unicode text on the clipboard up to its first zero character, if any. An odd byte count
// drops the last byte.
std::optional<WString> read_clipboard_text();
// Replaces the clipboard content with the text.
void write_clipboard_text(WStringView text);

std::uint32_t clipboard_format_number(ClipboardFormat format);

} // namespace corvane
