#include "common/wire/ReplyWriter.h"

#include "common/base/DebugTrace.h"
#include "common/wire/WireText.h"
#include "common/wire/WireUtf8.h"

#include <charconv>

namespace corvane {

void ReplyWriter::save_int64(std::int64_t value)
{
    WString hex = format_hex64(value);
    if (has_debug_trace_sink())
        debug_trace(u"!!!RequesterServer::save_int64 i = " + hex + u"\n");
    save_string(hex);
}

void ReplyWriter::save_int(std::int32_t value)
{
    m_values.push_back(value);
}

void ReplyWriter::save_string(WStringView text)
{
    save_int(m_table.intern(text));
}

void ReplyWriter::finish(WString& text, ReplyOutcome outcome)
{
    text.clear();
    text.reserve(m_values.size() * 4 + m_table.size() * 24 + 16);
    text += outcome == ReplyOutcome::Exception ? u"//EX[" : u"//OK[";
    for (auto value = m_values.rbegin(); value != m_values.rend(); ++value) {
        // Digits straight into the text: a cache holds hundreds of thousands of values.
        char16_t digits[12];
        char16_t* end = digits + 12;
        char16_t* at = end;
        std::uint32_t magnitude = *value < 0 ? 0u - static_cast<std::uint32_t>(*value)
                                             : static_cast<std::uint32_t>(*value);
        do {
            *--at = static_cast<char16_t>(u'0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude != 0);
        if (*value < 0)
            *--at = u'-';
        text.append(at, end);
        text.push_back(u',');
    }
    text.push_back(u'[');
    bool first = true;
    for (const WString& string : m_table.strings()) {
        if (!first)
            text.push_back(u',');
        first = false;
        text.push_back(u'"');
        append_reply_escaped(string, text, m_spaces);
        text.push_back(u'"');
    }
    text += u"],0,3]";
    clear();
}

// Straight to bytes, as finish() and append_wire_utf8 would give them together: every unit
// encodes by itself, so no UTF-16 copy of the whole reply is needed on the way.
void ReplyWriter::finish_utf8(std::string& bytes, ReplyOutcome outcome)
{
    std::size_t estimate = 16 + m_values.size() * 4;
    for (const WString& string : m_table.strings())
        estimate += string.size() + 3;
    bytes.clear();
    bytes.reserve(estimate);
    bytes += outcome == ReplyOutcome::Exception ? "//EX[" : "//OK[";
    for (auto value = m_values.rbegin(); value != m_values.rend(); ++value) {
        char digits[12];
        char* end = std::to_chars(digits, digits + sizeof digits, *value).ptr;
        bytes.append(digits, end);
        bytes.push_back(',');
    }
    bytes.push_back('[');
    WString escaped;
    bool first = true;
    for (const WString& string : m_table.strings()) {
        if (!first)
            bytes.push_back(',');
        first = false;
        bytes.push_back('"');
        escaped.clear();
        append_reply_escaped(string, escaped, m_spaces);
        append_wire_utf8(escaped, bytes);
        bytes.push_back('"');
    }
    bytes += "],0,3]";
    clear();
}

void ReplyWriter::clear()
{
    m_table.clear();
    m_values.clear();
}

} // namespace corvane
