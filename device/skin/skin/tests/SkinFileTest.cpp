#include "SkinTestSupport.h"

#include "device/core/Paths.h"
#include "device/core/testing/TestEnvironment.h"
#include "device/skin/render/BmpFile.h"
#include "device/skin/skin/DisplayInfo.h"
#include "device/skin/skin/FontDescriptionParser.h"
#include "device/skin/skin/Properties.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace corvane;
using namespace corvane::test;

namespace {

const DisplayInfo base_density = DisplayInfo::make(240, 320, 0, 96);
const DisplayInfo double_density = DisplayInfo::make(480, 640, 0, 192);

// Two 40000-character texts push every later string and node past the first 64 KiB, where only
// property names must not lie.
const std::string every_kind_source = R"({
    "nodes": {
        "Big": { "text": ")"
    + std::string(40000, 'x') + R"(" },
        "Huge": { "text": ")"
    + std::string(40000, 'y') + R"(" },
        "Alpha": {
            "id": "alpha",
            "int:shared": 7,
            "string:shared": "seven",
            "all_bits": { "int": "0xFFFFFFFF" },
            "minus": { "int": -2 },
            "place": [-3, 7],
            "tile": { "picture": "tile", "coords": [1, 2, 3, 4, 40000, 50000, 65535, 65535], "flag": 9 },
            "whole": { "picture": "tile", "border": [1, 1, 1, 0] },
            "paint": { "color": "#C86432" },
            "size_only": { "font": "14" },
            "no_face": { "font": "14 1 0 0" },
            "title": "Задача 1",
            "children": [ { "type": "node", "id": "first" }, { "type": "node", "id": "second" } ]
        },
        "Tree": { "id": "tree" },
        "TreeElement": { "id": "tree_element" },
        "A": {},
        "Zed": { "id": "zed" }
    }
})";

class SkinFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        env.enable_log();
        // A small 16-bit picture the compiler converts and the loader loads back.
        VectorByteSink tile;
        ASSERT_TRUE(save_bmp_565(*make_surface(4, 3, 0x07E0), tile));
        write_bytes(env.folder() + "/tile.bmp", tile.bytes());
        std::string errors;
        path = compile_skin(env.folder(), "every", every_kind_source, &errors);
        ASSERT_FALSE(path.empty()) << errors;
    }

    WString wpath() const { return from_utf8(path); }

    TestEnvironment env;
    std::string path;
    Properties properties;
};

} // namespace

