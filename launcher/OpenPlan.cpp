#include "launcher/OpenPlan.h"

#include "launcher/Paths.h"

#include <filesystem>
#include <unistd.h>

namespace lumbra {

namespace {

    bool is_executable_file(const std::string& path)
    {
        std::error_code error;
        return std::filesystem::is_regular_file(path, error) && access(path.c_str(), X_OK) == 0;
    }

    std::string lower_ascii(std::string_view text)
    {
        std::string out(text);
        for (char& c : out) {
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c + 32);
        }
        return out;
    }

    OpenPlan with_xdg_open(
        std::string target, std::string working_folder, std::string_view search_path)
    {
        std::string opener = find_program("xdg-open", search_path);
        if (opener.empty())
            return { {}, {}, "xdg-open is not installed, so \"" + target + "\" cannot be opened" };
        return { { opener, std::move(target) }, std::move(working_folder), {} };
    }

} // namespace

std::vector<std::string> split_command_line(std::string_view command_line)
{
    std::vector<std::string> arguments;
    std::string current;
    bool in_argument = false;
    bool quoted = false;
    for (std::size_t i = 0; i < command_line.size(); ++i) {
        char c = command_line[i];
        if (c == '\\' && i + 1 < command_line.size() && command_line[i + 1] == '"') {
            current.push_back('"');
            in_argument = true;
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
            in_argument = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (in_argument)
                arguments.push_back(std::move(current));
            current.clear();
            in_argument = false;
        } else {
            current.push_back(c);
            in_argument = true;
        }
    }
    if (in_argument)
        arguments.push_back(std::move(current));
    return arguments;
}

std::string find_program(std::string_view name, std::string_view search_path)
{
    if (name.empty() || name.find('/') != std::string_view::npos)
        return {};
    while (true) {
        std::size_t colon = search_path.find(':');
        std::string_view folder = search_path.substr(0, colon);
        if (!folder.empty() && folder[0] == '/') {
            std::string candidate = join_path(folder, name);
            if (is_executable_file(candidate))
                return candidate;
        }
        if (colon == std::string_view::npos)
            return {};
        search_path.remove_prefix(colon + 1);
    }
}

OpenPlan plan_open(
    const OpenRequest& request, std::string_view current_folder, std::string_view search_path)
{
    std::string verb = lower_ascii(request.verb);
    if (!verb.empty() && verb != "open" && verb != "explore")
        return { {}, {}, "the action \"" + request.verb + "\" is not supported; use \"open\"" };
    if (request.target.empty())
        return { {}, {}, "nothing to open" };

    std::string working_folder = to_local_path(request.working_folder);
    if (has_uri_scheme(request.target))
        return with_xdg_open(request.target, working_folder, search_path);

    // Like a desktop shell, a name in the current folder wins over one on the search path.
    std::string path = to_local_path(request.target);
    if (path[0] != '/')
        path = join_path(current_folder, path);
    std::error_code error;
    bool exists = std::filesystem::exists(path, error);
    std::string program;
    if (is_executable_file(path))
        program = path;
    else if (!exists && request.target.find_first_of("/\\") == std::string::npos)
        program = find_program(request.target, search_path);

    if (!program.empty()) {
        OpenPlan plan { { program }, working_folder, {} };
        for (std::string& argument : split_command_line(request.parameters))
            plan.argv.push_back(std::move(argument));
        return plan;
    }
    if (!exists)
        return { {}, {}, "\"" + path + "\" does not exist" };
    return with_xdg_open(path, working_folder, search_path);
}

} // namespace lumbra
