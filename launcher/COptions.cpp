#include "launcher/COptions.h"

#include "launcher/SettingsFile.h"

namespace lumbra {

namespace {

    bool has_bare_line_feed(std::u16string_view text)
    {
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == u'\n' && (i == 0 || text[i - 1] != u'\r'))
                return true;
        }
        return false;
    }

} // namespace

COptions::COptions(MacroValues macros, std::string language)
    : m_macros(std::move(macros))
    , m_language(std::move(language))
{
}

void COptions::LoadIni(const std::string& file_name)
{
    m_problems.clear();
    m_main = load_text(file_name, true);
    m_language_text = load_text(companion_file_name(file_name, m_language), false);
}

COptions::SettingsText COptions::load_text(const std::string& path, bool required)
{
    SettingsFileContent content = read_settings_file(path);
    switch (content.status) {
    case ReadStatus::Read:
        break;
    case ReadStatus::Missing:
        if (required)
            m_problems.push_back(path + ": cannot be opened; every setting is empty");
        return { u"\r\n\r\n", true };
    case ReadStatus::Short:
        m_problems.push_back(path + ": could not be read completely; its settings are not used");
        return { u"\r\n\r\n", true };
    case ReadStatus::TooLarge:
        m_problems.push_back(path + ": larger than " + std::to_string(max_settings_file_bytes)
            + " bytes; its settings are not used");
        return { u"\r\n\r\n", true };
    }

    SettingsText settings { u"\r\n" + content.text + u"\r\n", true };
    // Positions in a settings text are 16-bit, so the lookup of the original launcher
    // overflowed on longer texts. Say so once instead of failing at every lookup.
    if (settings.text.size() > max_searchable_chars) {
        m_problems.push_back(path + ": " + std::to_string(content.text.size())
            + " characters, more than the " + std::to_string(max_searchable_chars - 4)
            + " a settings file may hold; its settings are not used");
        settings.searchable = false;
        return settings;
    }
    if (has_bare_line_feed(content.text))
        m_problems.push_back(path
            + ": has lines that end in LF alone; only lines ending in "
              "CR LF start a section or a key");
    return settings;
}

std::u16string COptions::look_up(
    const SettingsText& settings, std::u16string_view section, std::u16string_view key) const
{
    if (!settings.searchable)
        return {};
    std::optional<std::u16string> value = find_raw_value(settings.text, section, key);
    if (!value || value->empty())
        return {};
    return replace_macros(*value, m_macros);
}

std::u16string COptions::GetValue(std::u16string_view section, std::u16string_view key) const
{
    std::u16string value = look_up(m_language_text, section, key);
    if (!value.empty())
        return value;
    return look_up(m_main, section, key);
}

} // namespace lumbra