// Every property kind comes back as written; integers and strings of one name do not collide;
// picture coordinates are unsigned and everything positional doubles at scale shift 1.
TEST_F(SkinFile, round_trip_keeps_every_property_kind)
{
    for (const DisplayInfo& display : { base_density, double_density }) {
        ASSERT_TRUE(properties.load_skin(wpath(), display));
        std::int32_t s = display.scale_shift;
        std::optional<Node> node = properties.find_node(u"Alpha");
        ASSERT_TRUE(node);
        const WString& empty = Properties::empty_string();
        EXPECT_EQ(properties.get_string(*node, u"id", empty), u"alpha");
        EXPECT_EQ(properties.get_integer(*node, u"shared", 0), 7u);
        EXPECT_EQ(properties.get_string(*node, u"shared", empty), u"seven");
        EXPECT_EQ(properties.get_integer(*node, u"all_bits", 0), 0xFFFFFFFFu);
        EXPECT_EQ(static_cast<std::int32_t>(properties.get_integer(*node, u"minus", 0)), -2);
        EXPECT_EQ(properties.get_string(*node, u"title", empty), u"Задача 1");
        EXPECT_EQ(properties.get_point(*node, u"place", {}), (Point { -3 << s, 7 << s }));
        Color paint = properties.get_color(*node, u"paint", {});
        EXPECT_EQ(paint, (Color { 200, 100, 50, 255 }));
        EXPECT_EQ(paint.to_565(), 0xCB26);

        ImageRef tile = properties.get_picture(*node, u"tile", {});
        EXPECT_EQ(tile.coords,
            (ImageCoords {
                1 << s, 2 << s, 3 << s, 4 << s, 40000 << s, 50000 << s, 65535 << s, 65535 << s }));
        EXPECT_EQ(tile.flag, 9);
        EXPECT_EQ(tile.scale_shift, s);
        EXPECT_EQ(tile.bitmap.size(), (Size { 4, 3 }));
        ImageRef whole = properties.get_picture(*node, u"whole", {});
        EXPECT_EQ(
            whole.coords, (ImageCoords { 0, 0, 1 << s, 1 << s, 3 << s, 3 << s, 4 << s, 3 << s }));

        const Font& size_only = properties.get_font(*node, u"size_only", Properties::no_font());
        ASSERT_TRUE(size_only);
        EXPECT_EQ(size_only->description(),
            (FontDescription { 14, 1 << s, false, false, false, u"Tahoma" }));
        const Font& no_face = properties.get_font(*node, u"no_face", Properties::no_font());
        ASSERT_TRUE(no_face);
        EXPECT_EQ(
            no_face->description(), (FontDescription { 14, 1 << s, true, false, false, u"" }));

        // Each look-up searches only its own kind.
        EXPECT_EQ(properties.get_integer(*node, u"title", 42), 42u);
        EXPECT_EQ(properties.get_point(*node, u"shared", { 5, 6 }), (Point { 5, 6 }));
        EXPECT_EQ(properties.get_color(*node, u"tile", { 1, 2, 3, 4 }), (Color { 1, 2, 3, 4 }));
        EXPECT_EQ(properties.get_picture(*node, u"paint", {}).bitmap.size(), (Size {}));

        ASSERT_EQ(properties.child_count(*node), 2u);
        EXPECT_EQ(properties.get_string(properties.child(*node, 1), u"id", empty), u"second");
        EXPECT_TRUE(properties.child(*node, 2).is_null());
    }
}

// Names compare as UTF-16 code units with a proper prefix first; near misses find nothing. The
// node and strings beyond the first 64 KiB read like any other.
TEST_F(SkinFile, dictionary_finds_exactly_the_stored_names)
{
    ASSERT_TRUE(properties.load_skin(wpath(), base_density));
    ASSERT_GT(read_bytes(path).size(), 160000u);
    for (const char16_t* name : { u"Alpha", u"Tree", u"TreeElement", u"A", u"Zed" })
        EXPECT_TRUE(properties.find_node(name)) << to_utf8(name);
    for (const char16_t* name :
        { u"", u"Tre", u"TreeElementX", u"alpha", u"Zed ", u"B", u"\uFFFF" })
        EXPECT_FALSE(properties.find_node(name)) << to_utf8(name);
    auto id_of = [&](const char16_t* node, const char16_t* name) {
        return properties.get_string(*properties.find_node(node), name, Properties::empty_string());
    };
    EXPECT_EQ(id_of(u"Tree", u"id"), u"tree");
    EXPECT_EQ(id_of(u"Zed", u"id"), u"zed");
    EXPECT_EQ(id_of(u"Huge", u"text"), std::u16string(40000, u'y'));
}

