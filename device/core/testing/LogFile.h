#pragma once

#include "common/base/Text.h"
#include "device/core/Log.h"
#include "device/core/Paths.h"

#include <fstream>
#include <string>

namespace corvane::test {

// The UTF-16LE text of a file from byte `from` on, without the byte-order mark that starts it;
// empty when the file cannot be read.
inline std::u16string read_utf16_file(const std::string& path, std::size_t from = 0)
{
    std::ifstream in(path, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(from));
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    std::size_t start = from == 0 && bytes.starts_with("\xFF\xFE") ? 2 : 0;
    std::u16string text;
    for (std::size_t i = start; i + 1 < bytes.size(); i += 2)
        text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i])
            | (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    return text;
}

// The debug log written so far, from byte `from` on.
inline std::u16string read_log(std::size_t from = 0)
{
    get_log().flush();
    return read_utf16_file(to_utf8(log_file_path()), from);
}

} // namespace corvane::test
