#include "device/rpc/RequesterServer.h"

#include "common/wire/WireText.h"
#include "common/wire/WireUtf8.h"
#include "device/core/Log.h"

namespace corvane {

namespace {

    constexpr char16_t separator = u'\uFFFF';

} // namespace

void RequesterServer::save_int64(std::int64_t value)
{
    WString hex = format_hex64(value);
    get_log() << u"!!!RequesterServer::save_int64 i = " << hex << u"\n";
    m_tokens += hex;
    m_tokens.push_back(separator);
}

void RequesterServer::save_int(std::int32_t value)
{
    m_tokens += to_wstring(value);
    m_tokens.push_back(separator);
}

void RequesterServer::save_string(WStringView text)
{
    if (text.find(separator) != WStringView::npos)
        m_has_separator_in_string = true;
    save_int(m_table.intern(text));
}

WString RequesterServer::text() const
{
    WString text;
    text.reserve(m_tokens.size() + 16 + m_table.size() * 16);
    text += u"3";
    text.push_back(separator);
    text += u"0";
    text.push_back(separator);
    text += to_wstring(static_cast<std::uint64_t>(m_table.size()));
    text.push_back(separator);
    for (const WString& string : m_table.strings()) {
        text += string;
        text.push_back(separator);
    }
    text += m_tokens;
    return text;
}

bool RequesterServer::finish(std::string& body)
{
    body.clear();
    if (m_has_separator_in_string) {
        // The method name is the fourth string of every call header.
        WStringView method = m_table.size() >= 4 ? WStringView(m_table.strings()[3]) : u"?";
        get_log() << u"RequesterServer::finish - " << method
                  << u" not sent: one of its strings holds U+FFFF, which the request form cannot "
                     u"carry\n";
        clear();
        return false;
    }
    WString request = text();
    get_log() << u"----Request:\n" << request << u"\n-----------\n";
    append_wire_utf8(request, body);
    clear();
    return true;
}

bool RequesterServer::finish(SharedBuffer& body)
{
    std::string bytes;
    bool sent = finish(bytes);
    body = sent ? SharedBuffer(bytes.data(), static_cast<std::uint32_t>(bytes.size()))
                : SharedBuffer();
    return sent;
}

void RequesterServer::clear()
{
    m_table.clear();
    m_tokens.clear();
    m_has_separator_in_string = false;
}

} // namespace corvane