// A load that fails, for any reason, leaves the earlier skin in force.
TEST_F(SkinFile, failed_load_keeps_the_previous_skin)
{
    ASSERT_TRUE(properties.load_skin(wpath(), base_density));
    std::vector<std::uint8_t> bytes = read_bytes(path);
    write_bytes(env.folder() + "/bin/broken.skin", { bytes.begin(), bytes.begin() + 200 });
    EXPECT_FALSE(
        properties.load_skin(from_utf8(env.folder() + "/bin/broken.skin"), double_density));
    EXPECT_FALSE(
        properties.load_skin(from_utf8(env.folder() + "/bin/missing.skin"), double_density));
    EXPECT_FALSE(properties.load_skin(u"%app_path%/missing.skin", double_density));
    EXPECT_EQ(properties.skin_path(), wpath());
    EXPECT_EQ(properties.scale_shift(), 0);
    std::optional<Node> node = properties.find_node(u"Alpha");
    ASSERT_TRUE(node);
    EXPECT_EQ(properties.get_point(*node, u"place", {}), (Point { -3, 7 }));
    std::u16string log = read_log();
    EXPECT_NE(log.find(u"Error: skin [" + from_utf8(env.folder())
                  + u"/bin/missing.skin] failed to load\n"),
        std::u16string::npos);
    // The line names the file tried, with the macro expanded.
    EXPECT_NE(log.find(u"Error: skin [" + dir_of(get_app_path()) + u"missing.skin] failed"),
        std::u16string::npos);
    EXPECT_EQ(log.find(u"[%app_path%"), std::u16string::npos);

    // A missing picture fails the whole skin with the loader's line.
    std::filesystem::remove(env.folder() + "/bin/tile.bmp");
    EXPECT_FALSE(properties.load_skin(wpath(), double_density));
    EXPECT_EQ(properties.scale_shift(), 0);
    EXPECT_NE(read_log().find(u"PropertiesImpl::PropertiesImpl picture failed to load {tile}\n"),
        std::u16string::npos);
}

// Cutting the file anywhere makes it unloadable; from the header on, a line says why.
TEST_F(SkinFile, every_truncation_is_refused)
{
    // Small, but with every structure: one property of each kind, a child, two entries.
    std::string small = compile_skin(env.folder(), "small",
        R"({"nodes": {"A": {"i": 1, "f": {"font": "9"}, "p": [1, 2], "s": "x", "t": {"picture": "tile"},
            "c": {"color": "#010203"}, "children": [{"type": "node"}]}, "B": {}}})");
    ASSERT_FALSE(small.empty());
    std::vector<std::uint8_t> bytes = read_bytes(small);
    std::string cut = env.folder() + "/bin/cut.skin";
    for (std::size_t length = 0; length < bytes.size(); ++length) {
        write_bytes(cut, { bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length) });
        std::size_t before = log_length();
        ASSERT_FALSE(properties.load_skin(from_utf8(cut), base_density)) << length;
        std::u16string added = read_log(before);
        if (length >= 92)
            EXPECT_NE(added.find(u"] is damaged: "), std::u16string::npos) << length;
        else
            EXPECT_EQ(added.find(u"Error"), std::u16string::npos) << length;
    }
    EXPECT_FALSE(properties.is_loaded());
}

