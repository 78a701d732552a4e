#include "server/ServerLog.h"

#include <cstdio>
#include <ctime>
#include <mutex>

namespace corvane::server {

static std::mutex s_lock;
static std::FILE* s_file = nullptr;
static bool s_quiet = false;

void log_line(std::string_view line)
{
    std::time_t now = std::time(nullptr);
    std::tm parts {};
    gmtime_r(&now, &parts);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ ", &parts);
    std::lock_guard lock(s_lock);
    std::FILE* out = s_file ? s_file : stderr;
    std::fputs(stamp, out);
    std::fwrite(line.data(), 1, line.size(), out);
    std::fputc('\n', out);
    std::fflush(out);
}

bool set_log_file(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "a");
    if (!file)
        return false;
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
