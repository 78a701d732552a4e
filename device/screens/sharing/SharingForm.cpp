#include "device/screens/sharing/SharingForm.h"

#include "device/skin/widgets/EditElement.h"

namespace corvane {

SharingForm::SharingForm(Properties& properties, ListFormOwner* owner)
    : ListForm(properties, u"Sharing", u"ComboSeparator", u"SharingElementPress", 4, owner)
{
    build();
}

void SharingForm::bind_nodes()
{
    ListForm::bind_nodes();
    bind_extras();
}

void SharingForm::bind_extras()
{
    m_plus = &require_button(u"plus");
    m_email = &require<EditElement>(u"email");
    m_wait = &require<Element>(u"wait");
    m_invite_to = &require<Element>(u"invite_to");
    set_invitation(m_invite_shown, m_invite_text);
    set_waiting(m_waiting);
}

void SharingForm::set_invitation(bool shown, WStringView invite_text)
{
    m_invite_shown = shown;
    m_invite_text = WString(invite_text);
    if (!m_plus)
        return;
    show_element(m_email, shown);
    show_element(m_plus, shown);
    show_element(m_invite_to, shown);
    if (shown && element_text(m_invite_to) != m_invite_text)
        set_element_text(m_invite_to, m_invite_text);
}

void SharingForm::set_waiting(bool waiting)
{
    m_waiting = waiting;
    if (!m_wait)
        return;
    show_element(m_wait, waiting);
    if (VListElement* list_element = list().list();
        list_element && list_element->is_enabled() == waiting)
        list_element->set_enabled(!waiting);
}

WString SharingForm::email() const
{
    return m_email ? m_email->value() : WString();
}

void SharingForm::set_email(WStringView text)
{
    if (m_email)
        m_email->set_text(text);
}

} // namespace corvane