// Hostile files: each breaks one bound and is refused with a line that names the damage,
// while the skin already loaded stays usable.
TEST_F(SkinFile, hostile_offsets_counts_and_names_are_refused)
{
    std::string errors;
    std::string hostile = compile_skin(env.folder(), "hostile",
        R"({"nodes": {"Only": {"id": "x", "type": "node", "children": [{"type": "node"}]}}})",
        &errors);
    ASSERT_FALSE(hostile.empty()) << errors;
    const std::vector<std::uint8_t> good = read_bytes(hostile);
    ASSERT_TRUE(properties.load_skin(from_utf8(hostile), base_density));
    // Where the parts lie: the dictionary entry, its node, the node's first string record.
    struct {
        std::uint32_t entry, node, strings;
    } l;
    l.entry = get_u32(good, 72);
    l.node = l.entry + 12;
    l.strings = l.node + get_u16(good, l.node + 6);
    std::uint32_t child = get_u32(good, l.node + 16);

    struct Case {
        const char* what;
        std::function<void(std::vector<std::uint8_t>&)> damage;
        const char16_t* reason;
    } cases[] = {
        { "root past the end",
            [](auto& b) { put_u32(b, 72, static_cast<std::uint32_t>(b.size())); },
            u"lies outside the file" },
        { "huge picture count", [](auto& b) { put_u32(b, 76, 0xFFFFFFFF); }, u"cannot hold" },
        { "text block past the end", [](auto& b) { put_u32(b, 84, 0xFFFFFFF0); }, u"cannot hold" },
        { "string count beyond the file",
            [](auto& b) { put_u32(b, 88, static_cast<std::uint32_t>(b.size())); }, u"cannot hold" },
        { "last string unterminated",
            [](auto& b) {
                // One picture name in the last four bytes, its terminator overwritten.
                put_u32(b, 84, static_cast<std::uint32_t>(b.size()) - 4);
                put_u32(b, 76, 1);
                put_u32(b, 80, 0);
                put_u32(b, 88, 0);
                b[b.size() - 1] = b[b.size() - 2] = 0x41;
            },
            u"runs past the end" },
        { "child is its own parent", [&](auto& b) { put_u32(b, l.node + 16, l.node); },
            u"its own descendant" },
        { "grandchild loops back",
            [&](auto& b) {
                put_u16(b, child + 14, 1);
                put_u32(b, child + 16, l.node);
            },
            u"" },
        { "child past the end", [&](auto& b) { put_u32(b, l.node + 16, 0xFFFFFFF0); },
            u"lies outside the file" },
        { "string index out of range", [&](auto& b) { put_u16(b, l.strings + 2, 0xFFFF); },
            u"string index out of range" },
        { "name past the end", [&](auto& b) { put_u16(b, l.strings, 0xFFFF); },
            u"lies outside the file" },
        { "names out of order",
            [&](auto& b) {
                std::uint16_t first = get_u16(b, l.strings);
                put_u16(b, l.strings, get_u16(b, l.strings + 4));
                put_u16(b, l.strings + 4, first);
            },
            u"not sorted" },
        // Found by fuzzing: an array may only be walked once every later start is known sane.
        { "array reaching past the colours' end",
            [&](auto& b) { put_u16(b, l.node + 10, get_u16(b, l.node + 8) + 20 * 1000); },
            u"malformed" },
        { "array end before start", [&](auto& b) { put_u16(b, l.node + 8, 2); }, u"malformed" },
        { "properties past the end",
            [&](auto& b) {
                put_u16(b, l.node + 12, 0xFFFF);
                put_u16(b, l.node + 10, 0xFFFF);
            },
            u"past the end" },
        { "dictionary loops", [&](auto& b) { put_u32(b, l.entry, l.entry); }, u"reached twice" },
        { "dictionary name past the end",
            [&](auto& b) { put_u32(b, l.entry + 8, static_cast<std::uint32_t>(b.size()) - 1); },
            u"runs past the end" },
        { "too many children", [&](auto& b) { put_u16(b, l.node + 14, 0xFFFF); }, u"child table" },
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> bytes = good;
        c.damage(bytes);
        std::string damaged = env.folder() + "/bin/damaged.skin";
        write_bytes(damaged, bytes);
        std::size_t before = log_length();
        EXPECT_FALSE(properties.load_skin(from_utf8(damaged), base_density)) << c.what;
        std::u16string added = read_log(before);
        EXPECT_NE(added.find(u"] is damaged: "), std::u16string::npos) << c.what;
        EXPECT_NE(added.find(c.reason), std::u16string::npos) << c.what << ": " << to_utf8(added);
        EXPECT_EQ(properties.skin_path(), from_utf8(hostile));
    }
    EXPECT_TRUE(properties.find_node(u"Only"));
}

