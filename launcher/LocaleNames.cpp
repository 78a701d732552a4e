#include "launcher/LocaleNames.h"

#include <array>

namespace lumbra {

namespace {

    struct Territory {
        std::string_view code;
        std::string_view abbreviation;
    };

    struct Language {
        std::string_view code;
        std::string_view english_name;
        std::string_view abbreviation; // For the language's main region.
        std::array<Territory, 6> others; // Regions with their own abbreviation.
    };

    // The abbreviations Windows uses for these languages and regions.
    constexpr std::array<Language, 42> s_languages { {
        { "ar", "Arabic", "ARA", {} },
        { "be", "Belarusian", "BEL", {} },
        { "bg", "Bulgarian", "BGR", {} },
        { "ca", "Catalan", "CAT", {} },
        { "cs", "Czech", "CSY", {} },
        { "da", "Danish", "DAN", {} },
        { "de", "German", "DEU",
            { { { "AT", "DEA" }, { "CH", "DES" }, { "LU", "DEL" }, { "LI", "DEC" } } } },
        { "el", "Greek", "ELL", {} },
        { "en", "English", "ENU",
            { { { "GB", "ENG" }, { "AU", "ENA" }, { "CA", "ENC" }, { "NZ", "ENZ" }, { "IE", "ENI" },
                { "ZA", "ENS" } } } },
        { "es", "Spanish", "ESN", { { { "MX", "ESM" }, { "AR", "ESS" } } } },
        { "et", "Estonian", "ETI", {} },
        { "eu", "Basque", "EUQ", {} },
        { "fa", "Persian", "FAR", {} },
        { "fi", "Finnish", "FIN", {} },
        { "fr", "French", "FRA",
            { { { "BE", "FRB" }, { "CA", "FRC" }, { "CH", "FRS" }, { "LU", "FRL" } } } },
        { "he", "Hebrew", "HEB", {} },
        { "hi", "Hindi", "HIN", {} },
        { "hr", "Croatian", "HRV", {} },
        { "hu", "Hungarian", "HUN", {} },
        { "id", "Indonesian", "IND", {} },
        { "is", "Icelandic", "ISL", {} },
        { "it", "Italian", "ITA", { { { "CH", "ITS" } } } },
        { "ja", "Japanese", "JPN", {} },
        { "kk", "Kazakh", "KKZ", {} },
        { "ko", "Korean", "KOR", {} },
        { "lt", "Lithuanian", "LTH", {} },
        { "lv", "Latvian", "LVI", {} },
        { "nb", "Norwegian", "NOR", {} },
        { "nl", "Dutch", "NLD", { { { "BE", "NLB" } } } },
        { "pl", "Polish", "PLK", {} },
        { "pt", "Portuguese", "PTB", { { { "PT", "PTG" } } } },
        { "ro", "Romanian", "ROM", {} },
        { "ru", "Russian", "RUS", {} },
        { "sk", "Slovak", "SKY", {} },
        { "sl", "Slovenian", "SLV", {} },
        { "sr", "Serbian", "SRL", {} },
        { "sv", "Swedish", "SVE", { { { "FI", "SVF" } } } },
        { "th", "Thai", "THA", {} },
        { "tr", "Turkish", "TRK", {} },
        { "uk", "Ukrainian", "UKR", {} },
        { "vi", "Vietnamese", "VIT", {} },
        { "zh", "Chinese", "CHS", { { { "TW", "CHT" }, { "HK", "ZHH" }, { "SG", "ZHI" } } } },
    } };

} // namespace

LanguageNames language_for_locale(std::string_view locale)
{
    std::string_view name = locale.substr(0, locale.find_first_of(".@"));
    std::size_t underscore = name.find('_');
    std::string_view code = name.substr(0, underscore);
    std::string_view territory
        = underscore == std::string_view::npos ? std::string_view() : name.substr(underscore + 1);
    if (code == "no" || code == "nn")
        code = "nb";

    for (const Language& language : s_languages) {
        if (language.code != code)
            continue;
        std::string_view abbreviation = language.abbreviation;
        for (const Territory& other : language.others) {
            if (!other.code.empty() && other.code == territory)
                abbreviation = other.abbreviation;
        }
        return { std::string(language.english_name), std::string(abbreviation) };
    }
    return { "English", "ENU" };
}

std::string messages_locale(const char* lc_all, const char* lc_messages, const char* lang)
{
    for (const char* value : { lc_all, lc_messages, lang }) {
        if (value && *value)
            return value;
    }
    return {};
}

} // namespace lumbra
