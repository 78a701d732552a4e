#pragma once

#include <string>
#include <string_view>

namespace lumbra::test {

// A fresh folder under $TMPDIR, removed with everything in it when the object goes.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return m_path; }
    std::string file(std::string_view name) const { return m_path + "/" + std::string(name); }

    // Writes `bytes` to `name` (folders are created); returns the full path.
    std::string write(std::string_view name, std::string_view bytes) const;
    // Same, then makes the file executable.
    std::string write_executable(std::string_view name, std::string_view bytes) const;

private:
    std::string m_path;
};

// Settings text with "\n" line ends turned into CR LF, as the launcher's files need.
std::string crlf(std::string_view text);

// `text` (ASCII or UTF-8) as UTF-16LE bytes after an FF FE mark.
std::string utf16le_with_mark(std::string_view utf8);

std::string read_file(const std::string& path);

} // namespace lumbra::test
