#include "launcher/Paths.h"

namespace lumbra {

namespace {

    template<typename String, typename View>
    String join(View folder, View name, typename String::value_type slash)
    {
        if (folder.empty())
            return String(name);
        String path(folder);
        if (folder.back() != '\\' && folder.back() != '/')
            path.push_back(slash);
        path.append(name);
        return path;
    }

    bool is_uri_safe(unsigned char c)
    {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')
            || c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
    }

} // namespace

std::u16string join_path(std::u16string_view folder, std::u16string_view name)
{
    return join<std::u16string>(folder, name, u'/');
}

std::string join_path(std::string_view folder, std::string_view name)
{
    return join<std::string>(folder, name, '/');
}

std::string strip_trailing_separator(std::string_view folder)
{
    if (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\'))
        folder.remove_suffix(1);
    return std::string(folder);
}

std::string to_local_path(std::string_view path)
{
    std::string local(path);
    for (char& c : local) {
        if (c == '\\')
            c = '/';
    }
    return local;
}

bool has_uri_scheme(std::string_view location)
{
    auto is_alpha = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    if (location.empty() || !is_alpha(location[0]))
        return false;
    std::size_t i = 1;
    while (i < location.size()
        && (is_alpha(location[i]) || (location[i] >= '0' && location[i] <= '9')
            || location[i] == '+' || location[i] == '-' || location[i] == '.'))
        ++i;
    return i >= 2 && i < location.size() && location[i] == ':';
}

std::string page_uri(std::string_view location, std::string_view base_folder)
{
    if (has_uri_scheme(location))
        return std::string(location);
    std::string path = to_local_path(location);
    if (path.empty() || path[0] != '/')
        path = join_path(to_local_path(base_folder), path);
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string uri = "file://";
    for (unsigned char c : path) {
        if (is_uri_safe(c)) {
            uri.push_back(static_cast<char>(c));
        } else {
            uri.push_back('%');
            uri.push_back(hex[c >> 4]);
            uri.push_back(hex[c & 0xF]);
        }
    }
    return uri;
}

} // namespace lumbra
