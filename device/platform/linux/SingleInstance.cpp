#include "device/platform/linux/SingleInstance.h"

#include "common/base/Text.h"
#include "device/platform/SingleInstance.h"
#include "device/platform/linux/X11InstanceDialogs.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace corvane {

namespace {

    // A record on the socket: magic, identifier, byte count, then the UTF-16LE data. The
    // receiver answers one byte once it has queued the data.
    constexpr std::uint32_t record_magic = 0x57495643; // "CVIW"
    constexpr std::uint32_t max_record_bytes = 1 << 20;
    constexpr char record_received = 'K';

    class FileDescriptor {
    public:
        explicit FileDescriptor(int fd = -1)
            : m_fd(fd)
        {
        }
        ~FileDescriptor() { reset(); }
        FileDescriptor(const FileDescriptor&) = delete;
        FileDescriptor& operator=(const FileDescriptor&) = delete;
        int get() const { return m_fd; }
        bool is_valid() const { return m_fd >= 0; }
        int release()
        {
            int fd = m_fd;
            m_fd = -1;
            return fd;
        }
        void reset(int fd = -1)
        {
            if (m_fd >= 0)
                ::close(m_fd);
            m_fd = fd;
        }

    private:
        int m_fd;
    };

    bool is_private_folder(const std::string& path)
    {
        struct stat info { };
        return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)
            && info.st_uid == ::getuid() && (info.st_mode & 0077) == 0;
    }

    bool fill_address(const std::string& path, sockaddr_un& address)
    {
        std::memset(&address, 0, sizeof address);
        address.sun_family = AF_UNIX;
        if (path.empty() || path.size() >= sizeof address.sun_path)
            return false;
        std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
        return true;
    }

    void set_timeouts(int fd, int seconds)
    {
        timeval timeout { seconds, 0 };
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    }

    bool peer_credentials(int fd, ucred& credentials)
    {
        socklen_t size = sizeof credentials;
        return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) == 0;
    }

    bool write_all(int fd, const void* data, std::size_t size)
    {
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        while (size > 0) {
            ssize_t n = ::send(fd, bytes, size, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            bytes += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }

    bool read_all(int fd, void* data, std::size_t size)
    {
        auto* bytes = static_cast<std::uint8_t*>(data);
        while (size > 0) {
            ssize_t n = ::recv(fd, bytes, size, 0);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            bytes += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }

    class LockFileMutex final : public StartupMutex {
    public:
        explicit LockFileMutex(int fd)
            : m_fd(fd)
        {
        }
        void wait() override
        {
            while (::flock(m_fd.get(), LOCK_EX) != 0 && errno == EINTR) { }
            m_owned = true;
        }
        void release() override
        {
            if (!m_owned)
                return;
            ::flock(m_fd.get(), LOCK_UN);
            m_owned = false;
        }

    private:
        FileDescriptor m_fd; // Closing it also releases the lock, as does the process's end.
        bool m_owned { false };
    };

    class SocketInstanceWindow final : public InstanceWindow {
    public:
        SocketInstanceWindow(int fd, std::int64_t handle, std::u16string class_name)
            : m_fd(fd)
            , m_handle(handle)
            , m_class_name(std::move(class_name))
        {
        }
        std::int64_t handle() const override { return m_handle; }
        const std::u16string& class_name() const override { return m_class_name; }
        std::u16string title(std::size_t) const override { return {}; }
        bool send_copy_data(std::uint32_t identifier, const std::u16string& data) override
        {
            std::vector<std::uint8_t> record;
            auto put32 = [&record](std::uint32_t value) {
                for (int shift = 0; shift < 32; shift += 8)
                    record.push_back(static_cast<std::uint8_t>(value >> shift));
            };
            std::uint32_t bytes = static_cast<std::uint32_t>(data.size() * 2);
            if (bytes > max_record_bytes)
                return false;
            put32(record_magic);
            put32(identifier);
            put32(bytes);
            for (char16_t c : data) {
                record.push_back(static_cast<std::uint8_t>(c & 0xFF));
                record.push_back(static_cast<std::uint8_t>(c >> 8));
            }
            char answer = 0;
            return write_all(m_fd.get(), record.data(), record.size())
                && read_all(m_fd.get(), &answer, 1) && answer == record_received;
        }
        // The instance comes forward itself when it receives a command line.
        bool bring_to_front() override { return false; }

    private:
        FileDescriptor m_fd;
        std::int64_t m_handle;
        std::u16string m_class_name;
    };

    class SocketInstanceListener final : public InstanceListener {
    public:
        SocketInstanceListener(
            int listen_fd, int stop_fd, std::string path, ino_t inode, CopyDataHandler handler)
            : m_listen_fd(listen_fd)
            , m_stop_fd(stop_fd)
            , m_path(std::move(path))
            , m_inode(inode)
            , m_handler(std::move(handler))
        {
            m_thread = std::thread([this] { serve(); });
        }

        ~SocketInstanceListener() override
        {
            std::uint64_t one = 1;
            ssize_t ignored = ::write(m_stop_fd.get(), &one, sizeof one);
            (void)ignored;
            if (m_thread.joinable())
                m_thread.join();
            // Remove the socket only while it is still ours: a later instance may have replaced it.
            struct stat info { };
            if (::lstat(m_path.c_str(), &info) == 0 && info.st_ino == m_inode)
                ::unlink(m_path.c_str());
        }

    private:
        void serve()
        {
            for (;;) {
                pollfd fds[2]
                    = { { m_listen_fd.get(), POLLIN, 0 }, { m_stop_fd.get(), POLLIN, 0 } };
                if (::poll(fds, 2, -1) < 0) {
                    if (errno == EINTR)
                        continue;
                    return;
                }
                if (fds[1].revents != 0)
                    return;
                if ((fds[0].revents & POLLIN) == 0)
                    continue;
                FileDescriptor client(::accept4(m_listen_fd.get(), nullptr, nullptr, SOCK_CLOEXEC));
                if (client.is_valid())
                    receive(client.get());
            }
        }

        // A client that stalls or sends garbage is dropped; it cannot hold the listener for long.
        void receive(int fd)
        {
            ucred credentials {};
            if (!peer_credentials(fd, credentials) || credentials.uid != ::getuid())
                return;
            set_timeouts(fd, 2);
            std::uint8_t header[12];
            if (!read_all(fd, header, sizeof header))
                return;
            auto get32 = [&header](int at) {
                return std::uint32_t(header[at]) | std::uint32_t(header[at + 1]) << 8
                    | std::uint32_t(header[at + 2]) << 16 | std::uint32_t(header[at + 3]) << 24;
            };
            std::uint32_t bytes = get32(8);
            if (get32(0) != record_magic || bytes > max_record_bytes || bytes % 2 != 0)
                return;
            std::vector<std::uint8_t> data(bytes);
            if (bytes > 0 && !read_all(fd, data.data(), bytes))
                return;
            std::u16string text;
            text.reserve(bytes / 2);
            for (std::size_t i = 0; i + 1 < data.size(); i += 2)
                text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
            m_handler(get32(4), std::move(text));
            write_all(fd, &record_received, 1);
        }

        FileDescriptor m_listen_fd;
        FileDescriptor m_stop_fd;
        std::string m_path;
        ino_t m_inode;
        CopyDataHandler m_handler;
        std::thread m_thread;
    };

} // namespace

std::string runtime_folder()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime && is_private_folder(runtime))
        return runtime;
    std::string folder = "/tmp/corvane-" + std::to_string(::getuid());
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return {};
    return is_private_folder(folder) ? folder : std::string();
}

