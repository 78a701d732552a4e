#pragma once

#include <optional>
#include <string>
#include <string_view>

// Looking a key up in one settings text. Any thread.
namespace lumbra {

// Positions in a settings text are 16-bit signed numbers, so a longer text cannot be
// searched at all.
constexpr std::size_t max_searchable_chars = 32767;

// The three folders that "$app.path$", "$program files$" and "$common files$" stand for.
struct MacroValues {
    std::u16string app_path;
    std::u16string program_files;
    std::u16string common_files;
};

// Replaces the macros in order, each by plain case-sensitive replacement of every
// occurrence. Text that one replacement put in is never searched by a later one, so a folder
// whose name contains a macro's spelling stays as it is.
std::u16string replace_macros(std::u16string_view value, const MacroValues& macros);

// The raw value of `key` in `section` of `text`, which must start with CR LF. Section and key
// compare without regard to case; nothing is trimmed. No value (nullopt) when the section or
// the key within it is missing. Macros are not replaced here.
std::optional<std::u16string> find_raw_value(
    std::u16string_view text, std::u16string_view section, std::u16string_view key);

} // namespace lumbra
