#include "device/core/Registry.h"

#include "device/platform/Platform.h"

#include <array>
#include <optional>

namespace corvane {

namespace {

    // Splits "ROOT\subkey" into the canonical "ROOT\subkey" the store keeps, or nothing when the
    // path names no known root.
    std::optional<std::u16string> resolve(WStringView key)
    {
        static constexpr std::array<std::u16string_view, 5> roots { u"HKEY_CLASSES_ROOT",
            u"HKEY_CURRENT_CONFIG", u"HKEY_LOCAL_MACHINE", u"HKEY_USERS", u"HKEY_CURRENT_USER" };
        for (auto root : roots) {
            if (!key.starts_with(root))
                continue;
            WStringView subkey = key.substr(root.size());
            if (!subkey.empty())
                subkey.remove_prefix(1);
            return std::u16string(root) + u"\\" + std::u16string(subkey);
        }
        return std::nullopt;
    }

    std::optional<SettingsStore::Value> read_value(WStringView key, WStringView name)
    {
        auto path = resolve(key);
        if (!path || !platform_settings().ensure_key(*path))
            return std::nullopt;
        return platform_settings().read(*path, std::u16string(name));
    }

    bool write_value(WStringView key, WStringView name, const SettingsStore::Value& value)
    {
        auto path = resolve(key);
        return path && platform_settings().write(*path, std::u16string(name), value);
    }

} // namespace

bool reg_read_string(WStringView key, WStringView name, WString& out)
{
    auto value = read_value(key, name);
    if (!value)
        return false;
    const auto* text = std::get_if<std::u16string>(&*value);
    if (!text)
        return false;
    // Stored text ends at its first zero character, as the program wrote it.
    out = text->substr(0, text->find(u'\0'));
    return true;
}

bool reg_write_string(WStringView key, WStringView name, WStringView text)
{
    return write_value(key, name, std::u16string(text));
}

bool reg_read_dword(WStringView key, WStringView name, std::uint32_t& out)
{
    auto value = read_value(key, name);
    if (!value)
        return false;
    const auto* number = std::get_if<std::uint32_t>(&*value);
    if (!number)
        return false;
    out = *number;
    return true;
}

bool reg_write_dword(WStringView key, WStringView name, std::uint32_t value)
{
    return write_value(key, name, value);
}

} // namespace corvane