std::string instance_lock_path(const std::u16string& class_name)
{
    std::string folder = runtime_folder();
    return folder.empty() ? std::string() : folder + "/" + to_utf8(class_name);
}

std::string instance_socket_path(const std::u16string& class_name)
{
    std::string folder = runtime_folder();
    return folder.empty() ? std::string() : folder + "/" + to_utf8(class_name) + ".socket";
}

std::unique_ptr<StartupMutex> create_startup_mutex(const std::u16string& name)
{
    std::string path = instance_lock_path(name);
    if (path.empty())
        return nullptr;
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return nullptr;
    return std::make_unique<LockFileMutex>(fd);
}

void enumerate_instance_windows(
    const std::u16string& class_name, const std::function<bool(InstanceWindow&)>& visit)
{
    sockaddr_un address;
    if (!fill_address(instance_socket_path(class_name), address))
        return;
    FileDescriptor fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.is_valid())
        return;
    // A socket file that nobody listens on is what a crashed instance leaves: refused at once.
    int connected;
    do {
        connected
            = ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
    } while (connected != 0 && errno == EINTR);
    if (connected != 0)
        return;
    ucred credentials {};
    if (!peer_credentials(fd.get(), credentials) || credentials.uid != ::getuid())
        return;
    set_timeouts(fd.get(), 5);
    // The connection stays open meanwhile; when a dialog ends the visit, closing it without a
    // record is what the listener drops as an empty client.
    if (!visit_instance_dialogs(credentials.pid, visit))
        return;
    SocketInstanceWindow window(fd.release(), credentials.pid, class_name);
    (void)visit(window);
}

std::unique_ptr<InstanceListener> listen_as_instance_window(
    const std::u16string& class_name, CopyDataHandler handler)
{
    std::string path = instance_socket_path(class_name);
    sockaddr_un address;
    if (!fill_address(path, address))
        return nullptr;
    // Only the holder of the start-up mutex gets here, so a socket file already there belongs
    // to an instance that is gone.
    struct stat info { };
    if (::lstat(path.c_str(), &info) == 0) {
        if (!S_ISSOCK(info.st_mode))
            return nullptr;
        ::unlink(path.c_str());
    }
    FileDescriptor listen_fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    FileDescriptor stop_fd(::eventfd(0, EFD_CLOEXEC));
    if (!listen_fd.is_valid() || !stop_fd.is_valid())
        return nullptr;
    if (::bind(listen_fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return nullptr;
    if (::lstat(path.c_str(), &info) != 0 || ::listen(listen_fd.get(), 8) != 0) {
        ::unlink(path.c_str());
        return nullptr;
    }
    return std::make_unique<SocketInstanceListener>(
        listen_fd.release(), stop_fd.release(), path, info.st_ino, std::move(handler));
}

} // namespace corvane
