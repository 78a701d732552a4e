#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// What the service reads from a request's head before it takes the body: each reader accepts
// only what it can vouch for, so a hostile header is refused, not half-understood.
namespace corvane::server {

// "text/x-gwt-rpc" with optional parameters; a charset, when named, must be UTF-8.
bool is_accepted_type(const char* header);
// Decimal digits only, without overflow.
bool parse_content_length(const char* text, std::size_t& out);
// The Idempotency-Key header's value; false for one that is not a usable key.
bool read_idempotency_key(const char* value, std::string& key);
// The numeric address in its canonical text; nothing for anything else.
std::optional<std::string> canonical_address(std::string_view text);

} // namespace corvane::server
