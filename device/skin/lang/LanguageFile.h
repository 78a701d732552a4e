#pragma once

#include "common/base/Text.h"
#include "device/skin/skin/Properties.h"

#include <cstddef>
#include <cstdint>

namespace corvane {

// Language files: "key=text" lines. A file of even size that starts with FF FE is UTF-16LE,
// anything else is read byte by byte (Latin-1). Keys end at white space or "="; the text runs
// unchanged to the end of the line; a later line with the same key wins.
Properties::LanguageTable parse_language_text(const std::uint8_t* bytes, std::size_t size);
Properties::LanguageTable parse_language_text(WStringView text);

// Reads and parses the file; on success replaces the language table of `properties` and
// remembers the file (its expanded path). An unreadable file answers false and changes nothing.
[[nodiscard]] bool load_language_file(Properties& properties, WStringView path);

// The table's text for the key, or the key itself when there is none.
WString translate(const Properties& properties, WStringView key);

} // namespace corvane
