#pragma once

#include "common/base/Text.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace corvane {

// Byte conversions of the service protocol and the cache file. They differ from the strict
// conversions of device/core/Text.h on purpose: the service expects every UTF-16 unit encoded
// by itself, and replies are decoded the way the service's own client always did.

// Appends each UTF-16 unit encoded by itself as 1 to 3 bytes: the two halves of a surrogate
// pair become two 3-byte sequences and U+FFFF becomes EF BF BF.
void append_wire_utf8(WStringView text, std::string& out);
std::string encode_wire_utf8(WStringView text);

// Decodes sequences of 1 to 6 bytes (lead bytes 0xxxxxxx to 1111110x, continuation bytes
// 10xxxxxx), keeping the low 16 bits of each value as one unit. Stops at the first malformed
// or truncated sequence and keeps what came before it. `out` must have room for `size`
// units; answers the number of units written.
std::size_t decode_wire_utf8(const std::uint8_t* bytes, std::size_t size, char16_t* out);
WString decode_wire_utf8(std::string_view bytes);

// Strict decoding for texts that must be whole, such as a request arriving at the service:
// 1 to 3 byte sequences map to one unit each (encoded surrogate halves included, so a pair
// written unit by unit comes back as the pair), 4-byte sequences become a surrogate pair.
// Overlong forms, stray continuation bytes, truncation and values above U+10FFFF answer
// nothing.
std::optional<WString> decode_strict_wire_utf8(std::string_view bytes);

} // namespace corvane
