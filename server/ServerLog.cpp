#include "server/ServerLog.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>

namespace corvane::server {

static std::mutex s_lock;
static std::FILE* s_file = nullptr;
static bool s_quiet = false;

std::string log_safe(std::string_view text, std::size_t limit)
{
    static constexpr char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(std::min(text.size(), limit));
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        bool control = byte < 0x20 || byte == 0x7F;
        if (out.size() + (control ? 4 : 1) > limit) {
            out += "...";
            break;
        }
        if (control) {
            out += "\\x";
            out.push_back(digits[byte >> 4]);
            out.push_back(digits[byte & 15]);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

static void write_line(std::string_view line, std::string_view block)
{
    std::time_t now = std::time(nullptr);
    std::tm parts {};
    gmtime_r(&now, &parts);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ ", &parts);
    std::string text = stamp + log_safe(line);
    text.push_back('\n');
    if (!block.empty()) {
        text.append(block);
        text.push_back('\n');
    }
    std::lock_guard lock(s_lock);
    std::FILE* out = s_file ? s_file : stderr;
    std::fwrite(text.data(), 1, text.size(), out);
    std::fflush(out);
}

void log_line(std::string_view line)
{
    write_line(line, {});
}

void log_block(std::string_view line, std::string_view block)
{
    write_line(line, block);
}

bool set_log_file(const std::string& path)
{
    // The log names accounts and addresses: owner-only from the start, whatever the umask.
    int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    std::FILE* file = ::fdopen(fd, "a");
    if (!file) {
        ::close(fd);
        return false;
    }
    std::lock_guard lock(s_lock);
    if (s_file)
        std::fclose(s_file);
    s_file = file;
    return true;
}

void set_log_quiet(bool quiet)
{
    std::lock_guard lock(s_lock);
    s_quiet = quiet;
}

bool is_log_quiet()
{
    std::lock_guard lock(s_lock);
    return s_quiet;
}

} // namespace corvane::server
