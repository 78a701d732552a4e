#pragma once

#include "common/base/NativeFile.h"
#include "common/base/Text.h"
#include "device/core/SharedBuffer.h"

#include <cstdint>
#include <optional>
#include <string>

namespace corvane {

enum class FileMode {
    Read = 0, // open an existing file for reading
    Write = 1, // create or truncate for writing
    Append = 2, // open or create for writing, positioned at the end
    ReadWrite = 3, // open or create for reading and writing
};

// One open file; the path goes through expand_path. Every operation on a file that is not
// open answers 0 or false. Not thread-safe; not copyable; closes itself when destroyed.
class File {
public:
    File() = default;
    ~File() { close(); }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;

    [[nodiscard]] bool open(WStringView path, FileMode mode);
    bool is_open() const { return m_fd >= 0; }
    std::uint32_t read(void* buffer, std::uint32_t size);
    std::uint32_t write(const void* buffer, std::uint32_t size);
    // Moves relative to the current position; answers the distance moved.
    std::int64_t seek(std::int64_t distance);
    bool seek_to(std::uint64_t position);
    std::uint64_t size() const;
    std::uint64_t position() const;
    void flush();
    void close();

private:
    int m_fd { -1 };
};

// The whole file, or nothing when it cannot be read or is larger than 4 GiB.
std::optional<SharedBuffer> read_whole_file(WStringView path);

// Replaces the file through a temporary file beside it that is flushed to disk and renamed
// over it, so a crash leaves either the old or the new content. `private_file` creates it
// readable by the user only. False leaves the old file untouched.
[[nodiscard]] bool write_file_atomically(
    WStringView path, const void* bytes, std::size_t size, bool private_file = false);

} // namespace corvane
