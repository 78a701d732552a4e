#pragma once

#include <optional>
#include <string>
#include <string_view>

// Reading the launcher's settings files from disk. Pure file access; any thread.
namespace lumbra {

// Name of the per-language companion of a settings file: "dir/Lumbra.ini" with "Russian"
// gives "dir/Lumbra.Russian.ini". When the last dot lies in a folder name, or there is none,
// the whole name is kept before the language.
std::string companion_file_name(std::string_view main_file, std::string_view language);

// Turns the bytes of a settings file into text: UTF-16 little-endian after an FF FE mark,
// otherwise UTF-8 with a Windows-1252 fallback. An odd byte at the end of UTF-16 text is not
// part of any character and is dropped.
std::u16string decode_settings_bytes(std::string_view bytes);

// Files larger than this are refused before reading: their text would be far longer than
// any settings text that can be searched, so reading them only costs memory.
constexpr std::size_t max_settings_file_bytes = 1 << 20;

enum class ReadStatus {
    Read,
    Missing, // Could not be opened.
    Short, // The read returned fewer bytes than the file holds.
    TooLarge, // Over max_settings_file_bytes.
};

struct SettingsFileContent {
    ReadStatus status { ReadStatus::Missing };
    std::u16string text; // Empty unless status is Read.
};

SettingsFileContent read_settings_file(const std::string& path);

} // namespace lumbra
