#include "common/wire/RequestReader.h"

#include "common/wire/WireText.h"
#include "common/wire/WireUtf8.h"

namespace corvane {

namespace {

    constexpr char16_t separator = u'\uFFFF';

} // namespace

bool RequestReader::fail(WStringView reason)
{
    if (m_failure.empty())
        m_failure = reason;
    return false;
}

bool RequestReader::parse(std::string_view bytes)
{
    std::optional<WString> text = decode_strict_wire_utf8(bytes);
    if (!text) {
        m_text.clear();
        m_strings.clear();
        m_tokens.clear();
        m_next = 0;
        m_string_count = 0;
        m_failure = u"the request is not valid UTF-8";
        return false;
    }
    return parse_text(*text);
}

bool RequestReader::parse_text(WStringView text)
{
    m_text.assign(text);
    m_strings.clear();
    m_tokens.clear();
    m_next = 0;
    m_string_count = 0;
    m_failure.clear();

    if (m_text.empty() || m_text.back() != separator)
        return fail(u"the request does not end with U+FFFF");
    std::vector<Span> elements;
    std::size_t start = 0;
    for (std::size_t at = 0; at < m_text.size(); ++at) {
        if (m_text[at] == separator) {
            elements.push_back({ start, at - start });
            start = at + 1;
        }
    }
    if (elements.size() < 3)
        return fail(u"the request has no header");
    if (element(elements[0]) != u"3")
        return fail(u"the stream version is not 3");
    if (element(elements[1]) != u"0")
        return fail(u"the flags are not 0");
    std::optional<std::int32_t> count = parse_decimal_strict(element(elements[2]));
    if (!count || *count < 0 || static_cast<std::size_t>(*count) > elements.size() - 3)
        return fail(u"the string count is wrong");
    m_string_count = static_cast<std::size_t>(*count);
    m_strings.assign(elements.begin() + 3, elements.begin() + 3 + *count);
    m_tokens.assign(elements.begin() + 3 + *count, elements.end());
    return true;
}

const RequestReader::Span* RequestReader::next_token()
{
    if (m_next >= m_tokens.size()) {
        fail(u"a token is missing");
        return nullptr;
    }
    return &m_tokens[m_next++];
}

std::int32_t RequestReader::load_int()
{
    const Span* token = next_token();
    if (!token)
        return -1;
    std::optional<std::int32_t> value = parse_decimal_strict(element(*token));
    if (!value) {
        fail(u"a token is not a decimal 32-bit value");
        return -1;
    }
    return *value;
}

std::int64_t RequestReader::load_int64()
{
    const Span* token = next_token();
    if (!token)
        return 0;
    std::optional<std::uint64_t> value = parse_hex64_strict(element(*token));
    if (!value) {
        fail(u"a token is not a hexadecimal 64-bit value");
        return 0;
    }
    return static_cast<std::int64_t>(*value);
}

WStringView RequestReader::load_string()
{
    std::int32_t reference = load_int();
    if (reference == 0 || has_error())
        return {};
    if (reference < 0 || static_cast<std::size_t>(reference) > m_strings.size()) {
        fail(u"a string reference is outside the table");
        return {};
    }
    return element(m_strings[static_cast<std::size_t>(reference) - 1]);
}

} // namespace corvane
