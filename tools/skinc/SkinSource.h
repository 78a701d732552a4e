#pragma once

#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace skinc {

// A compile error with the place in the source it concerns.
class CompileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class Kind : std::uint8_t { Integer = 0, Font, Point, String, Picture, Color };
inline constexpr const char* kind_names[]
    = { "integer", "font", "point", "string", "picture", "color" };

struct Property {
    Kind kind { Kind::Integer };
    std::u16string name;
    std::uint32_t integer { 0 };
    std::u16string text; // font description or string
    std::int16_t x { 0 }, y { 0 };
    std::string picture; // picture name (file name without ".bmp")
    bool whole_picture {
        false
    }; // coordinates cover the whole picture, filled in once its size is known
    std::int32_t border[4] { 0, 0, 0,
        0 }; // left, top, right, bottom fixed parts, with whole_picture
    std::uint16_t coords[8] { 0, 0, 0, 0, 0, 0, 0, 0 };
    std::uint8_t flag { 0 };
    std::uint8_t red { 0 }, green { 0 }, blue { 0 };
    std::string where; // source path, for messages
};

struct Node {
    std::vector<Property> properties;
    std::vector<Node> children;
    std::string where;
};

struct Source {
    std::vector<std::pair<std::u16string, Node>> nodes; // top-level nodes by name
    // Picture name -> art file (PNG or 16-bit BMP), resolved against the source folder.
    std::map<std::string, std::string> art;
};

// Reads the JSON source. Throws CompileError naming the place and what is wrong.
Source read_source(const std::string& path);

std::u16string utf8_to_utf16(const std::string& text, const std::string& where);
std::string utf16_to_utf8(const std::u16string& text);

} // namespace skinc
