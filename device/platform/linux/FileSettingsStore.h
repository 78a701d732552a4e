#pragma once

#include "device/platform/SettingsStore.h"

#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <sys/types.h>

namespace corvane {

// A settings store kept in one text file, in the style of a .reg export:
//
//     [HKEY_CURRENT_USER\Software\Ulmar]
//     "Log"=dword:00000001
//     "Skin"="default"
//
// Key paths and value names compare without regard to ASCII case, as registry names do.
// The file is re-read when another process changed it, and every write replaces it through a
// temporary file that is flushed and renamed, so a crash never leaves a half-written file.
// Lines that cannot be parsed are skipped (and dropped on the next write). Thread-safe.
class FileSettingsStore final : public SettingsStore {
public:
    // The file is looked at again at most every `recheck` (the log reads a value on every
    // append, so checking the disk each time would dominate); writes through this store are
    // seen at once.
    explicit FileSettingsStore(
        std::string path, std::chrono::milliseconds recheck = std::chrono::milliseconds(50));

    bool ensure_key(const std::u16string& key) override;
    std::optional<Value> read(const std::u16string& key, const std::u16string& name) override;
    bool write(const std::u16string& key, const std::u16string& name, const Value& value) override;

    const std::string& path() const { return m_path; }

    // The file named by $CORVANE_REGISTRY, else $XDG_CONFIG_HOME/corvane/registry.txt, else
    // ~/.config/corvane/registry.txt.
    static std::string default_path();

private:
    struct Entry {
        std::u16string name;
        Value value;
    };
    struct Key {
        std::u16string path;
        std::map<std::u16string, Entry> values; // by lower-cased name
    };

    void reload_if_changed();
    bool save();

    std::string m_path;
    std::mutex m_mutex;
    std::map<std::u16string, Key> m_keys; // by lower-cased path
    struct FileStamp {
        bool exists { false };
        dev_t device { 0 };
        ino_t inode { 0 };
        off_t size { 0 };
        long long mtime_ns { 0 };
        bool operator==(const FileStamp&) const = default;
    } m_stamp;
    bool m_loaded { false };
    std::chrono::milliseconds m_recheck;
    std::chrono::steady_clock::time_point m_checked;
};

} // namespace corvane
