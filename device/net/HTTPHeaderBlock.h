#pragma once

#include "common/base/Text.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace corvane {

// The reply's raw header block as the worker hands it over: the status line and the header
// lines, each ended by a NUL character.
struct ReplyHeader {
    WString name; // lower case
    WString value;
};

struct ParsedHeaderBlock {
    // The status line has a version, a space, a code and another space, and the code starts
    // with "2". A status line without a reason phrase therefore does not count as 2xx.
    bool is_2xx { false };
    // Lines of the form "name: value" in order; other lines are left out.
    std::vector<ReplyHeader> headers;
};

ParsedHeaderBlock parse_header_block(WStringView block);

// Digits only, at least one, and no more than fits 32 bits.
[[nodiscard]] bool parse_unsigned_decimal(WStringView text, std::uint32_t& value);

struct ContentRange {
    std::uint32_t first { 0 };
    std::uint32_t last { 0 };
    std::uint32_t length { 0 };
};

// "bytes first-last/length" with first <= last; anything else (including "bytes */length")
// answers nothing.
std::optional<ContentRange> parse_content_range(WStringView value);

} // namespace corvane
