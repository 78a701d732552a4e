#pragma once

#include "server/Rows.h"

namespace corvane::server {

// Trims white space and control characters at both ends and lower-cases ASCII letters, so
// "  Ann@Example.ORG " and "ann@example.org" name one account.
Text normalise_address(const Text& text);

// One "@" with text on both sides, no white space or control characters, at most 254 units.
bool is_valid_address(const Text& address);

Text trim_text(const Text& text);

// A display name (trimmed already): at most 100 units, and no control characters, which no
// name needs and which a NUL would cut short in other programs.
bool is_valid_name(const Text& name);

// Trims the units below U+0020 that a clipboard may add around a ticket.
Text trim_controls(const Text& text);

// Whether the text is a valid hexadecimal key of exactly `digits` units.
bool is_hex_key(const Text& text, std::size_t digits);

} // namespace corvane::server
