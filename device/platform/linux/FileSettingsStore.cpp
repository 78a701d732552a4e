#include "device/platform/linux/FileSettingsStore.h"

#include "common/base/NativeFile.h"
#include "common/base/Text.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane {

namespace {

    std::u16string lower(const std::u16string& text)
    {
        return ascii_lower(text);
    }

    std::string quote(const std::string& text)
    {
        std::string out = "\"";
        for (char c : text) {
            switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
            }
        }
        return out + "\"";
    }

    // Reads a quoted string starting at text[pos] == '"'; answers the position after the closing
    // quote, or npos when the string is not closed.
    std::size_t unquote(const std::string& text, std::size_t pos, std::string& out)
    {
        out.clear();
        for (std::size_t i = pos + 1; i < text.size(); ++i) {
            char c = text[i];
            if (c == '"')
                return i + 1;
            if (c == '\\') {
                if (++i >= text.size())
                    return std::string::npos;
                char e = text[i];
                out += e == 'n' ? '\n' : e == 'r' ? '\r' : e;
                continue;
            }
            out += c;
        }
        return std::string::npos;
    }

    bool mkdirs(const std::string& folder)
    {
        if (folder.empty())
            return true;
        struct stat st { };
        if (stat(folder.c_str(), &st) == 0)
            return S_ISDIR(st.st_mode);
        std::size_t slash = folder.find_last_of('/');
        if (slash != std::string::npos && slash > 0 && !mkdirs(folder.substr(0, slash)))
            return false;
        return mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
    }

} // namespace

FileSettingsStore::FileSettingsStore(std::string path, std::chrono::milliseconds recheck)
    : m_path(std::move(path))
    , m_recheck(recheck)
{
}

std::string FileSettingsStore::default_path()
{
    if (const char* env = std::getenv("CORVANE_REGISTRY"); env && *env)
        return env;
    std::string base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = std::string(home) + "/.config";
    else
        base = "/tmp";
    return base + "/corvane/registry.txt";
}

void FileSettingsStore::reload_if_changed()
{
    auto now = std::chrono::steady_clock::now();
    if (m_loaded && m_recheck.count() > 0 && now - m_checked < m_recheck)
        return;
    m_checked = now;
    FileStamp stamp;
    struct stat st { };
    if (stat(m_path.c_str(), &st) == 0) {
        stamp.exists = true;
        stamp.device = st.st_dev;
        stamp.inode = st.st_ino;
        stamp.size = st.st_size;
        stamp.mtime_ns
            = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    }
    if (m_loaded && stamp == m_stamp)
        return;
    m_loaded = true;
    m_stamp = stamp;
    m_keys.clear();
    if (!stamp.exists)
        return;

    std::optional<std::string> content = read_native_file(m_path);
    if (!content)
        return;

    std::istringstream lines(*content);
    std::string line;
    Key* current = nullptr;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == ';' || line[0] == '#')
            continue;
        if (line[0] == '[') {
            current = nullptr;
            if (line.size() < 2 || line.back() != ']')
                continue;
            std::u16string path = from_utf8(line.substr(1, line.size() - 2));
            Key& key = m_keys[lower(path)];
            key.path = path;
            current = &key;
            continue;
        }
        if (!current || line[0] != '"')
            continue;
        std::string name;
        std::size_t after = unquote(line, 0, name);
        if (after == std::string::npos || after >= line.size() || line[after] != '=')
            continue;
        std::string rest = line.substr(after + 1);
        Entry entry;
        entry.name = from_utf8(name);
        if (rest.rfind("dword:", 0) == 0) {
            std::string digits = rest.substr(6);
            if (digits.empty() || digits.size() > 8
                || digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
                continue;
            entry.value = static_cast<std::uint32_t>(std::strtoul(digits.c_str(), nullptr, 16));
        } else if (!rest.empty() && rest[0] == '"') {
            std::string text;
            std::size_t end = unquote(rest, 0, text);
            if (end != rest.size())
                continue;
            entry.value = from_utf8(text);
        } else {
            continue;
        }
        current->values[lower(entry.name)] = std::move(entry);
    }
}

bool FileSettingsStore::save()
{
    std::string out = "; Corvane settings. Written by the program; edit while it is not running.\n";
    for (const auto& [_, key] : m_keys) {
        out += "\n[" + to_utf8(key.path) + "]\n";
        for (const auto& [__, entry] : key.values) {
            out += quote(to_utf8(entry.name)) + "=";
            if (const auto* number = std::get_if<std::uint32_t>(&entry.value)) {
                char hex[16];
                std::snprintf(hex, sizeof hex, "dword:%08x", *number);
                out += hex;
            } else {
                out += quote(to_utf8(std::get<std::u16string>(entry.value)));
            }
            out += "\n";
        }
    }

    std::size_t slash = m_path.find_last_of('/');
    if (slash != std::string::npos && !mkdirs(m_path.substr(0, slash)))
        return false;
    // Only the user reads the settings: they may hold a login key.
    if (!write_native_file_atomically(m_path, out.data(), out.size(), true))
        return false;
    m_loaded = false; // pick up the new stamp on the next read
    return true;
}

bool FileSettingsStore::ensure_key(const std::u16string& key)
{
    std::lock_guard lock(m_mutex);
    reload_if_changed();
    if (m_keys.contains(lower(key)))
        return true;
    Key& created = m_keys[lower(key)];
    created.path = key;
    return save();
}

std::optional<SettingsStore::Value> FileSettingsStore::read(
    const std::u16string& key, const std::u16string& name)
{
    std::lock_guard lock(m_mutex);
    reload_if_changed();
    auto k = m_keys.find(lower(key));
    if (k == m_keys.end())
        return std::nullopt;
    auto v = k->second.values.find(lower(name));
    if (v == k->second.values.end())
        return std::nullopt;
    return v->second.value;
}

bool FileSettingsStore::write(
    const std::u16string& key, const std::u16string& name, const Value& value)
{
    std::lock_guard lock(m_mutex);
    reload_if_changed();
    Key& k = m_keys[lower(key)];
    if (k.path.empty())
        k.path = key;
    Entry& entry = k.values[lower(name)];
    entry.name = name;
    entry.value = value;
    return save();
}

} // namespace corvane
