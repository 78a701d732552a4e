#include "common/wire/WireUtf8.h"

#include "common/wire/Utf8Bytes.h"

#include <bit>
#include <cstring>

namespace corvane {

using namespace utf8_bytes;

void append_wire_utf8(WStringView text, std::string& out)
{
    std::size_t at = out.size();
    out.resize(at + text.size() * 3);
    char* p = out.data() + at;
    for (char16_t unit : text) {
        if (unit < 0x80) {
            *p++ = static_cast<char>(unit);
        } else if (unit < 0x800) {
            *p++ = static_cast<char>(0xC0 | (unit >> 6));
            *p++ = static_cast<char>(0x80 | (unit & 0x3F));
        } else {
            *p++ = static_cast<char>(0xE0 | (unit >> 12));
            *p++ = static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
            *p++ = static_cast<char>(0x80 | (unit & 0x3F));
        }
    }
    out.resize(static_cast<std::size_t>(p - out.data()));
}

std::string encode_wire_utf8(WStringView text)
{
    std::string out;
    append_wire_utf8(text, out);
    return out;
}

std::size_t decode_wire_utf8(const std::uint8_t* bytes, std::size_t size, char16_t* out)
{
    std::size_t in = 0;
    char16_t* o = out;
    while (in < size) {
        // Replies are nearly all ASCII: widen eight bytes at a time while no high bit is set.
        while (in + 8 <= size) {
            std::uint64_t word;
            std::memcpy(&word, bytes + in, 8);
            if (!all_ascii(word))
                break;
            widen8(word, bytes + in, o);
            o += 8;
            in += 8;
        }
        if (in >= size)
            break;
        if (bytes[in] < 0x80) {
            *o++ = bytes[in++];
            continue;
        }
        std::uint32_t value = 0;
        std::size_t length = decode_sequence(bytes + in, size - in, value);
        if (length == 0)
            break; // malformed or cut off: keep what came before
        *o++ = static_cast<char16_t>(value & 0xFFFF);
        in += length;
    }
    return static_cast<std::size_t>(o - out);
}

WString decode_wire_utf8(std::string_view bytes)
{
    WString text(bytes.size(), u'\0');
    std::size_t units = decode_wire_utf8(
        reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), text.data());
    text.resize(units);
    return text;
}

std::optional<WString> decode_strict_wire_utf8(std::string_view bytes)
{
    WString text;
    text.reserve(bytes.size());
    const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
    std::size_t size = bytes.size();
    std::size_t in = 0;
    while (in < size) {
        std::uint8_t lead = p[in];
        if (lead < 0x80) {
            text.push_back(lead);
            ++in;
            continue;
        }
        std::size_t length;
        std::uint32_t value;
        std::uint32_t minimum;
        if (lead >= 0xC2 && lead < 0xE0) {
            length = 2;
            value = lead & 0x1F;
            minimum = 0x80;
        } else if (lead >= 0xE0 && lead < 0xF0) {
            length = 3;
            value = lead & 0x0F;
            minimum = 0x800;
        } else if (lead >= 0xF0 && lead < 0xF5) {
            length = 4;
            value = lead & 0x07;
            minimum = 0x10000;
        } else {
            return std::nullopt;
        }
        if (size - in < length)
            return std::nullopt;
        for (std::size_t k = 1; k < length; ++k) {
            std::uint8_t next = p[in + k];
            if ((next & 0xC0) != 0x80)
                return std::nullopt;
            value = (value << 6) | (next & 0x3F);
        }
        if (value < minimum || value > 0x10FFFF)
            return std::nullopt;
        if (value >= 0x10000) {
            value -= 0x10000;
            text.push_back(static_cast<char16_t>(0xD800 | (value >> 10)));
            text.push_back(static_cast<char16_t>(0xDC00 | (value & 0x3FF)));
        } else {
            text.push_back(static_cast<char16_t>(value));
        }
        in += length;
    }
    return text;
}

} // namespace corvane
