#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

namespace corvane {

// Typed values under textual key paths such as "HKEY_CURRENT_USER\Software\Ulmar".
// Implementations are thread-safe and persist every write before answering.
class SettingsStore {
public:
    using Value = std::variant<std::u16string, std::uint32_t>;

    virtual ~SettingsStore() = default;
    // Makes sure the key exists (opening a key creates it); false when it cannot be created.
    [[nodiscard]] virtual bool ensure_key(const std::u16string& key) = 0;
    virtual std::optional<Value> read(const std::u16string& key, const std::u16string& name) = 0;
    [[nodiscard]] virtual bool write(
        const std::u16string& key, const std::u16string& name, const Value& value)
        = 0;
};

} // namespace corvane
