#pragma once

#include <cstddef>
#include <cstdint>

// The compiled skin file: little-endian, read in place. Offsets count from the start of the
// file unless noted. The skin compiler (tools/skinc) writes exactly this layout.
namespace corvane::skin_format {

inline constexpr std::uint32_t header_size = 92;
inline constexpr char16_t magic[4] = { 0x0421, 0x043A, 0x0438, 0x043D };
inline constexpr std::uint32_t no_offset = 0xFFFFFFFF;

// Header fields.
inline constexpr std::uint32_t root_entry_at = 72;
inline constexpr std::uint32_t picture_count_at = 76;
inline constexpr std::uint32_t font_count_at = 80;
inline constexpr std::uint32_t text_block_at = 84;
inline constexpr std::uint32_t string_count_at = 88;

// A dictionary entry: before-link, after-link, name offset, then the node record.
inline constexpr std::uint32_t entry_header_size = 12;
// A node record: seven u16 array starts (the last is the end of the colours), the child count,
// then one u32 child offset per child.
inline constexpr std::uint32_t node_header_size = 16;
inline constexpr std::uint32_t child_count_at = 14;

// Property arrays in node order. Every record starts with the u16 offset of its name.
enum class PropertyKind : std::uint8_t { Integer = 0, Font, Point, String, Picture, Color };
inline constexpr std::size_t property_kind_count = 6;
inline constexpr std::uint32_t record_size[property_kind_count] = { 8, 8, 8, 4, 20, 8 };

// Names must lie where a 16-bit offset reaches them.
inline constexpr std::uint32_t name_area_size = 0x10000;
// Records can reach this many pictures and strings.
inline constexpr std::uint32_t max_picture_index = 0xFF;
inline constexpr std::uint32_t max_string_index = 0xFFFF;

inline std::uint16_t read_u16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t read_u32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8)
        | (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline std::int16_t read_i16(const std::uint8_t* p)
{
    return static_cast<std::int16_t>(read_u16(p));
}

} // namespace corvane::skin_format
