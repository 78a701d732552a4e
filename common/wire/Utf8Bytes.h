#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

// Byte-level helpers shared by the UTF-8 conversions of the service protocol. Internal to
// device/rpc.
namespace corvane::utf8_bytes {

inline constexpr std::uint64_t high_bits = 0x8080808080808080ULL;
inline constexpr std::uint64_t low_bits = 0x0101010101010101ULL;

inline bool all_ascii(std::uint64_t word)
{
    return (word & high_bits) == 0;
}

// Writes the eight bytes of the word (in memory order) as eight UTF-16 units.
inline void widen8(std::uint64_t word, const std::uint8_t* bytes, char16_t* out)
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

// The length of the sequence a lead byte starts and the value bits it carries; 0 when the
// byte cannot start a sequence.
inline std::size_t sequence_length(std::uint8_t lead, std::uint32_t& value)
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
inline std::size_t decode_sequence(
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

} // namespace corvane::utf8_bytes
