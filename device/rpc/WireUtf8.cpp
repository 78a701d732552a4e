#include "device/rpc/WireUtf8.h"

#include <bit>
#include <cstring>

namespace corvane {

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

namespace {

    constexpr std::uint64_t high_bits = 0x8080808080808080ULL;
    constexpr std::uint64_t low_bits = 0x0101010101010101ULL;

    bool all_ascii(std::uint64_t word)
    {
        return (word & high_bits) == 0;
    }

    // Writes the eight bytes of the word (in memory order) as eight UTF-16 units.
    void widen8(std::uint64_t word, const std::uint8_t* bytes, char16_t* out)
    {
        if constexpr (std::endian::native == std::endian::little) {
            // Spread each half's four bytes into four 16-bit lanes.
            auto spread = [](std::uint64_t half) {
                half = (half | (half << 16)) & 0x0000FFFF0000FFFFULL;
                return (half | (half << 8)) & 0x00FF00FF00FF00FFULL;
            };
            std::uint64_t low = spread(word & 0xFFFFFFFFULL);
            std::uint64_t high = spread(word >> 32);
            std::memcpy(out, &low, 8);
            std::memcpy(out + 4, &high, 8);
        } else {
            for (int k = 0; k < 8; ++k)
                out[k] = bytes[k];
        }
    }

    // A high bit in each byte of the word that is not plain ASCII or is a backslash, exactly per
    // byte (no borrow between bytes), so the lowest one marks the first such byte.
    std::uint64_t special_bytes(std::uint64_t word)
    {
        constexpr std::uint64_t low_seven = 0x7F7F7F7F7F7F7F7FULL;
        std::uint64_t x = word ^ (low_bits * '\\');
        std::uint64_t backslash = ~(((x & low_seven) + low_seven) | x) & high_bits;
        return (word & high_bits) | backslash;
    }

    // Writes sixteen bytes as sixteen units and answers how many of them come before the first
    // byte that is not plain ASCII or is a backslash (16 when there is none). Vector extensions
    // let the compiler use the machine's own 16-byte registers.
    using Bytes16 = std::uint8_t __attribute__((vector_size(16)));
    using Units16 = std::uint16_t __attribute__((vector_size(32)));

    std::size_t widen16_plain(const std::uint8_t* bytes, char16_t* out)
    {
        Bytes16 v;
        std::memcpy(&v, bytes, 16);
        Units16 wide = __builtin_convertvector(v, Units16);
        std::memcpy(out, &wide, 32);
        auto special = (v >= 0x80) | (v == '\\');
        std::uint64_t halves[2];
        static_assert(sizeof special == sizeof halves);
        std::memcpy(halves, &special, sizeof halves);
        if (halves[0] != 0)
            return static_cast<std::size_t>(std::countr_zero(halves[0]) / 8);
        if (halves[1] != 0)
            return 8 + static_cast<std::size_t>(std::countr_zero(halves[1]) / 8);
        return 16;
    }

    // The length of the sequence a lead byte starts and the value bits it carries; 0 when the
    // byte cannot start a sequence.
    std::size_t sequence_length(std::uint8_t lead, std::uint32_t& value)
    {
        if (lead < 0xC0)
            return 0;
        if (lead < 0xE0) {
            value = lead & 0x1F;
            return 2;
        }
        if (lead < 0xF0) {
            value = lead & 0x0F;
            return 3;
        }
        if (lead < 0xF8) {
            value = lead & 0x07;
            return 4;
        }
        if (lead < 0xFC) {
            value = lead & 0x03;
            return 5;
        }
        if (lead < 0xFE) {
            value = lead & 0x01;
            return 6;
        }
        return 0;
    }

    // Decodes the sequence at `bytes` (`available` bytes left); answers its length, or 0 when it
    // is malformed or cut off.
    std::size_t decode_sequence(
        const std::uint8_t* bytes, std::size_t available, std::uint32_t& value)
    {
        std::size_t length = sequence_length(bytes[0], value);
        if (length == 0 || available < length)
            return 0;
        for (std::size_t k = 1; k < length; ++k) {
            std::uint8_t next = bytes[k];
            if ((next & 0xC0) != 0x80)
                return 0;
            value = (value << 6) | (next & 0x3F);
        }
        return length;
    }

