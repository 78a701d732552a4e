#pragma once

#include <cstddef>
#include <cstdint>

namespace corvane {

// The fast path of the reply reader: reading a reply's structure straight from its UTF-8
// bytes, which is equivalent to decoding first whenever no multi-byte sequence stands for an
// ASCII character.

// What decode_wire_utf8 would make of the bytes, without writing anything: how many bytes
// decode (up to the first malformed or truncated sequence), and whether any multi-byte
// sequence among them decodes to a unit below 0x80 (an overlong form, or a long form whose
// low 16 bits land there). Without such a sequence every ASCII unit of the decoded text is an
// ASCII byte of the input and the other way round, so the text's structure can be read from
// the bytes directly.
struct WireUtf8Scan {
    std::size_t valid_bytes { 0 };
    bool has_disguised_ascii { false };
};
WireUtf8Scan scan_wire_utf8(const std::uint8_t* bytes, std::size_t size);

// Decodes a run of bytes that scan_wire_utf8 accepted, undoing the reply escapes on the way
// (see unescape_reply_string). `out` must have room for `size` units; answers the end of the
// written text.
char16_t* decode_reply_string(const std::uint8_t* bytes, std::size_t size, char16_t* out);

} // namespace corvane
