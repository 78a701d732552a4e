#pragma once

#include "common/base/Text.h"

#include <cstdint>

namespace corvane {

class ButtonElement;
class Element;
class MultiNodeElement;
class TextElement;

// One row of a grouped property list: a button whose text is the caption, with a value text
// "#value_text", a "more" arrow, a check mark and a background whose state index is the row's
// place in its group. Binds the row's children; does not own them. Main thread.
class PropertyRow {
public:
    // Where the row sits in its group of rows, which picks the background's rounded corners.
    enum Style : std::int32_t { Alone = 0, First = 1, Middle = 2, Last = 3 };

    PropertyRow() = default;
    // Throws NodeNotFound for a missing "more_n", "check_n", "back_d" or "back_n".
    void bind(ButtonElement& button, bool show_more, bool show_check, std::int32_t style);
    bool is_bound() const { return m_button != nullptr; }
    ButtonElement* button() const { return m_button; }

    void set_caption(WStringView caption);
    void set_value(WStringView value);
    WString value() const;
    void set_more(bool shown);
    void set_check(bool shown);
    void set_style(std::int32_t style);
    void set_enabled(bool enabled);
    // The "icon_place_" nodes, hidden at binding.
    void set_icon_places(bool shown);

    // The background style of row `row` of `count` rows in one group.
    static std::int32_t style_for(std::size_t row, std::size_t count);

private:
    ButtonElement* m_button { nullptr };
    TextElement* m_value { nullptr };
    Element* m_more[2] { nullptr, nullptr };
    Element* m_check[2] { nullptr, nullptr };
    Element* m_back[3] { nullptr, nullptr, nullptr };
    Element* m_icon_places[3] { nullptr, nullptr, nullptr };
};

} // namespace corvane
