#include "common/base/NativeFile.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace corvane {

std::size_t write_fully(int fd, const void* bytes, std::size_t size)
{
    std::size_t total = 0;
    while (total < size) {
        ssize_t n = ::write(fd, static_cast<const char*>(bytes) + total, size - total);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        total += static_cast<std::size_t>(n);
    }
    return total;
}

std::optional<std::string> read_native_file(const std::string& path)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::string content;
    char chunk[4096];
    for (;;) {
        ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0)
            break;
        content.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return content;
}

bool write_native_file_atomically(
    const std::string& target, const void* bytes, std::size_t size, bool private_file)
{
    static std::atomic<unsigned> s_counter { 0 };
    std::string temp
        = target + ".tmp" + std::to_string(getpid()) + "." + std::to_string(s_counter.fetch_add(1));
    int fd
        = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, private_file ? 0600 : 0644);
    if (fd < 0)
        return false;
    bool ok = write_fully(fd, bytes, size) == size && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (!ok || ::rename(temp.c_str(), target.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

} // namespace corvane
