#pragma once

#include "device/core/Log.h"
#include "device/core/Paths.h"
#include "device/core/Registry.h"
#include "device/core/testing/LogFile.h"
#include "device/skin/layout/TableElement.h"
#include "device/skin/render/tests/RenderTestSupport.h"
#include "device/skin/skin/ColorElement.h"
#include "device/skin/skin/ElementRegistry.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace corvane::test {

// The kinds the skin engine itself provides, registered for one test.
struct CoreKinds {
    ScopedElementKind node { u"node", element_factory<Element>() };
    ScopedElementKind color { u"color", element_factory<ColorElement>() };
    ScopedElementKind htable { u"htable", element_factory<HTableElement>() };
    ScopedElementKind vtable { u"vtable", element_factory<VTableElement>() };
    ScopedElementKind clip { u"clip", element_factory<ClipElement>() };
};

// Runs a shell command; answers its wait status, with what it printed to either stream in
// `output`.
inline int run_command(const std::string& command, std::string& output)
{
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return -1;
    char buffer[512];
    while (std::size_t n = fread(buffer, 1, sizeof buffer, pipe))
        output.append(buffer, n);
    return pclose(pipe);
}

// Runs the real skin compiler (tests run in <build>/bin, beside it) with `arguments` (already
// quoted).
inline int run_skinc(const std::string& arguments, std::string& output)
{
    return run_command(
        "'" + (std::filesystem::current_path() / "skinc").string() + "' " + arguments, output);
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

// The log's length in bytes, to read what a step adds with read_log(length).
inline std::size_t log_length()
{
    get_log().flush();
    std::error_code ignored;
    auto size = std::filesystem::file_size(to_utf8(log_file_path()), ignored);
    return ignored ? 0 : static_cast<std::size_t>(size);
}

} // namespace corvane::test
