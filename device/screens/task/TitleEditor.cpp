#include "device/screens/task/TitleEditor.h"

#include "device/screens/task/TaskEditorListener.h"

namespace corvane {

TitleEditor::TitleEditor(Properties& properties, WString node, TaskEditorListener& listener)
    : Form(properties, std::move(node))
    , m_listener(listener)
{
    build();
}

TitleEditor::~TitleEditor()
{
    if (m_edit)
        m_edit->set_listener(nullptr);
}

void TitleEditor::bind_nodes()
{
    m_back = &require_button(u"back");
    m_save = &require_button(u"save");
    m_edit = &require<EditElement>(u"edit");
    m_edit->set_listener(this);
}

void TitleEditor::refresh_after_reload()
{
    m_edit->set_text(m_text);
    update_save();
    if (is_open())
        m_edit->begin_editing();
}

void TitleEditor::open(WStringView text)
{
    m_opening = WString(text);
    m_text = m_opening;
    m_edit->set_text(m_text);
    show_element(m_save, false);
    show(false, true);
    m_edit->begin_editing();
}

bool TitleEditor::is_save_shown() const
{
    return m_save && m_save->is_visible();
}

void TitleEditor::set_current_text(WStringView text)
{
    m_edit->set_text(text);
    text_changed(*m_edit);
}

void TitleEditor::text_changed(EditElement& edit)
{
    m_text = edit.value();
    update_save();
}

void TitleEditor::update_save()
{
    show_element(m_save, m_text != m_opening);
}

void TitleEditor::on_button(ButtonElement& button)
{
    if (&button == m_back) {
        m_edit->end_editing();
        close(true);
        m_listener.text_abandoned(*this);
    } else if (&button == m_save) {
        m_edit->end_editing();
        WString text = m_text;
        close(true);
        m_listener.text_saved(*this, text);
    }
}

} // namespace corvane
