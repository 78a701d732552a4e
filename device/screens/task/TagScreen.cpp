#include "device/screens/task/TagScreen.h"

#include "device/screens/task/TaskEditorListener.h"
#include "device/skin/widgets/EditElement.h"

namespace corvane {

TagScreen::TagScreen(Properties& properties, TaskEditorListener& listener)
    : ListForm(properties, u"Tag", u"ComboSeparator", u"ComboElement", 1, nullptr)
    , m_listener(listener)
{
    set_owner(this);
    build();
    fill();
}

TagScreen::~TagScreen()
{
    if (m_edit)
        m_edit->set_listener(nullptr);
}

void TagScreen::bind_nodes()
{
    ListForm::bind_nodes();
    m_save = &require_button(u"save");
    m_edit = &require<EditElement>(u"edit");
    m_edit->set_listener(this);
}

void TagScreen::refresh_after_reload()
{
    fill();
    m_edit->set_text(m_text);
    show_element(m_save, m_text != m_opening);
    if (is_open())
        m_edit->begin_editing();
}

void TagScreen::open(WStringView tag, const std::vector<WString>& tags)
{
    m_opening = WString(tag);
    m_text = m_opening;
    m_tags = tags;
    fill();
    m_edit->set_text(m_text);
    show_element(m_save, false);
    show(false, true);
    m_edit->begin_editing();
}

void TagScreen::set_tags(const std::vector<WString>& tags)
{
    if (tags == m_tags)
        return;
    m_tags = tags;
    fill();
}

bool TagScreen::is_save_shown() const
{
    return m_save && m_save->is_visible();
}

void TagScreen::set_current_text(WStringView text)
{
    m_edit->set_text(text);
}

void TagScreen::fill()
{
    ListSection section;
    section.header = u"TagLabel";
    section.visible = !m_tags.empty(); // no header over an empty list
    for (std::size_t i = 0; i < m_tags.size(); ++i) {
        ListRow row;
        row.text = m_tags[i];
        row.id = static_cast<std::int32_t>(i);
        section.rows.push_back(std::move(row));
    }
    set_sections({ std::move(section) });
}

void TagScreen::text_changed(EditElement& edit)
{
    m_text = edit.value();
    show_element(m_save, m_text != m_opening);
}

void TagScreen::row_pressed(ListForm&, std::int32_t, std::int32_t row)
{
    if (row >= 0 && static_cast<std::size_t>(row) < m_tags.size())
        m_edit->set_text(m_tags[static_cast<std::size_t>(row)]);
}

void TagScreen::on_button(ButtonElement& button)
{
    if (&button == m_save) {
        m_edit->end_editing();
        WString tag = m_text;
        close(true);
        m_listener.tag_chosen(tag);
        return;
    }
    if (&button == m_back)
        m_edit->end_editing();
    ListForm::on_button(button);
}

} // namespace corvane
