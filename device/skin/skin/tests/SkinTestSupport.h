#pragma once

#include "device/core/Log.h"
#include "device/core/Paths.h"
#include "device/core/Registry.h"
#include "device/core/testing/LogFile.h"
#include "device/skin/layout/TableElement.h"
#include "device/skin/skin/ColorElement.h"
#include "device/skin/skin/ElementRegistry.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace corvane::test {

// The kinds the skin engine itself provides, registered for one test.
struct CoreKinds {
    ScopedElementKind node { u"node", element_factory<Element>() };
    ScopedElementKind color { u"color", element_factory<ColorElement>() };
    ScopedElementKind htable { u"htable", element_factory<HTableElement>() };
    ScopedElementKind vtable { u"vtable", element_factory<VTableElement>() };
    ScopedElementKind clip { u"clip", element_factory<ClipElement>() };
};

// Tests run in <build>/bin, beside the skin compiler.
inline std::string skinc_path()
{
    return (std::filesystem::current_path() / "skinc").string();
}

// Runs the real skin compiler with `arguments` (already quoted); answers its exit status, with
// what it printed in `output`.
inline int run_skinc(const std::string& arguments, std::string& output)
{
    FILE* pipe = popen(("'" + skinc_path() + "' " + arguments + " 2>&1").c_str(), "r");
    if (!pipe)
        return -1;
    char buffer[512];
    while (std::size_t n = fread(buffer, 1, sizeof buffer, pipe))
        output.append(buffer, n);
    return pclose(pipe);
}

// Writes `json` as <folder>/<name>.json and compiles it to <folder>/bin/<name>.skin. Answers the
// skin's path, or empty with the compiler's messages in `errors`.
inline std::string compile_skin(const std::string& folder, const std::string& name,
    const std::string& json, std::string* errors = nullptr)
{
    std::filesystem::create_directories(folder + "/bin");
    std::string source = folder + "/" + name + ".json";
    std::ofstream(source, std::ios::binary) << json;
    std::string output = folder + "/bin/" + name + ".skin";
    std::string messages;
    int status = run_skinc("'" + source + "' -o '" + output + "'", messages);
    if (errors)
        *errors = messages;
    return status == 0 ? output : std::string();
}

inline std::vector<std::uint8_t> read_bytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
}

inline void write_bytes(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

// The log's length in bytes, to read what a step adds with read_log(length).
inline std::size_t log_length()
{
    get_log().flush();
    std::error_code ignored;
    auto size = std::filesystem::file_size(to_utf8(log_file_path()), ignored);
    return ignored ? 0 : static_cast<std::size_t>(size);
}

inline std::uint32_t get_u32(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t(b[at + 3]) << 24);
}

inline void put_u32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

inline void put_u16(std::vector<std::uint8_t>& b, std::size_t at, std::uint16_t v)
{
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

inline std::uint16_t get_u16(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return b[at] | (b[at + 1] << 8);
}

} // namespace corvane::test
