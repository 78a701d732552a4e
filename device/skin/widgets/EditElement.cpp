#include "device/skin/widgets/EditElement.h"

#include "device/core/Clipboard.h"
#include "device/core/KeyCode.h"
#include "device/skin/render/RenderSurface.h"
#include "device/skin/skin/Properties.h"
#include "device/skin/widgets/EditHost.h"

#include <algorithm>

namespace corvane {

namespace {

    EditHost* s_host = nullptr;

    // A local host for programs and tests without an application: it only remembers.
    class StandaloneEditHost final : public EditHost {
    public:
        void set_edit(Element* element) override { m_edited = element; }
        Element* edited_element() const override { return m_edited; }

    private:
        Element* m_edited { nullptr };
    };

    EditHost& host()
    {
        static StandaloneEditHost standalone;
        return s_host ? *s_host : standalone;
    }

} // namespace

EditHost* edit_host()
{
    return s_host;
}

void set_edit_host(EditHost* host)
{
    s_host = host;
}

EditElement::~EditElement()
{
    // The host must never keep a pointer to a destroyed element.
    if (is_current())
        host().set_edit(nullptr);
}

void EditElement::load(Properties& properties, const Node& node)
{
    TextElement::load(properties, node);
    m_background = properties.get_color(node, u"background_color", Color { 0, 0, 0, 255 });
}

bool EditElement::is_current() const
{
    return host().edited_element() == this;
}

void EditElement::begin_editing()
{
    if (is_current())
        return;
    host().set_edit(this);
    mark_redraw();
}

void EditElement::end_editing()
{
    if (!is_current())
        return;
    host().set_edit(nullptr);
    mark_redraw();
}

void EditElement::set_text(WStringView text)
{
    WString shown = m_password ? WString(text.size(), u'*') : WString(text);
    if (WStringView(m_input.text()) == text && this->text() == shown)
        return;
    m_input.set_text(WString(text));
    set_shown_text(shown);
    if (m_listener)
        m_listener->text_changed(*this);
}

void EditElement::set_password(bool on)
{
    if (m_password == on)
        return;
    m_password = on;
    set_shown_text(on ? WString(m_input.text().size(), u'*') : m_input.text());
}

void EditElement::apply_input()
{
    std::size_t caret = m_input.caret();
    WString value = m_input.text();
    set_text(value);
    m_input.set_caret(caret);
    mark_redraw();
}

bool EditElement::paste()
{
    ClipboardReader reader(ClipboardFormat::UnicodeText);
    if (!reader.has_data())
        return false;
    WString pasted;
    for (std::uint32_t i = 0; i + 1 < reader.size(); i += 2) {
        auto unit = static_cast<char16_t>(reader.data()[i] | (reader.data()[i + 1] << 8));
        if (unit == 0)
            break;
        pasted.push_back(unit);
    }
    m_input.insert(pasted, is_multi_line());
    apply_input();
    return true;
}

bool EditElement::pointer_event(const PointerEvent& event)
{
    if (event.pressed)
        begin_editing();
    return true;
}

bool EditElement::key_event(const KeyEvent& event)
{
    if (!is_current())
        return TextElement::key_event(event);
    auto code = KeyCode(event.code);
    if (code == KeyCode::Ctrl) {
        m_ctrl_down = event.pressed;
        return true;
    }
    if (code == KeyCode::Shift) {
        m_shift_down = event.pressed;
        return true;
    }
    if (code == KeyCode::Tab) {
        if (event.pressed)
            move_focus(m_shift_down ? Direction::Backward : Direction::Forward);
        return true;
    }
    invalidate_measures();
    bool handled = true;
    if (event.pressed) {
        WString before = m_input.text();
        std::size_t caret = m_input.caret();
        switch (code) {
        case KeyCode::Backspace:
            m_input.erase_before();
            break;
        case KeyCode::Del:
            m_input.erase_after();
            break;
        case KeyCode::Left:
            m_input.move_left();
            break;
        case KeyCode::Right:
            m_input.move_right();
            break;
        case KeyCode::Home:
            m_input.move_home();
            break;
        case KeyCode::End:
            m_input.move_end();
            break;
        case KeyCode::Enter:
            if (is_multi_line())
                m_input.insert(u"\n", true);
            else
                handled = false;
            break;
        default:
            if (m_ctrl_down && code == KeyCode(static_cast<std::int32_t>(KeyCode::A) + ('V' - 'A')))
                paste();
            else
                handled = code >= KeyCode::A && code <= KeyCode::Digit9;
            break;
        }
        if (m_input.text() != before)
            apply_input();
        else if (m_input.caret() != caret)
            mark_redraw();
    }
    if (m_listener)
        m_listener->key_pressed(*this, event);
    return handled;
}

bool EditElement::char_event(WStringView text)
{
    if (!is_current())
        return false;
    if (m_ctrl_down)
        return true; // Ctrl+letter is a command, not text
    m_input.insert(text, is_multi_line());
    apply_input();
    return true;
}

void EditElement::move_focus(Direction direction)
{
    Element* screen = this;
    while (screen->parent())
        screen = screen->parent();
    std::vector<EditElement*> edits;
    auto collect = [&](auto& self, Element& element) -> void {
        if (!element.is_displayed())
            return;
        if (auto* edit = dynamic_cast<EditElement*>(&element))
            edits.push_back(edit);
        for (const auto& child : element.children())
            self(self, *child);
    };
    collect(collect, *screen);
    auto here = std::find(edits.begin(), edits.end(), this);
    if (edits.size() < 2 || here == edits.end())
        return;
    std::size_t index = static_cast<std::size_t>(here - edits.begin());
    std::size_t next = direction == Direction::Forward ? (index + 1) % edits.size()
                                                       : (index + edits.size() - 1) % edits.size();
    // The modifiers stay with the keyboard, not with the edit that saw them go down.
    edits[next]->m_shift_down = m_shift_down;
    edits[next]->m_ctrl_down = m_ctrl_down;
    m_shift_down = false;
    m_ctrl_down = false;
    mark_redraw();
    edits[next]->begin_editing();
}

void EditElement::visibility_changed(bool shown)
{
    TextElement::visibility_changed(shown);
    if (!shown)
        end_editing();
}

// A single line wider than the edit: the part around the caret is shown, and the view moves only
// as far as the caret needs, so typing at the end keeps the last characters in sight.
void EditElement::draw_scrolled_line(RenderSurface& surface, Point origin)
{
    std::vector<std::int32_t> extents;
    Size extent = text_extent(font().get(), text(), -1, &extents);
    std::size_t caret = std::min(m_input.caret(), text().size());
    std::int32_t caret_x = caret == 0 || extents.empty() ? 0 : extents[caret - 1];
    std::int32_t room = std::max(width() - 1, 1); // the caret's own column must fit
    std::int32_t most = std::max(extent.width - room, 0);
    std::int32_t low = std::max(caret_x - room, 0);
    m_scroll_x
        = std::clamp(m_scroll_x, std::min(low, most), std::max(std::min(caret_x, most), low));
    Element::draw(surface, origin);
    Rect saved = surface.push_clip(origin, size());
    std::int32_t left = origin.x - m_scroll_x;
    draw_text(font().get(), surface, color(), text(), { left, first_line_top(origin) },
        { extent.width + 1, extent.height }, HorizontalAlignment::Left, VerticalAlignment::Top,
        TextEllipsis::None);
    surface.fill_color({ left + caret_x, first_line_top(origin) }, { 1, extent.height }, color());
    surface.pop_clip(saved);
}

void EditElement::draw(RenderSurface& surface, Point origin)
{
    if (is_current() && !is_multi_line() && single_line_extent().width >= width()) {
        draw_scrolled_line(surface, origin);
        return;
    }
    m_scroll_x = 0;
    TextElement::draw(surface, origin);
    if (!is_current())
        return;
    // The caret: a line as high as the text, just before the character at the insertion point.
    const std::vector<Line>& all = lines();
    std::vector<std::int32_t> extents;
    Size extent = text_extent(font().get(), text(), -1, &extents);
    auto width_to = [&](std::size_t end) {
        return end == 0 || extents.empty() ? 0 : extents[std::min(end, extents.size()) - 1];
    };
    std::size_t caret = std::min(m_input.caret(), text().size());
    std::size_t index = 0;
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (all[i].start <= caret)
            index = i;
    }
    const Line& line = all[index];
    std::int32_t line_width = width_to(line.start + line.length) - width_to(line.start);
    std::int32_t left = line_left(origin, line_width);
    std::int32_t caret_x = left + width_to(caret) - width_to(line.start);
    std::int32_t top = first_line_top(origin) + extent.height * static_cast<std::int32_t>(index);
    Rect saved = surface.push_clip(origin, size());
    surface.fill_color(
        { std::min(caret_x, origin.x + width() - 1), top }, { 1, extent.height }, color());
    surface.pop_clip(saved);
}

} // namespace corvane
