#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

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

    std::string file(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

} // namespace corvane::test
