#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace lumbra {

// The launcher's stand-in for the Windows registry: a UTF-8 text file in the layout of a
// registry export, read once at start-up and never written.
//
//   [HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion]
//   "ProgramFilesDir"="/opt"
//   [HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\App Paths\CEAPPMGR.EXE]
//   @="/usr/local/bin/ceappmgr"
//
// Key paths and value names compare without regard to case. In quoted text "\\" stands for a
// backslash and "\"" for a quote. Lines starting with ";" or "#" are comments. Not
// thread-safe; the launcher uses it from the main thread only.
class RegistryStore {
public:
    // Reads the file at `path`. A missing file is an empty store; each line that cannot be
    // understood is skipped and described in `problems`.
    static RegistryStore load(const std::string& path, std::vector<std::string>& problems);
    static RegistryStore parse(
        std::string_view text, std::string_view origin, std::vector<std::string>& problems);

    // The empty name reads the key's default value ("@").
    std::optional<std::u16string> read_string(
        std::u16string_view key_path, std::u16string_view name) const;
    std::optional<std::uint32_t> read_dword(
        std::u16string_view key_path, std::u16string_view name) const;

private:
    using Value = std::variant<std::u16string, std::uint32_t>;
    const Value* find(std::u16string_view key_path, std::u16string_view name) const;

    std::map<std::u16string, std::map<std::u16string, Value>> m_keys; // Folded names.
};

// Where the store lives: $LUMBRA_REGISTRY when set, else "lumbra/registry.reg" in the user's
// configuration folder. Empty when no folder can be worked out.
std::string registry_file_path(
    const char* lumbra_registry, const char* xdg_config_home, const char* home);

} // namespace lumbra
