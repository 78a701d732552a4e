#include "device/skin/lang/DeviceLanguage.h"

#include <cstdlib>

namespace corvane {

namespace {

    struct LanguageEntry {
        std::uint32_t primary;
        const char* name;
        const char* iso; // the ISO 639-1 code locales use; "" when locales have none
    };

    // Primary language numbers as the platform's language constants give them.
    const LanguageEntry languages[] = {
        { 1, "ARABIC", "ar" },
        { 2, "BULGARIAN", "bg" },
        { 3, "CATALAN", "ca" },
        { 4, "CHINESE", "zh" },
        { 5, "CZECH", "cs" },
        { 6, "DANISH", "da" },
        { 7, "GERMAN", "de" },
        { 8, "GREEK", "el" },
        { 9, "ENGLISH", "en" },
        { 10, "SPANISH", "es" },
        { 11, "FINNISH", "fi" },
        { 12, "FRENCH", "fr" },
        { 13, "HEBREW", "he" },
        { 14, "HUNGARIAN", "hu" },
        { 15, "ICELANDIC", "is" },
        { 16, "ITALIAN", "it" },
        { 17, "JAPANESE", "ja" },
        { 18, "KOREAN", "ko" },
        { 19, "DUTCH", "nl" },
        { 20, "NORWEGIAN", "no" },
        { 21, "POLISH", "pl" },
        { 22, "PORTUGUESE", "pt" },
        { 24, "ROMANIAN", "ro" },
        { 25, "RUSSIAN", "ru" },
        { 26, "CROATIAN", "hr" },
        { 27, "SLOVAK", "sk" },
        { 28, "ALBANIAN", "sq" },
        { 29, "SWEDISH", "sv" },
        { 30, "THAI", "th" },
        { 31, "TURKISH", "tr" },
        { 32, "URDU", "ur" },
        { 33, "INDONESIAN", "id" },
        { 34, "UKRAINIAN", "uk" },
        { 35, "BYELORUSSIAN", "be" },
        { 36, "SLOVENIAN", "sl" },
        { 37, "ESTONIAN", "et" },
        { 38, "LATVIAN", "lv" },
        { 39, "LITHUANIAN", "lt" },
        { 41, "PERSIAN", "fa" },
        { 42, "VIETNAMESE", "vi" },
        { 43, "ARMENIAN", "hy" },
        { 44, "AZERBAIJANI", "az" },
        { 45, "BASQUE", "eu" },
        { 47, "MACEDONIAN", "mk" },
        { 54, "AFRIKAANS", "af" },
        { 55, "GEORGIAN", "ka" },
        { 56, "FAROESE", "fo" },
        { 57, "HINDI", "hi" },
        { 62, "MALAY", "ms" },
        { 63, "KAZAKH", "kk" },
        { 65, "SWAHILI", "sw" },
        { 67, "UZBEK", "uz" },
        { 68, "TATAR", "tt" },
        { 69, "BENGALI", "bn" },
        { 70, "PUNJABI", "pa" },
        { 71, "GUJARATI", "gu" },
        { 72, "ORIYA", "or" },
        { 73, "TAMIL", "ta" },
        { 74, "TELUGU", "te" },
        { 75, "KANNADA", "kn" },
        { 76, "MALAYALAM", "ml" },
        { 77, "ASSAMESE", "as" },
        { 78, "MARATHI", "mr" },
        { 79, "SANSKRIT", "sa" },
        { 89, "SINDHI", "sd" },
        { 96, "KASHMIRI", "ks" },
        { 97, "NEPALI", "ne" },
    };

    // Locale codes that share a primary language with another code.
    const struct {
        const char* iso;
        std::uint32_t primary;
    } aliases[] = {
        { "nb", 20 },
        { "nn", 20 },
        { "sr", 26 },
        { "bs", 26 },
        { "iw", 13 },
        { "in", 33 },
    };

    const char* messages_locale()
    {
        for (const char* variable : { "LC_ALL", "LC_MESSAGES", "LANG" }) {
            const char* value = std::getenv(variable);
            if (value && *value)
                return value;
        }
        return "";
    }

} // namespace

std::uint32_t primary_language_of_locale(std::string_view locale)
{
    // "ll_CC.codeset@modifier": only the language part counts.
    std::size_t end = locale.find_first_of("_.@");
    std::string_view code = locale.substr(0, end);
    if (code.size() < 2 || code.size() > 3)
        return 0;
    std::string lower;
    for (char c : code)
        lower.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
    for (const LanguageEntry& entry : languages) {
        if (lower == entry.iso)
            return entry.primary;
    }
    for (const auto& alias : aliases) {
        if (lower == alias.iso)
            return alias.primary;
    }
    return 0;
}

WString primary_language_name(std::uint32_t primary)
{
    if (primary > 98)
        return {};
    for (const LanguageEntry& entry : languages) {
        if (entry.primary == primary)
            return narrow_to_wide(entry.name);
    }
    return {};
}

WString device_language_name()
{
    return primary_language_name(primary_language_of_locale(messages_locale()) & 0x3FF);
}

} // namespace corvane