    int hex_value(std::uint8_t c)
    {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    }

} // namespace

WireUtf8Scan scan_wire_utf8(const std::uint8_t* bytes, std::size_t size)
{
    WireUtf8Scan scan;
    std::size_t in = 0;
    while (in < size) {
        while (size - in >= 16) {
            std::uint64_t first;
            std::uint64_t second;
            std::memcpy(&first, bytes + in, 8);
            std::memcpy(&second, bytes + in + 8, 8);
            if (!all_ascii(first | second))
                break;
            in += 16;
        }
        // Take the rest of this window sequence by sequence: non-Latin text keeps breaking the
        // fast loop, so it is not worth retrying after every character.
        std::size_t window_end = std::min(size, in + 16);
        while (in < window_end) {
            std::uint8_t lead = bytes[in];
            if (lead < 0x80) {
                ++in;
                continue;
            }
            // Two-byte sequences (Latin, Cyrillic, Greek...) stand for ASCII only when overlong.
            if (lead >= 0xC2 && lead < 0xE0 && size - in >= 2 && (bytes[in + 1] & 0xC0) == 0x80) {
                in += 2;
                continue;
            }
            std::uint32_t value = 0;
            std::size_t length = decode_sequence(bytes + in, size - in, value);
            if (length == 0) {
                scan.valid_bytes = in;
                return scan;
            }
            if ((value & 0xFFFF) < 0x80)
                scan.has_disguised_ascii = true;
            in += length;
        }
    }
    scan.valid_bytes = in;
    return scan;
}

char16_t* decode_reply_string(const std::uint8_t* bytes, std::size_t size, char16_t* out)
{
    const std::uint8_t* p = bytes;
    const std::uint8_t* end = bytes + size;
    while (p != end) {
        // Plain ASCII without escapes is most of every string: widen sixteen (or eight) bytes at
        // a time up to the first byte that needs attention.
        if (end - p >= 16) {
            std::size_t plain = widen16_plain(p, out);
            out += plain;
            p += plain;
            if (plain == 16)
                continue;
        } else if (end - p >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, 8);
            std::uint64_t special = special_bytes(word);
            widen8(word, p, out);
            if (special == 0) {
                out += 8;
                p += 8;
                continue;
            }
            int plain = std::countr_zero(special) / 8;
            out += plain;
            p += plain;
        }
        std::uint8_t c = *p;
        // Runs of two-byte letters (Cyrillic, Greek...) and the plain characters between them.
        while ((c >= 0xC0 && c < 0xE0 && end - p >= 2 && (p[1] & 0xC0) == 0x80)
            || (c < 0x80 && c != '\\')) {
            if (c < 0x80) {
                *out++ = c;
                ++p;
            } else {
                *out++ = static_cast<char16_t>(((c & 0x1F) << 6) | (p[1] & 0x3F));
                p += 2;
            }
            if (p == end || *p < 0x80)
                break;
            c = *p;
        }
        if (p == end)
            break;
        c = *p;
        if (c < 0x80 && c != '\\') {
            *out++ = c;
            ++p;
            continue;
        }
        if (c >= 0x80) {
            std::uint32_t value = 0;
            std::size_t length = decode_sequence(p, static_cast<std::size_t>(end - p), value);
            if (length == 0)
                break; // not a scanned run; keep what decoded
            *out++ = static_cast<char16_t>(value & 0xFFFF);
            p += length;
            continue;
        }
        // A backslash: one of the escapes, or itself.
        std::uint8_t next = end - p >= 2 ? p[1] : 0;
        if (next == 'x' && end - p >= 4) {
            int high = hex_value(p[2]);
            int low = hex_value(p[3]);
            if (high >= 0 && low >= 0) {
                *out++ = static_cast<char16_t>(high * 16 + low);
                p += 4;
                continue;
            }
        }
        if (next == '\\' || next == '"') {
            *out++ = next;
            p += 2;
        } else if (next == 'r') {
            *out++ = u'\r';
            p += 2;
        } else if (next == 'n') {
            *out++ = u'\n';
            p += 2;
        } else {
            *out++ = c;
            ++p;
        }
    }
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
        std::uint8_t lead = bytes[in];
        if (lead < 0x80) {
            *o++ = lead;
            ++in;
            continue;
        }
        std::size_t length;
        std::uint32_t value;
        if (lead < 0xC0)
            break; // a continuation byte cannot start a sequence
        if (lead < 0xE0) {
            length = 2;
            value = lead & 0x1F;
        } else if (lead < 0xF0) {
            length = 3;
            value = lead & 0x0F;
        } else if (lead < 0xF8) {
            length = 4;
            value = lead & 0x07;
        } else if (lead < 0xFC) {
            length = 5;
            value = lead & 0x03;
        } else if (lead < 0xFE) {
            length = 6;
            value = lead & 0x01;
        } else {
            break;
        }
        if (size - in < length)
            break; // cut off inside the sequence
        bool whole = true;
        for (std::size_t k = 1; k < length; ++k) {
            std::uint8_t next = bytes[in + k];
            if ((next & 0xC0) != 0x80) {
                whole = false;
                break;
            }
            value = (value << 6) | (next & 0x3F);
        }
        if (!whole)
            break;
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
