#pragma once

#include "common/base/Text.h"

#include <cstddef>
#include <optional>
#include <string>

namespace corvane {

// Every file name of the program passes through expand_path. A path may begin with one macro:
// "%app_full_name%", "%app_path%", "%app_name%", "%my_documents%", "%windows%", "%startup%",
// "%programs%", "%start_menu%", "%program_files%". The expansion uses "/" as the separator;
// the utilities below accept both "\" and "/". Any thread (the macro cache is filled once).
WString expand_path(WStringView path);
// The expanded path as a UTF-8 file-system name.
std::string native_path(WStringView path);

// Full path of the executable. A path of 1,024 characters or more is a fatal fault.
WString get_app_path();

// The log file: "<temp folder>/<executable file name>.txt".
WString log_file_path();
// The temporary folder, without a trailing separator.
WString temp_folder();

bool is_separator(char16_t c);
WString dir_of(WStringView path); // up to and including the last separator
WString file_of(WStringView path); // after the last separator
std::optional<std::size_t> extension_index(WStringView path); // the last "." of the file name
WString file_stem(WStringView path);
WString strip_trailing_separator(WStringView path);
WString join_path(WStringView folder, WStringView name);
bool same_path(WStringView a, WStringView b);
bool path_starts_with(WStringView path, WStringView prefix);

} // namespace corvane
