#pragma once

#include "common/base/Text.h"

#include <cstdint>
#include <string_view>

namespace corvane {

// The user's language as a name in capitals ("ENGLISH", "RUSSIAN"), taken from the locale of
// the messages category (LC_ALL, then LC_MESSAGES, then LANG); empty when the locale names
// no language of the table. Language files named that way are found without regard to case.
WString device_language_name();

// The primary language number (1 Arabic ... 97 Nepali; 0 none) of a locale name such as
// "ru_RU.UTF-8"; and the capitalised name of a primary language number (empty when the table
// has none for it or the number is above 98).
std::uint32_t primary_language_of_locale(std::string_view locale);
WString primary_language_name(std::uint32_t primary);

} // namespace corvane
