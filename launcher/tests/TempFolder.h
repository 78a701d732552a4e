#pragma once

#include "launcher/Text.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <sys/stat.h>

namespace lumbra::test {

// A fresh folder under $TMPDIR, removed with everything in it when the object goes.
class TempFolder {
public:
    TempFolder()
    {
        const char* base = std::getenv("TMPDIR");
        m_path = std::string(base && *base ? base : "/tmp") + "/lumbra-test-XXXXXX";
        if (!mkdtemp(m_path.data()))
            throw std::runtime_error("mkdtemp failed");
    }
    ~TempFolder()
    {
        std::error_code error;
        std::filesystem::remove_all(m_path, error);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return m_path; }
    std::string file(std::string_view name) const { return m_path + "/" + std::string(name); }

    // Writes `bytes` to `name` (folders are created), executable when asked; answers the path.
    std::string write(std::string_view name, std::string_view bytes, bool executable = false) const
    {
        std::string full = file(name);
        std::filesystem::create_directories(std::filesystem::path(full).parent_path());
        std::ofstream(full, std::ios::binary | std::ios::trunc)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (executable)
            chmod(full.c_str(), 0755);
        return full;
    }
    std::string write_executable(std::string_view name, std::string_view bytes) const
    {
        return write(name, bytes, true);
    }

private:
    std::string m_path;
};

// Settings text with "\n" line ends turned into CR LF, as the launcher's files need.
inline std::string crlf(std::string_view text)
{
    std::string out;
    for (char c : text)
        out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

// `utf8` as UTF-16LE bytes after an FF FE mark.
inline std::string utf16le_with_mark(std::string_view utf8)
{
    std::string out = "\xFF\xFE";
    for (char16_t c : from_utf8(utf8)) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
    return out;
}

inline std::string read_file(const std::string& path)
{
    std::ostringstream content;
    content << std::ifstream(path, std::ios::binary).rdbuf();
    return content.str();
}

} // namespace lumbra::test
