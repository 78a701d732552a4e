#include "launcher/RegistryStore.h"

#include "launcher/Text.h"

#include <charconv>
#include <fstream>
#include <sstream>

namespace lumbra {

namespace {

    std::u16string folded_name(std::u16string_view text)
    {
        std::u16string out(text);
        for (char16_t& c : out)
            c = fold_case(c);
        return out;
    }

    // A key named with a trailing backslash is the same key as without it.
    std::u16string folded_key(std::u16string_view text)
    {
        std::u16string out = folded_name(text);
        while (!out.empty() && out.back() == u'\\')
            out.pop_back();
        return out;
    }

    std::string_view trimmed(std::string_view line)
    {
        std::size_t start = line.find_first_not_of(" \t\r");
        if (start == std::string_view::npos)
            return {};
        std::size_t end = line.find_last_not_of(" \t\r");
        return line.substr(start, end - start + 1);
    }

    // Reads a quoted string at the start of `text`; on success `text` is left after the closing
    // quote.
    std::optional<std::string> take_quoted(std::string_view& text)
    {
        if (text.empty() || text[0] != '"')
            return std::nullopt;
        std::string out;
        for (std::size_t i = 1; i < text.size(); ++i) {
            char c = text[i];
            if (c == '"') {
                text.remove_prefix(i + 1);
                return out;
            }
            if (c == '\\' && i + 1 < text.size() && (text[i + 1] == '\\' || text[i + 1] == '"'))
                c = text[++i];
            out.push_back(c);
        }
        return std::nullopt;
    }

} // namespace

RegistryStore RegistryStore::load(const std::string& path, std::vector<std::string>& problems)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return {};
    std::ostringstream content;
    content << file.rdbuf();
    return parse(content.str(), path, problems);
}

RegistryStore RegistryStore::parse(
    std::string_view text, std::string_view origin, std::vector<std::string>& problems)
{
    RegistryStore store;
    std::map<std::u16string, Value>* key = nullptr;
    int line_number = 0;
    auto complain = [&](std::string_view what) {
        problems.push_back(
            std::string(origin) + ":" + std::to_string(line_number) + ": " + std::string(what));
    };

    while (!text.empty()) {
        std::size_t newline = text.find('\n');
        std::string_view line = trimmed(text.substr(0, newline));
        text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
        ++line_number;
        if (line.empty() || line[0] == ';' || line[0] == '#'
            || line.starts_with("Windows Registry Editor"))
            continue;

        if (line[0] == '[') {
            if (line.back() != ']' || line.size() < 3) {
                complain("a key line must look like [HKEY_...\\path]");
                key = nullptr;
                continue;
            }
            key = &store.m_keys[folded_key(from_utf8(line.substr(1, line.size() - 2)))];
            continue;
        }
        if (!key) {
            complain("value outside a key");
            continue;
        }

        std::string name;
        std::string_view rest = line;
        if (rest[0] == '@') {
            rest.remove_prefix(1);
        } else if (std::optional<std::string> quoted = take_quoted(rest)) {
            name = *quoted;
        } else {
            complain("a value name must be quoted or @");
            continue;
        }
        rest = trimmed(rest);
        if (rest.empty() || rest[0] != '=') {
            complain("expected = after the value name");
            continue;
        }
        rest = trimmed(rest.substr(1));

        if (rest.starts_with("dword:")) {
            std::string_view digits = rest.substr(6);
            std::uint32_t number = 0;
            auto [end, error]
                = std::from_chars(digits.data(), digits.data() + digits.size(), number, 16);
            if (error != std::errc() || end != digits.data() + digits.size() || digits.size() > 8) {
                complain("dword values are up to eight hexadecimal digits");
                continue;
            }
            (*key)[folded_name(from_utf8(name))] = number;
            continue;
        }
        std::optional<std::string> value = take_quoted(rest);
        if (!value || !trimmed(rest).empty()) {
            complain("a string value must be one quoted text");
            continue;
        }
        (*key)[folded_name(from_utf8(name))] = from_utf8(*value);
    }
    return store;
}

const RegistryStore::Value* RegistryStore::find(
    std::u16string_view key_path, std::u16string_view name) const
{
    auto key = m_keys.find(folded_key(key_path));
    if (key == m_keys.end())
        return nullptr;
    auto value = key->second.find(folded_name(name));
    return value == key->second.end() ? nullptr : &value->second;
}

std::optional<std::u16string> RegistryStore::read_string(
    std::u16string_view key_path, std::u16string_view name) const
{
    const Value* value = find(key_path, name);
    if (!value || !std::holds_alternative<std::u16string>(*value))
        return std::nullopt;
    return std::get<std::u16string>(*value);
}

std::optional<std::uint32_t> RegistryStore::read_dword(
    std::u16string_view key_path, std::u16string_view name) const
{
    const Value* value = find(key_path, name);
    if (!value || !std::holds_alternative<std::uint32_t>(*value))
        return std::nullopt;
    return std::get<std::uint32_t>(*value);
}

std::string registry_file_path(
    const char* lumbra_registry, const char* xdg_config_home, const char* home)
{
    if (lumbra_registry && *lumbra_registry)
        return lumbra_registry;
    if (xdg_config_home && *xdg_config_home == '/')
        return std::string(xdg_config_home) + "/lumbra/registry.reg";
    if (home && *home)
        return std::string(home) + "/.config/lumbra/registry.reg";
    return {};
}

} // namespace lumbra
