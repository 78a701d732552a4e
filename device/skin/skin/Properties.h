#pragma once

#include "common/base/Text.h"
#include "device/skin/render/Bitmap.h"
#include "device/skin/render/Color.h"
#include "device/skin/render/FontRep.h"
#include "device/skin/render/Geometry.h"
#include "device/skin/skin/Node.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace corvane {

class ReloadListener;
struct DisplayInfo;
struct SkinContent;

// The loaded skin and the current language table. One object lives for the whole run; each
// successful load replaces the skin as a whole, and a failed one leaves the previous skin in
// force. Elements copy what they read (fonts and bitmaps are shared handles), so elements built
// from an earlier skin stay valid. Main thread only.
class Properties {
public:
    Properties();
    ~Properties();
    Properties(const Properties&) = delete;
    Properties& operator=(const Properties&) = delete;

    // Loads the compiled skin at `path` (already expanded) with its pictures and fonts. A file
    // that is unreadable, truncated or breaks any bound of the format fails with a log line.
    [[nodiscard]] bool load_skin(WStringView path, const DisplayInfo& display);
    bool is_loaded() const { return m_content != nullptr; }
    const WString& skin_path() const { return m_skin_path; }
    std::int32_t scale_shift() const;

    // The top-level node of that name, or nothing.
    std::optional<Node> find_node(WStringView name) const;

    // Typed look-ups. Each searches only the array of its own kind, so an integer and a string
    // may share a name. Points and picture coordinates come back scaled.
    std::uint32_t get_integer(const Node& node, WStringView name, std::uint32_t fallback) const;
    const Font& get_font(const Node& node, WStringView name, const Font& fallback) const;
    Point get_point(const Node& node, WStringView name, Point fallback) const;
    // The string as stored in the skin; pass empty_string() for a missing string to read empty.
    const WString& get_string(const Node& node, WStringView name, const WString& fallback) const;
    ImageRef get_picture(const Node& node, WStringView name, const ImageRef& fallback) const;
    // Colours from the skin always have alpha 255.
    Color get_color(const Node& node, WStringView name, Color fallback) const;

    bool has_integers(const Node& node) const;
    bool has_points(const Node& node) const;

    std::uint32_t child_count(const Node& node) const;
    Node child(const Node& node, std::uint32_t index) const;

    // The tables of the loaded skin, in file order.
    std::size_t picture_count() const;
    const ImageRef& picture(std::size_t index) const;
    std::size_t font_count() const;
    const Font& font(std::size_t index) const;

    // Reload listeners are not owned; they remove themselves before they are destroyed.
    void add_reload_listener(ReloadListener& listener);
    void remove_reload_listener(ReloadListener& listener);
    // Tells every listener, in registration order, that the skin changed.
    void send_reload_skin();

    // The current language: key to text, and the file it came from (empty before any load).
    using LanguageTable = std::map<WString, WString, std::less<>>;
    const LanguageTable& language_table() const { return m_language; }
    const WString& language_path() const { return m_language_path; }
    void set_language(LanguageTable table, WString path);

    // The program's shared empty string, the usual fallback of get_string.
    static const WString& empty_string();
    // The shared empty font handle.
    static const Font& no_font();

private:
    std::unique_ptr<SkinContent> m_content;
    WString m_skin_path;
    std::vector<ReloadListener*> m_listeners; // Not owned.
    LanguageTable m_language;
    WString m_language_path;
};

} // namespace corvane
