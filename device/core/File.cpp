#include "device/core/File.h"

#include "device/core/Paths.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane {

File::File(File&& other) noexcept
    : m_fd(other.m_fd)
{
    other.m_fd = -1;
}

File& File::operator=(File&& other) noexcept
{
    if (this != &other) {
        close();
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

bool File::open(WStringView path, FileMode mode)
{
    close();
    std::string name = native_path(path);
    int flags = O_CLOEXEC;
    switch (mode) {
    case FileMode::Read:
        flags |= O_RDONLY;
        break;
    case FileMode::Write:
        flags |= O_WRONLY | O_CREAT | O_TRUNC;
        break;
    case FileMode::Append:
        flags |= O_WRONLY | O_CREAT;
        break;
    default:
        flags |= O_RDWR | O_CREAT;
    }
    int fd;
    do {
        fd = ::open(name.c_str(), flags, 0644);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return false;
    struct stat st { };
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    if (mode == FileMode::Append && lseek(m_fd, 0, SEEK_END) < 0) {
        close();
        return false;
    }
    return true;
}

std::uint32_t File::read(void* buffer, std::uint32_t size)
{
    if (!is_open() || size == 0)
        return 0;
    std::uint32_t total = 0;
    while (total < size) {
        ssize_t n = ::read(m_fd, static_cast<char*>(buffer) + total, size - total);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        total += static_cast<std::uint32_t>(n);
    }
    return total;
}

std::uint32_t File::write(const void* buffer, std::uint32_t size)
{
    if (!is_open() || size == 0)
        return 0;
    return static_cast<std::uint32_t>(write_fully(m_fd, buffer, size));
}

std::int64_t File::seek(std::int64_t distance)
{
    if (!is_open())
        return 0;
    off_t before = lseek(m_fd, 0, SEEK_CUR);
    off_t after = lseek(m_fd, static_cast<off_t>(distance), SEEK_CUR);
    if (before < 0 || after < 0)
        return 0;
    return after - before;
}

bool File::seek_to(std::uint64_t position)
{
    return is_open() && lseek(m_fd, static_cast<off_t>(position), SEEK_SET) >= 0;
}

std::uint64_t File::size() const
{
    struct stat st { };
    if (!is_open() || fstat(m_fd, &st) != 0)
        return 0;
    return static_cast<std::uint64_t>(st.st_size);
}

std::uint64_t File::position() const
{
    if (!is_open())
        return 0;
    off_t at = lseek(m_fd, 0, SEEK_CUR);
    return at < 0 ? 0 : static_cast<std::uint64_t>(at);
}

void File::flush()
{
    if (is_open())
        ::fdatasync(m_fd);
}

void File::close()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

std::optional<SharedBuffer> read_whole_file(WStringView path)
{
    File file;
    if (!file.open(path, FileMode::Read))
        return std::nullopt;
    std::uint64_t size = file.size();
    if (size > 0xFFFFFFFFull)
        return std::nullopt;
    SharedBuffer buffer(static_cast<std::uint32_t>(size));
    if (file.read(buffer.writable_bytes(), buffer.size()) != buffer.size())
        return std::nullopt;
    return buffer;
}

bool write_file_atomically(WStringView path, const void* bytes, std::size_t size, bool private_file)
{
    return write_native_file_atomically(native_path(path), bytes, size, private_file);
}

} // namespace corvane
