#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace corvane {

// File access by file-system name (UTF-8), for code below the device's path expansion and for the
// service. Every function is safe to call from any thread.

// Writes until everything is out or the descriptor fails; answers the bytes written.
std::size_t write_fully(int fd, const void* bytes, std::size_t size);

// The whole file, or nothing when it cannot be opened or read to its end.
std::optional<std::string> read_native_file(const std::string& path);

// Replaces the file through a temporary file beside it that is flushed to disk and renamed over
// it, so a crash leaves either the old or the new content. `private_file` creates it readable by
// the user only. False leaves the old file untouched.
[[nodiscard]] bool write_native_file_atomically(
    const std::string& path, const void* bytes, std::size_t size, bool private_file = false);

} // namespace corvane
