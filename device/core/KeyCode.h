#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace corvane {

// The program's own key numbering. Skin key bindings name keys by the texts of key_names, and
// the log shows them, so codes and names never change.
enum class KeyCode : std::int32_t {
    None = 0,
    Shift = 1,
    Ctrl = 2,
    Alt = 3,
    Left = 4,
    Right = 5,
    Up = 6,
    Down = 7,
    Esc = 8,
    Enter = 9,
    Space = 10,
    Backspace = 11,
    Del = 12,
    Insert = 13,
    Home = 14,
    End = 15,
    PageDown = 16,
    PageUp = 17,
    Tab = 18,
    ContextMenu = 19,
    A = 20, // "A" .. "Z" are 20 .. 45
    Z = 45,
    Digit0 = 46, // "0" .. "9" are 46 .. 55
    Digit9 = 55,
    Star = 56,
    Hash = 57,
    CallMake = 58,
    CallEnd = 59,
    Slide = 60,
    SoftLeft = 61,
    SoftRight = 62,
    VolumeUp = 63,
    VolumeDown = 64,
    Plus = 65,
    Minus = 66,
    Period = 67,
    Slash = 68,
};

struct KeyName {
    KeyCode code;
    const char* name; // nullptr ends the table
};

// {code, name} pairs ended by an entry without a name. The name of a code: key_name() (nullptr
// when the table has none); the code of a name: key_from_name() (exact match).
// map_virtual_key() maps a platform virtual-key code; everything unmapped is KeyCode::None.

inline constexpr KeyName key_names[] = {
    { KeyCode::None, "None" },
    { KeyCode::Shift, "Shift" },
    { KeyCode::Ctrl, "Ctrl" },
    { KeyCode::Alt, "Alt" },
    { KeyCode::Left, "Left" },
    { KeyCode::Right, "Right" },
    { KeyCode::Up, "Up" },
    { KeyCode::Down, "Down" },
    { KeyCode::Esc, "Esc" },
    { KeyCode::Enter, "Enter" },
    { KeyCode::Space, "Space" },
    { KeyCode::Backspace, "Backspace" },
    { KeyCode::Del, "Del" },
    { KeyCode::Insert, "Insert" },
    { KeyCode::Home, "Home" },
    { KeyCode::End, "End" },
    { KeyCode::PageDown, "PageDown" },
    { KeyCode::PageUp, "PageUp" },
    { KeyCode::Tab, "Tab" },
    { KeyCode::ContextMenu, "ContextMenu" },
    { KeyCode(20), "A" },
    { KeyCode(21), "B" },
    { KeyCode(22), "C" },
    { KeyCode(23), "D" },
    { KeyCode(24), "E" },
    { KeyCode(25), "F" },
    { KeyCode(26), "G" },
    { KeyCode(27), "H" },
    { KeyCode(28), "I" },
    { KeyCode(29), "J" },
    { KeyCode(30), "K" },
    { KeyCode(31), "L" },
    { KeyCode(32), "M" },
    { KeyCode(33), "N" },
    { KeyCode(34), "O" },
    { KeyCode(35), "P" },
    { KeyCode(36), "Q" },
    { KeyCode(37), "R" },
    { KeyCode(38), "S" },
    { KeyCode(39), "T" },
    { KeyCode(40), "U" },
    { KeyCode(41), "V" },
    { KeyCode(42), "W" },
    { KeyCode(43), "X" },
    { KeyCode(44), "Y" },
    { KeyCode(45), "Z" },
    { KeyCode(46), "0" },
    { KeyCode(47), "1" },
    { KeyCode(48), "2" },
    { KeyCode(49), "3" },
    { KeyCode(50), "4" },
    { KeyCode(51), "5" },
    { KeyCode(52), "6" },
    { KeyCode(53), "7" },
    { KeyCode(54), "8" },
    { KeyCode(55), "9" },
    { KeyCode::Star, "*" },
    { KeyCode::Hash, "#" },
    { KeyCode::CallMake, "CALL_MAKE" },
    { KeyCode::CallEnd, "CALL_END" },
    { KeyCode::Slide, "SLIDE" },
    { KeyCode::SoftLeft, "SOFT_LEFT" },
    { KeyCode::SoftRight, "SOFT_RIGHT" },
    { KeyCode::VolumeUp, "VOLUME_UP" },
    { KeyCode::VolumeDown, "VOLUME_DOWN" },
    { KeyCode::Plus, "+" },
    { KeyCode::Minus, "-" },
    { KeyCode::Period, "." },
    { KeyCode::Slash, "/" },
    { KeyCode::None, nullptr },
};

inline const char* key_name(KeyCode code)
{
    for (const KeyName* entry = key_names; entry->name; ++entry) {
        if (entry->code == code)
            return entry->name;
    }
    return nullptr;
}

inline std::optional<KeyCode> key_from_name(std::string_view name)
{
    for (const KeyName* entry = key_names; entry->name; ++entry) {
        if (name == entry->name)
            return entry->code;
    }
    return std::nullopt;
}

namespace detail {

    // Index = virtual key - 8, for virtual keys 8 .. 120.
    constexpr std::array<std::int8_t, 113> build_virtual_key_table()
    {
        std::array<std::int8_t, 113> table {};
        auto set = [&table](int virtual_key, int code) {
            table[virtual_key - 8] = static_cast<std::int8_t>(code);
        };
        // Escape is the device's back key, so it erases like Backspace.
        set(8, 11);
        set(27, 11);
        set(9, 18);
        set(13, 9);
        set(16, 1);
        set(17, 2);
        set(18, 3);
        set(32, 10);
        set(33, 17);
        set(34, 16);
        set(35, 15);
        set(36, 14);
        set(37, 4);
        set(38, 6);
        set(39, 5);
        set(40, 7);
        set(45, 13);
        set(46, 12);
        for (int i = 0; i < 10; ++i) {
            set(48 + i, 46 + i);
            set(96 + i, 46 + i); // number pad
        }
        for (int i = 0; i < 26; ++i)
            set(65 + i, 20 + i);
        set(93, 19);
        set(106, 56);
        set(119, 56);
        set(107, 65);
        set(109, 66);
        set(110, 67);
        set(111, 68);
        set(112, 61); // F1: left soft key
        set(113, 62); // F2: right soft key
        set(114, 58);
        set(115, 59);
        set(117, 63);
        set(118, 64);
        set(120, 57);
        return table;
    }

    inline constexpr auto s_virtual_keys = build_virtual_key_table();

} // namespace detail

inline KeyCode map_virtual_key(std::uint32_t virtual_key)
{
    if (virtual_key < 8 || virtual_key > 120)
        return KeyCode::None;
    return KeyCode(detail::s_virtual_keys[virtual_key - 8]);
}

inline bool is_digit_key(KeyCode code)
{
    return code >= KeyCode::Digit0 && code <= KeyCode::Digit9;
}
// '0' .. '9' for a digit key.
inline char16_t digit_of(KeyCode code)
{
    return static_cast<char16_t>(u'0' + (static_cast<std::int32_t>(code) - 46));
}

} // namespace corvane
