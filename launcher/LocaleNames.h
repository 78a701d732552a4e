#pragma once

#include <string>
#include <string_view>

namespace lumbra {

// How Windows names a language: its English name ("Russian") and the three-letter
// abbreviation of the language and region ("RUS", "ENU", "ENG").
struct LanguageNames {
    std::string english_name;
    std::string abbreviation;
};

// Names for a POSIX locale such as "ru_RU.UTF-8" or "de_AT@euro". Unknown languages, "C" and
// "POSIX" are US English.
LanguageNames language_for_locale(std::string_view locale);

// The locale that decides the user's language: LC_ALL, else LC_MESSAGES, else LANG, the first
// that is set and not empty.
std::string messages_locale(const char* lc_all, const char* lc_messages, const char* lang);

} // namespace lumbra