namespace {

// A chain of `depth` nodes, each the only child of the one above.
std::string chain(int depth)
{
    return depth == 1 ? R"({"type": "node"})"
                      : R"({"type": "node", "children": [)" + chain(depth - 1) + "]}";
}

// A level node with eight children: the next level first, then seven leaves.
std::string fan(int levels)
{
    if (levels == 0)
        return R"({"type": "node"})";
    std::string json = R"({"type": "node", "children": [)" + fan(levels - 1);
    for (int i = 0; i < 7; ++i)
        json += R"(, {"type": "node"})";
    return json + "]}";
}

// Points every child slot of each level at that level's first child.
void share_first_children(std::vector<std::uint8_t>& bytes, std::uint32_t node)
{
    while (get_u16(bytes, node + 14) == 8) {
        std::uint32_t first = get_u32(bytes, node + 16);
        for (int i = 1; i < 8; ++i)
            put_u32(bytes, node + 16 + 4 * i, first);
        node = first;
    }
}

} // namespace

// Nesting deeper than the loader allows is refused instead of recursing without bound, and child
// records may be shared, but not so that a few hundred bytes expand to millions of elements
// when a screen is built.
TEST_F(SkinFile, runaway_nesting_and_sharing_are_refused)
{
    std::string errors;
    std::string skin = compile_skin(env.folder(), "deep",
        R"({"nodes": {"A": )" + chain(150) + R"(, "B": )" + chain(150) + "}}", &errors);
    ASSERT_FALSE(skin.empty()) << errors;
    ASSERT_TRUE(properties.load_skin(from_utf8(skin), base_density));

    // Hang chain B below the last parent of chain A: 299 levels.
    std::vector<std::uint8_t> bytes = read_bytes(skin);
    std::uint32_t parent = properties.find_node(u"A")->offset();
    while (get_u16(bytes, get_u32(bytes, parent + 16) + 14) == 1)
        parent = get_u32(bytes, parent + 16);
    put_u32(bytes, parent + 16, properties.find_node(u"B")->offset());
    write_bytes(skin, bytes);
    EXPECT_FALSE(properties.load_skin(from_utf8(skin), base_density));
    EXPECT_NE(read_log().find(u"nested more than 200 deep"), std::u16string::npos);

    std::size_t before = log_length();
    for (int levels : { 5, 7 }) {
        std::string name = "fan" + std::to_string(levels);
        skin = compile_skin(
            env.folder(), name, R"({"nodes": {"Fan": )" + fan(levels) + "}}", &errors);
        ASSERT_FALSE(skin.empty()) << errors;
        bytes = read_bytes(skin);
        share_first_children(bytes, get_u32(bytes, 72) + 12);
        write_bytes(skin, bytes);
        // 8^5 elements are fine; 8^7 are not.
        EXPECT_EQ(properties.load_skin(from_utf8(skin), base_density), levels == 5) << levels;
    }
    EXPECT_NE(read_log(before).find(u"elements"), std::u16string::npos);
}

// Font descriptions: what is given is taken, the rest keeps the defaults.
TEST(FontDescriptionParser, takes_what_is_given_and_defaults_the_rest)
{
    const std::tuple<const char16_t*, std::int32_t, FontDescription> cases[] = {
        { u"", 1, { 12, 1, false, false, false, u"Tahoma" } },
        { u"14", 2, { 14, 2, false, false, false, u"Tahoma" } },
        { u"14 1 0 0", 1, { 14, 1, true, false, false, u"" } },
        { u"10 1 0 0 Tahoma", 1, { 10, 1, true, false, false, u"Tahoma" } },
        { u" +9\t0 7 1   DejaVu Sans ", 1, { 9, 1, false, true, true, u"DejaVu Sans " } },
        { u"11 x 1 1 Face", 1, { 11, 1, false, false, false, u"Tahoma" } },
        { u"- 5", 1, { 12, 1, false, false, false, u"Tahoma" } },
    };
    for (const auto& [text, scale, expected] : cases)
        EXPECT_EQ(parse_font_description(text, scale), expected) << to_utf8(text);
    EXPECT_EQ(parse_font_description(u"99999999999 1", 1).size, 2147483647);
}
