#pragma once

#include "launcher/SettingsLookup.h"

#include <string>
#include <string_view>
#include <vector>

namespace lumbra {

// The launcher's settings: "Lumbra.ini" beside the program and its optional per-language
// companion, searched as whole texts. Created once at start-up and read-only afterwards;
// main thread only.
class COptions {
public:
    // `language` is the English name of the system's default language ("Russian"); it names
    // the companion file.
    COptions(MacroValues macros, std::string language);

    COptions(const COptions&) = delete;
    COptions& operator=(const COptions&) = delete;

    // Reads `file_name` and its language companion, replacing both texts. A file that cannot
    // be read counts as empty; what went wrong is listed in problems().
    void LoadIni(const std::string& file_name);

    // The value of `key` in `section`, macros replaced: the language file's value when it is
    // not empty, else the main file's, else empty.
    std::u16string GetValue(std::u16string_view section, std::u16string_view key) const;

    // One line for each thing the last LoadIni found wrong with the files, for the user.
    const std::vector<std::string>& problems() const { return m_problems; }

    const MacroValues& macros() const { return m_macros; }

private:
    struct SettingsText {
        std::u16string text; // With CR LF before and after.
        bool searchable { true };
    };

    SettingsText load_text(const std::string& path, bool required);
    std::u16string look_up(
        const SettingsText& settings, std::u16string_view section, std::u16string_view key) const;

    MacroValues m_macros;
    std::string m_language;
    SettingsText m_main;
    SettingsText m_language_text;
    std::vector<std::string> m_problems;
};

} // namespace lumbra
