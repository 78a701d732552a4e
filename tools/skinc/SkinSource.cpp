#include "SkinSource.h"

#include "common/base/Text.h"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <limits>

namespace skinc {

using json = nlohmann::json;
namespace fs = std::filesystem;

namespace {

    constexpr int max_nesting = 200;

    [[noreturn]] void fail(const std::string& where, const std::string& what)
    {
        throw CompileError(where + ": " + what);
    }

    std::int64_t integer_of(const json& value, const std::string& where)
    {
        if (value.is_boolean())
            return value.get<bool>() ? 1 : 0;
        if (value.is_number_integer())
            return value.get<std::int64_t>();
        if (value.is_number_unsigned()) {
            auto v = value.get<std::uint64_t>();
            if (v > std::numeric_limits<std::uint32_t>::max())
                fail(where, "integer " + std::to_string(v) + " does not fit 32 bits");
            return static_cast<std::int64_t>(v);
        }
        if (value.is_string()) {
            // Hexadecimal ("0xFFFFFFFF") reads better for masks and alpha values.
            const std::string& text = value.get_ref<const std::string&>();
            std::size_t used = 0;
            try {
                long long v = std::stoll(text, &used, 0);
                if (used == text.size())
                    return v;
            } catch (const std::exception&) {
            }
            fail(where, "\"" + text + "\" is not an integer");
        }
        fail(where, "expected an integer");
    }

    std::int64_t ranged(
        const json& value, std::int64_t low, std::int64_t high, const std::string& where)
    {
        std::int64_t v = integer_of(value, where);
        if (v < low || v > high)
            fail(where,
                std::to_string(v) + " is outside " + std::to_string(low) + ".."
                    + std::to_string(high));
        return v;
    }

    void read_color(Property& p, const json& value)
    {
        if (value.is_string()) {
            const std::string& text = value.get_ref<const std::string&>();
            if (text.size() != 7 || text[0] != '#'
                || text.find_first_not_of("0123456789abcdefABCDEF", 1) != std::string::npos)
                fail(p.where, "colour \"" + text + "\" is not #RRGGBB");
            unsigned long rgb = std::stoul(text.substr(1), nullptr, 16);
            p.red = static_cast<std::uint8_t>(rgb >> 16);
            p.green = static_cast<std::uint8_t>(rgb >> 8);
            p.blue = static_cast<std::uint8_t>(rgb);
            return;
        }
        if (!value.is_array() || value.size() != 3)
            fail(p.where, "a colour is \"#RRGGBB\" or [red, green, blue]");
        p.red = static_cast<std::uint8_t>(ranged(value[0], 0, 255, p.where));
        p.green = static_cast<std::uint8_t>(ranged(value[1], 0, 255, p.where));
        p.blue = static_cast<std::uint8_t>(ranged(value[2], 0, 255, p.where));
    }

    void read_point(Property& p, const json& value)
    {
        if (!value.is_array() || value.size() != 2)
            fail(p.where, "a point is [x, y]");
        p.x = static_cast<std::int16_t>(ranged(value[0], -32768, 32767, p.where));
        p.y = static_cast<std::int16_t>(ranged(value[1], -32768, 32767, p.where));
    }

    void read_picture(Property& p, const json& value)
    {
        if (value.is_string()) {
            p.picture = value.get<std::string>();
            p.whole_picture = true;
        } else if (value.is_object()) {
            if (!value.contains("picture") || !value["picture"].is_string())
                fail(p.where, "a picture needs \"picture\": name");
            p.picture = value["picture"].get<std::string>();
            for (auto& [key, _] : value.items()) {
                if (key != "picture" && key != "coords" && key != "border" && key != "flag")
                    fail(p.where, "unknown picture field \"" + key + "\"");
            }
            if (value.contains("coords") && value.contains("border"))
                fail(p.where, "give either \"coords\" or \"border\", not both");
            if (value.contains("coords")) {
                const json& c = value["coords"];
                if (!c.is_array() || c.size() != 8)
                    fail(p.where, "\"coords\" is [x0, y0, x1, y1, x2, y2, x3, y3]");
                for (int i = 0; i < 8; ++i)
                    p.coords[i] = static_cast<std::uint16_t>(ranged(c[i], 0, 65535, p.where));
                for (int axis = 0; axis < 2; ++axis) {
                    for (int i = 0; i < 3; ++i) {
                        if (p.coords[2 * i + axis] > p.coords[2 * (i + 1) + axis])
                            fail(p.where,
                                "picture coordinates must not decrease (x0 <= x1 <= x2 <= x3, y "
                                "likewise)");
                    }
                }
            } else {
                p.whole_picture = true;
                if (value.contains("border")) {
                    const json& b = value["border"];
                    if (!b.is_array() || b.size() != 4)
                        fail(p.where, "\"border\" is [left, top, right, bottom]");
                    for (int i = 0; i < 4; ++i)
                        p.border[i] = static_cast<std::int32_t>(ranged(b[i], 0, 65535, p.where));
                }
            }
            if (value.contains("flag"))
                p.flag = static_cast<std::uint8_t>(ranged(value["flag"], 0, 255, p.where));
        } else {
            fail(p.where, "a picture is a name or {\"picture\": name, ...}");
        }
        if (p.picture.empty() || p.picture.find_first_of("/\\") != std::string::npos)
            fail(p.where, "picture name \"" + p.picture + "\" is not a plain file name");
    }

