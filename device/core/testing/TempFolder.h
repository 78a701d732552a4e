#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <sys/stat.h>

namespace corvane::test {

// A private folder under /tmp for one test, removed with everything in it when the test ends.
class TempFolder {
public:
    explicit TempFolder(const std::string& prefix = "corvane-test")
    {
        std::string pattern = "/tmp/" + prefix + "-XXXXXX";
        if (char* made = mkdtemp(pattern.data()))
            m_path = made;
    }
    ~TempFolder()
    {
        std::error_code ignored;
        if (!m_path.empty())
            std::filesystem::remove_all(m_path, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string path() const { return m_path.string(); }
    std::string file(std::string_view name) const { return (m_path / name).string(); }

    // Writes `bytes` to `name` (folders are created), executable when asked; answers the path.
    std::string write(std::string_view name, std::string_view bytes, bool executable = false) const
    {
        std::filesystem::path full = m_path / name;
        std::filesystem::create_directories(full.parent_path());
        std::ofstream(full, std::ios::binary | std::ios::trunc)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (executable)
            chmod(full.c_str(), 0755);
        return full.string();
    }

private:
    std::filesystem::path m_path;
};

// The whole content of a file; empty when it cannot be read.
inline std::string read_file(const std::filesystem::path& path)
{
    std::ostringstream content;
    content << std::ifstream(path, std::ios::binary).rdbuf();
    return content.str();
}

} // namespace corvane::test
