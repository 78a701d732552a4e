#include "SkinTestSupport.h"

#include "device/core/testing/TestEnvironment.h"

#include <gtest/gtest.h>

using namespace corvane;
using namespace corvane::test;

namespace {

std::string run(const std::string& arguments)
{
    std::string output;
    (void)run_skinc(arguments, output);
    return output;
}

} // namespace

// The dump is the documented text form: sorted node names, arrays in file order (integer,
// font, point, string, picture, colour, each sorted by name), children numbered. A damaged or
// missing file is reported, not dumped.
TEST(SkinCompiler, dump_prints_the_documented_form)
{
    TestEnvironment env;
    std::string skin = compile_skin(env.folder(), "small", R"({"nodes": {
        "Zeta": {"id": "z"},
        "Beta": {"zz": 1, "aa": 2, "font": {"font": "10 1 0 0 Tahoma"}, "border_min": [-3, 7],
                 "text": "a \"quoted\"\nline", "color": {"color": [1, 2, 3]},
                 "children": [{"type": "color"}]}
    }})");
    ASSERT_FALSE(skin.empty());
    EXPECT_EQ(run("dump '" + skin + "'"),
        "corvane-skin-dump 1\n"
        "pictures 0\n"
        "fonts 1\n"
        "  0 \"10 1 0 0 Tahoma\"\n"
        "strings 3\n"
        "node Beta\n"
        "  integer aa 2\n"
        "  integer zz 1\n"
        "  font font \"10 1 0 0 Tahoma\"\n"
        "  point border_min -3 7\n"
        "  string text \"a \\\"quoted\\\"\\nline\"\n"
        "  color color 1 2 3\n"
        "  child 0\n"
        "    string type \"color\"\n"
        "node Zeta\n"
        "  string id \"z\"\n");

    std::vector<std::uint8_t> bytes = read_bytes(skin);
    put_u32(bytes, 84, 0xFFFFFF00);
    write_bytes(skin, bytes);
    EXPECT_NE(run("dump '" + skin + "'").find("damaged skin file"), std::string::npos);
    EXPECT_NE(
        run("dump '" + env.folder() + "/none.skin'").find("cannot be read"), std::string::npos);
}

// What the format cannot hold is an error that names the place, and no file is left behind.
TEST(SkinCompiler, refuses_what_the_format_cannot_hold)
{
    TestEnvironment env;
    std::string many_pictures = R"({"nodes": {"N": {)";
    for (int i = 0; i < 257; ++i)
        many_pictures += (i ? "," : "") + std::string("\"p") + std::to_string(i)
            + R"(": {"picture": "t)" + std::to_string(i) + R"(", "coords": [0,0,0,0,0,0,0,0]})";
    many_pictures += "}}}";
    std::string long_names = R"({"nodes": {"N": {)";
    for (int i = 0; i < 700; ++i)
        long_names += (i ? "," : "") + std::string("\"") + std::string(50, 'n') + std::to_string(i)
            + "\": 1";
    long_names += "}}}";
    struct Case {
        std::string json;
        const char* message;
    } cases[] = {
        { R"({"nodes": {"N": {"p": [40000, 0]}}})", "nodes.N.p: 40000 is outside -32768..32767" },
        { R"({"nodes": {"N": {"i": {"int": 4294967296}}}})", "4294967296 is outside" },
        { R"({"nodes": {"N": {"c": {"color": "#12345"}}}})", "is not #RRGGBB" },
        { R"({"nodes": {"N": {"q": {"picture": "x", "coords": [5,0,4,0,6,0,7,0]}}}})",
            "must not decrease" },
        { R"({"nodes": {"N": {"q": {"picture": "../x"}}}})", "not a plain file name" },
        { R"({"nodes": {"N": {"q": {"picture": "nowhere"}}}})", "no art found" },
        { R"({"nodes": {"N": {"s": "a\u0000b"}}})", "NUL character" },
        { R"({"nodes": {"N": {"children": [{"x": {"wat": 1}}]}}})",
            "nodes.N.children[0].x: unknown property kind" },
        { many_pictures, "more than 256 different pictures" },
        { long_names, "must fit in the first 65536 bytes" },
        { R"({"nodes": [1]})", "\"nodes\" object" },
        { "{\"nodes\": ", "parse error" },
    };
    for (const Case& c : cases) {
        std::string errors;
        EXPECT_TRUE(compile_skin(env.folder(), "bad", c.json, &errors).empty()) << c.message;
        EXPECT_NE(errors.find(c.message), std::string::npos) << c.message << ": " << errors;
        EXPECT_FALSE(std::filesystem::exists(env.folder() + "/bin/bad.skin")) << c.message;
    }
}
