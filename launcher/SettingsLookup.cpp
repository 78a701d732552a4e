#include "launcher/SettingsLookup.h"

#include "launcher/Text.h"

#include <vector>

namespace lumbra {

namespace {

    struct Piece {
        std::u16string text;
        bool inserted { false }; // Came from a replacement: never searched again.
    };

    void replace_in_pieces(
        std::vector<Piece>& pieces, std::u16string_view name, std::u16string_view replacement)
    {
        std::vector<Piece> result;
        for (Piece& piece : pieces) {
            if (piece.inserted) {
                result.push_back(std::move(piece));
                continue;
            }
            std::u16string_view rest = piece.text;
            for (std::size_t at = rest.find(name); at != std::u16string_view::npos;
                 at = rest.find(name)) {
                if (at > 0)
                    result.push_back({ std::u16string(rest.substr(0, at)), false });
                result.push_back({ std::u16string(replacement), true });
                rest.remove_prefix(at + name.size());
            }
            if (!rest.empty())
                result.push_back({ std::u16string(rest), false });
        }
        pieces = std::move(result);
    }

} // namespace

std::u16string replace_macros(std::u16string_view value, const MacroValues& macros)
{
    std::vector<Piece> pieces { { std::u16string(value), false } };
    replace_in_pieces(pieces, u"$app.path$", macros.app_path);
    replace_in_pieces(pieces, u"$program files$", macros.program_files);
    replace_in_pieces(pieces, u"$common files$", macros.common_files);
    std::u16string out;
    for (const Piece& piece : pieces)
        out += piece.text;
    return out;
}

std::optional<std::u16string> find_raw_value(
    std::u16string_view text, std::u16string_view section, std::u16string_view key)
{
    std::u16string header = u"\r\n[" + std::u16string(section) + u"]";
    std::size_t header_at = find_ignoring_case(text, header);
    if (header_at == std::u16string_view::npos)
        return std::nullopt;
    std::size_t after_header = header_at + header.size();

    std::size_t section_end = text.find(u"\r\n[", after_header);
    if (section_end == std::u16string_view::npos)
        section_end = text.size();

    std::u16string key_line = u"\r\n" + std::u16string(key) + u"=";
    std::size_t key_at = find_ignoring_case(text, key_line, after_header);
    if (key_at == std::u16string_view::npos || key_at >= section_end)
        return std::nullopt;

    std::size_t value_start = key_at + key_line.size();
    std::size_t value_end = text.find(u"\r\n", key_at + 2);
    if (value_end == std::u16string_view::npos)
        value_end = text.size();
    if (value_end <= value_start)
        return std::u16string();
    return std::u16string(text.substr(value_start, value_end - value_start));
}

} // namespace lumbra
