#include "device/rpc/ReplyReader.h"

#include "common/wire/ReplyBytes.h"
#include "common/wire/WireText.h"
#include "common/wire/WireUtf8.h"
#include "device/core/Log.h"

#include <algorithm>
#include <cstring>

namespace corvane {

namespace {

    constexpr WStringView ok_prefix = u"//OK[";
    constexpr WStringView exception_prefix = u"//EX[";
    constexpr std::size_t prefix_length = 5;
    constexpr WStringView strings_suffix = u"\"],0,3]";
    constexpr WStringView no_strings_suffix = u",[],0,3]";

    // The framing is ASCII: it compares the same against UTF-16 units and UTF-8 bytes.
    template<typename Char>
    bool begins_with(const Char* text, std::size_t length, WStringView prefix)
    {
        return length >= prefix.size() && std::equal(prefix.begin(), prefix.end(), text);
    }

    template<typename Char> bool ends_with(const Char* text, std::size_t length, WStringView suffix)
    {
        return length >= suffix.size()
            && std::equal(suffix.begin(), suffix.end(), text + length - suffix.size());
    }

    template<typename Char> bool is_digit(Char c)
    {
        return c >= '0' && c <= '9';
    }

} // namespace

ReplyReader::ReplyReader() = default;
ReplyReader::~ReplyReader() = default;

void ReplyReader::reserve_text(std::size_t units)
{
    if (units <= m_capacity && m_text)
        return;
    m_capacity = std::max<std::size_t>(units, 64);
    m_text = std::make_unique_for_overwrite<char16_t[]>(m_capacity);
}

void ReplyReader::reset()
{
    m_values.clear();
    m_strings.clear();
    m_unread = 0;
    m_exception = false;
    m_error = false;
}

bool ReplyReader::parse(const std::uint8_t* bytes, std::size_t size)
{
    WireUtf8Scan scan = scan_wire_utf8(bytes, size);
    LogStream& log = get_log();
    if (scan.has_disguised_ascii || is_log_enabled()) {
        reserve_text(scan.valid_bytes);
        m_length = decode_wire_utf8(bytes, scan.valid_bytes, m_text.get());
        log << u"----Response:\n" << WStringView(m_text.get(), m_length) << u"\n-----------\n";
        // A multi-byte form of an ASCII character is that character in the decoded text, so
        // the structure has to be read from the text.
        if (scan.has_disguised_ascii)
            return parse_decoded();
    }
    return parse_bytes(bytes, scan.valid_bytes);
}

bool ReplyReader::parse_text(WStringView text)
{
    reserve_text(text.size());
    std::copy(text.begin(), text.end(), m_text.get());
    m_length = text.size();
    get_log() << u"----Response:\n" << text << u"\n-----------\n";
    return parse_decoded();
}

bool ReplyReader::conclude(bool parsed, bool exception)
{
    if (!parsed) {
        reset();
        return false;
    }
    m_exception = exception;
    m_unread = m_values.size();
    return true;
}

bool ReplyReader::parse_decoded()
{
    reset();
    const char16_t* text = m_text.get();
    bool parsed = false;
    bool exception = begins_with(text, m_length, exception_prefix);
    if (exception || begins_with(text, m_length, ok_prefix)) {
        if (m_length >= prefix_length + strings_suffix.size()
            && ends_with(text, m_length, strings_suffix)) {
            parsed = parse_with_strings(prefix_length, m_length - strings_suffix.size());
        } else if (m_length >= prefix_length + no_strings_suffix.size()
            && ends_with(text, m_length, no_strings_suffix)) {
            const char16_t* begin = text + prefix_length;
            parsed = parse_values(begin, text + m_length - no_strings_suffix.size(),
                static_cast<const char16_t**>(nullptr));
        }
    }
    return conclude(parsed, exception);
}

// The same checks on the bytes themselves, valid when no multi-byte sequence stands for an
// ASCII character: the framing is all ASCII, so it is found byte for byte.
bool ReplyReader::parse_bytes(const std::uint8_t* text, std::size_t length)
{
    reset();
    bool parsed = false;
    bool exception = begins_with(text, length, exception_prefix);
    if (exception || begins_with(text, length, ok_prefix)) {
        if (length >= prefix_length + strings_suffix.size()
            && ends_with(text, length, strings_suffix)) {
            parsed
                = parse_byte_strings(text + prefix_length, text + length - strings_suffix.size());
        } else if (length >= prefix_length + no_strings_suffix.size()
            && ends_with(text, length, no_strings_suffix)) {
            parsed = parse_values(text + prefix_length, text + length - no_strings_suffix.size(),
                static_cast<const std::uint8_t**>(nullptr));
        }
    }
    return conclude(parsed, exception);
}

bool ReplyReader::parse_byte_strings(const std::uint8_t* begin, const std::uint8_t* end)
{
    const std::uint8_t* strings = nullptr;
    if (!parse_values(begin, end, &strings))
        return false;
    // Decoded strings never take more units than they take bytes.
    reserve_text(static_cast<std::size_t>(end - strings));
    m_length = 0;
    const std::uint8_t* token = strings;
    const std::uint8_t* p = strings;
    while (p != end) {
        const auto* quote = static_cast<const std::uint8_t*>(
            std::memchr(p, '"', static_cast<std::size_t>(end - p)));
        if (!quote)
            break;
        if (quote - strings >= 2 && quote[-2] == ',' && quote[-1] == '[')
            return false; // a third part
        if (end - quote >= 3 && quote[1] == ',' && quote[2] == '"') {
            add_byte_string(token, quote);
            token = quote + 3;
            p = quote + 3;
        } else {
            p = quote + 1;
        }
    }
    add_byte_string(token, end);
    return true;
}

void ReplyReader::add_byte_string(const std::uint8_t* begin, const std::uint8_t* end)
{
    char16_t* out = m_text.get() + m_length;
    char16_t* written = decode_reply_string(begin, static_cast<std::size_t>(end - begin), out);
    m_strings.push_back({ m_length, static_cast<std::size_t>(written - out) });
    m_length += static_cast<std::size_t>(written - out);
}

// The text between prefix and suffix must split at ",[\"" into exactly two parts: the value
// list and the string list.
bool ReplyReader::parse_with_strings(std::size_t begin, std::size_t end)
{
    char16_t* text = m_text.get();
    const char16_t* string_list = nullptr;
    if (!parse_values(text + begin, text + end, &string_list))
        return false;

    char16_t* start = text + (string_list - text);
    char16_t* stop = text + end;
    char16_t* token = start;
    bool has_escapes = false;
    for (char16_t* p = start; p != stop; ++p) {
        char16_t c = *p;
        if (c == u'\\') {
            has_escapes = true;
            continue;
        }
        if (c != u'"')
            continue;
        if (p - start >= 2 && p[-2] == u',' && p[-1] == u'[')
            return false; // a third part
        if (stop - p >= 3 && p[1] == u',' && p[2] == u'"') {
            add_string(token, p, has_escapes);
            token = p + 3;
            p += 2;
            has_escapes = false;
        }
    }
    add_string(token, stop, has_escapes);
    return true;
}

// Parses the ","-separated value tokens of [begin, end). With `string_list` set, the values
// end at the first ",[\"" and *string_list receives the start of the text after it; without
// that separator the reply does not split in two and is rejected.
template<typename Char>
bool ReplyReader::parse_values(const Char* begin, const Char* end, const Char** string_list)
{
    m_values.reserve(static_cast<std::size_t>(end - begin) / 2 + 1);
    const Char* p = begin;
    for (;;) {
        const Char* token = p;
        std::int32_t value;
        // Plain non-negative tokens below ten digits take the fast path; anything else (signs,
        // white space, long or trailing characters) goes through the general rule.
        std::uint32_t fast = 0;
        const Char* digit = p;
        while (digit != end && is_digit(*digit) && digit - p < 9)
            fast = fast * 10 + static_cast<std::uint32_t>(*digit++ - '0');
        if (digit != p && (digit == end || *digit == ',')) {
            value = static_cast<std::int32_t>(fast);
            p = digit;
        } else {
            while (p != end && *p != ',')
                ++p;
            if (!parse_reply_int(token, p, value))
                return false;
        }
        m_values.push_back(value);
        if (p == end)
            return string_list == nullptr;
        if (string_list && end - p >= 3 && p[1] == '[' && p[2] == '"') {
            *string_list = p + 3;
            return true;
        }
        ++p;
    }
}

void ReplyReader::add_string(char16_t* begin, char16_t* end, bool has_escapes)
{
    if (has_escapes)
        end = unescape_reply_string(begin, end, begin);
    m_strings.push_back(
        { static_cast<std::size_t>(begin - m_text.get()), static_cast<std::size_t>(end - begin) });
}

std::int32_t ReplyReader::load_int()
{
    if (m_unread == 0)
        return -1;
    return m_values[--m_unread];
}

WStringView ReplyReader::load_string()
{
    std::int32_t reference = load_int();
    if (reference == 0)
        return {};
    if (reference < 0 || static_cast<std::size_t>(reference) > m_strings.size()) {
        m_error = true;
        return {};
    }
    return string_at(static_cast<std::size_t>(reference) - 1);
}

std::int64_t ReplyReader::load_int64()
{
    return static_cast<std::int64_t>(parse_hex64_lenient(load_string()));
}

WStringView ReplyReader::string_at(std::size_t index) const
{
    if (index >= m_strings.size())
        return {};
    const Span& span = m_strings[index];
    return WStringView(m_text.get() + span.offset, span.length);
}

} // namespace corvane
