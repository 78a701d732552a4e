#include "bench/load/ProcessProbes.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace corvane::load {

namespace {

    struct Stat {
        std::string name;
        pid_t parent { 0 };
        double own { 0 }; // utime + stime
        double children { 0 }; // cutime + cstime
    };

    bool read_stat(pid_t pid, Stat& stat)
    {
        std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
        std::string text((std::istreambuf_iterator<char>(file)), {});
        // The name sits in parentheses and may itself hold spaces or parentheses.
        std::size_t open = text.find('('), close = text.rfind(')');
        if (open == std::string::npos || close == std::string::npos || close < open
            || close + 2 > text.size())
            return false;
        stat.name = text.substr(open + 1, close - open - 1);
        std::istringstream fields(text.substr(close + 2));
        std::vector<std::string> values;
        for (std::string field; values.size() < 15 && fields >> field;)
            values.push_back(field);
        if (values.size() < 15)
            return false;
        double tick = double(::sysconf(_SC_CLK_TCK));
        stat.parent = pid_t(std::atol(values[1].c_str()));
        stat.own = (std::atof(values[11].c_str()) + std::atof(values[12].c_str())) / tick;
        stat.children = (std::atof(values[13].c_str()) + std::atof(values[14].c_str())) / tick;
        return true;
    }

} // namespace

double cpu_seconds(pid_t pid)
{
    Stat stat;
    return read_stat(pid, stat) ? stat.own : 0;
}

double own_cpu_seconds()
{
    rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long rss_kb(pid_t pid)
{
    std::ifstream file("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(file, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return 0;
}

pid_t parent_of(pid_t pid)
{
    Stat stat;
    return read_stat(pid, stat) ? stat.parent : 0;
}

double server_tree_cpu_seconds(pid_t server)
{
    Stat stat;
    if (!read_stat(server, stat))
        return 0;
    double total = stat.own + stat.children;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        pid_t pid = pid_t(std::atol(entry.path().filename().c_str()));
        Stat child;
        if (pid > 0 && read_stat(pid, child) && child.parent == server)
            total += child.own;
    }
    return total;
}

} // namespace corvane::load