    Property read_property(const std::string& key, const json& value, const std::string& where)
    {
        Property p;
        p.where = where;
        std::string name = key;
        std::string type;
        if (auto colon = key.find(':'); colon != std::string::npos) {
            type = key.substr(0, colon);
            name = key.substr(colon + 1);
        } else if (value.is_object() && value.size() >= 1) {
            // {"font": "..."}, {"color": ...}, {"picture": ...}, {"point": [...]}, {"int": ...}
            if (value.contains("picture"))
                type = "picture";
            else if (value.size() == 1)
                type = value.begin().key();
            else
                fail(where, "cannot tell the property's kind");
        } else if (value.is_string()) {
            type = "string";
        } else if (value.is_number() || value.is_boolean()) {
            type = "int";
        } else if (value.is_array()) {
            type = "point";
        } else {
            fail(where, "cannot tell the property's kind");
        }
        if (name.empty())
            fail(where, "empty property name");
        p.name = utf8_to_utf16(name, where);
        const json& inner
            = (value.is_object() && value.size() == 1 && value.contains(type) && type != "picture")
            ? value[type]
            : value;
        if (type == "int" || type == "integer") {
            p.kind = Kind::Integer;
            p.integer
                = static_cast<std::uint32_t>(ranged(inner, std::numeric_limits<std::int32_t>::min(),
                    std::numeric_limits<std::uint32_t>::max(), where));
        } else if (type == "string") {
            p.kind = Kind::String;
            if (!inner.is_string())
                fail(where, "expected a string");
            p.text = utf8_to_utf16(inner.get<std::string>(), where);
        } else if (type == "font") {
            p.kind = Kind::Font;
            if (!inner.is_string())
                fail(where, "a font is \"size bold italic underline face\"");
            p.text = utf8_to_utf16(inner.get<std::string>(), where);
        } else if (type == "point") {
            p.kind = Kind::Point;
            read_point(p, inner);
        } else if (type == "color" || type == "colour") {
            p.kind = Kind::Color;
            read_color(p, inner);
        } else if (type == "picture") {
            p.kind = Kind::Picture;
            read_picture(p, inner);
        } else {
            fail(where, "unknown property kind \"" + type + "\"");
        }
        return p;
    }

    Node read_node(const json& value, const std::string& where, int depth)
    {
        if (depth > max_nesting)
            fail(where, "nodes are nested more than " + std::to_string(max_nesting) + " deep");
        if (!value.is_object())
            fail(where, "a node is an object of properties with an optional \"children\" array");
        Node node;
        node.where = where;
        for (auto& [key, item] : value.items()) {
            if (key == "children") {
                if (!item.is_array())
                    fail(where + ".children", "expected an array of nodes");
                for (std::size_t i = 0; i < item.size(); ++i)
                    node.children.push_back(read_node(
                        item[i], where + ".children[" + std::to_string(i) + "]", depth + 1));
                continue;
            }
            node.properties.push_back(read_property(key, item, where + "." + key));
        }
        return node;
    }

} // namespace

std::u16string utf8_to_utf16(const std::string& text, const std::string& where)
{
    std::u16string out;
    for (std::size_t i = 0; i < text.size();) {
        corvane::Utf8Sequence sequence = corvane::read_utf8_sequence(text, i);
        if (!sequence.valid)
            fail(where, "text is not UTF-8");
        if (sequence.code_point == 0)
            fail(where, "text holds a NUL character, which the skin format cannot store");
        corvane::append_utf16(out, sequence.code_point);
        i += sequence.length;
    }
    return out;
}

std::string utf16_to_utf8(const std::u16string& text)
{
    return corvane::to_utf8(text);
}

Source read_source(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw CompileError(path + ": cannot be read");
    json document;
    try {
        document = json::parse(in, nullptr, true, true);
    } catch (const json::parse_error& error) {
        throw CompileError(path + ": " + error.what());
    }
    if (!document.is_object() || !document.contains("nodes") || !document["nodes"].is_object())
        throw CompileError(path + ": the source is an object with a \"nodes\" object");
    for (auto& [key, _] : document.items()) {
        if (key != "nodes" && key != "art" && key != "comment")
            throw CompileError(path + ": unknown top-level field \"" + key + "\"");
    }
    Source source;
    fs::path folder = fs::path(path).parent_path();
    if (document.contains("art")) {
        if (!document["art"].is_object())
            throw CompileError(path + ": \"art\" maps picture names to files");
        for (auto& [name, file] : document["art"].items()) {
            if (!file.is_string())
                throw CompileError(path + ": art." + name + " is not a file name");
            source.art[name] = (folder / file.get<std::string>()).string();
        }
    }
    for (auto& [name, node] : document["nodes"].items()) {
        std::string where = "nodes." + name;
        if (name.empty())
            throw CompileError(where + ": empty node name");
        source.nodes.emplace_back(utf8_to_utf16(name, where), read_node(node, where, 0));
    }
    return source;
}

} // namespace skinc
