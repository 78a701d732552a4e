#pragma once

#include <string>
#include <string_view>

// Path and location helpers. Pure; any thread.
namespace lumbra {

// Joins a folder and a name: the name alone when the folder is empty, appended directly when
// the folder already ends in "\" or "/", otherwise with "/" between them.
std::u16string join_path(std::u16string_view folder, std::u16string_view name);
std::string join_path(std::string_view folder, std::string_view name);

// Removes one trailing "\" or "/", unless that would leave nothing (the root folder stays "/").
std::string strip_trailing_separator(std::string_view folder);

// Settings written on Windows separate folders with "\"; on this system only "/" does.
std::string to_local_path(std::string_view path);

// True for "http://...", "file:///...", "mailto:..." and the like; a one-letter scheme is a
// drive letter, not a scheme.
bool has_uri_scheme(std::string_view location);

// The URI to load for a page setting: a URI is used as it is; a path, relative ones taken
// from `base_folder`, becomes a file URI.
std::string page_uri(std::string_view location, std::string_view base_folder);

} // namespace lumbra
