#include "server/RequestHead.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cstdint>

namespace corvane::server {

static std::string lower_case(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return out;
}

static std::string trim_blanks(std::string_view text)
{
    size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string_view::npos)
        return {};
    size_t end = text.find_last_not_of(" \t");
    return std::string(text.substr(begin, end - begin + 1));
}

bool is_accepted_type(const char* header)
{
    if (!header)
        return false;
    std::string value = lower_case(header);
    size_t semicolon = value.find(';');
    if (trim_blanks(value.substr(0, semicolon)) != "text/x-gwt-rpc")
        return false;
    while (semicolon != std::string::npos) {
        size_t next = value.find(';', semicolon + 1);
        std::string parameter = trim_blanks(value.substr(semicolon + 1, next - semicolon - 1));
        semicolon = next;
        if (parameter.rfind("charset", 0) != 0)
            continue;
        size_t equals = parameter.find('=');
        if (equals == std::string::npos)
            return false;
        std::string charset = trim_blanks(parameter.substr(equals + 1));
        if (charset.size() >= 2 && charset.front() == '"' && charset.back() == '"')
            charset = charset.substr(1, charset.size() - 2);
        if (charset != "utf-8" && charset != "utf8")
            return false;
    }
    return true;
}

bool parse_content_length(const char* text, std::size_t& out)
{
    if (!text || !*text)
        return false;
    std::size_t value = 0;
    for (const char* p = text; *p; ++p) {
        if (*p < '0' || *p > '9')
            return false;
        if (value > (SIZE_MAX - 9) / 10)
            return false;
        value = value * 10 + std::size_t(*p - '0');
    }
    out = value;
    return true;
}

// The key as the draft writes it (a quoted string) or bare; printable ASCII without quotes or
// backslashes inside, at most 255 characters. No header is a valid empty key.
bool read_idempotency_key(const char* value, std::string& key)
{
    key.clear();
    if (!value)
        return true;
    std::string_view text(value);
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
        text = text.substr(1, text.size() - 2);
    if (text.empty() || text.size() > 255)
        return false;
    for (char c : text) {
        if (c < 0x21 || c > 0x7E || c == '"' || c == '\\')
            return false;
    }
    key.assign(text);
    return true;
}

std::optional<std::string> canonical_address(std::string_view text)
{
    std::string value = trim_blanks(text);
    char out[INET6_ADDRSTRLEN];
    in6_addr v6;
    in_addr v4;
    if (inet_pton(AF_INET, value.c_str(), &v4) == 1 && inet_ntop(AF_INET, &v4, out, sizeof out))
        return std::string(out);
    if (inet_pton(AF_INET6, value.c_str(), &v6) == 1 && inet_ntop(AF_INET6, &v6, out, sizeof out))
        return std::string(out);
    return std::nullopt;
}

} // namespace corvane::server
