#include "common/wire/ReplyBytes.h"

#include "common/wire/Utf8Bytes.h"

#include <algorithm>
#include <bit>

namespace corvane {

using namespace utf8_bytes;

namespace {

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
        if constexpr (std::endian::native != std::endian::little) {
            for (std::size_t k = 0; k < 16; ++k) {
                if (special[k])
                    return k;
            }
            return 16;
        }
        // Little-endian: the first byte in memory is the lowest of each half.
        std::uint64_t halves[2];
        static_assert(sizeof special == sizeof halves);
        std::memcpy(halves, &special, sizeof halves);
        if (halves[0] != 0)
            return static_cast<std::size_t>(std::countr_zero(halves[0]) / 8);
        if (halves[1] != 0)
            return 8 + static_cast<std::size_t>(std::countr_zero(halves[1]) / 8);
        return 16;
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

} // namespace corvane
