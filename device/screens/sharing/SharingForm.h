#pragma once

#include "device/screens/forms/ListForm.h"

namespace corvane {

class EditElement;

// The list form of the user list: the list form's nodes plus the e-mail invitation ("plus",
// "email", "invite_to") and the "wait" mark of a permission change in flight. It keeps what it
// shows, so a skin or language reload shows the same again. Main thread.
class SharingForm final : public ListForm {
public:
    SharingForm(Properties& properties, ListFormOwner* owner);

    // "email", "plus" and "invite_to" are shown only while inviting is possible.
    void set_invitation(bool shown, WStringView invite_text);
    // "wait" shows, and the list refuses input, while a change is in flight.
    void set_waiting(bool waiting);
    bool is_waiting() const { return m_waiting; }

    WString email() const;
    void set_email(WStringView text);
    ButtonElement& plus() const { return *m_plus; }
    Element& wait_node() const { return *m_wait; }
    Element& invite_to() const { return *m_invite_to; }
    EditElement& email_edit() const { return *m_email; }

protected:
    void bind_nodes() override;

private:
    void bind_extras();

    ButtonElement* m_plus { nullptr }; // Not owned: our elements, rebound after a reload.
    EditElement* m_email { nullptr };
    Element* m_wait { nullptr };
    Element* m_invite_to { nullptr };
    bool m_invite_shown { false };
    WString m_invite_text;
    bool m_waiting { false };
};

} // namespace corvane
