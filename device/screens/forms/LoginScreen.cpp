#include "device/screens/forms/LoginScreen.h"

#include "device/core/KeyCode.h"
#include "device/core/Registry.h"
#include "device/model/engine/Engine.h"
#include "device/screens/Document.h"
#include "device/shell/AppInfo.h"
#include "device/shell/Application.h"
#include "device/skin/skin/Properties.h"
#include "device/skin/widgets/EditElement.h"
#include "device/skin/widgets/VListElement.h"

#include <algorithm>

namespace corvane {

LoginScreen::LoginScreen(Document& document)
    : Form(document.properties(), u"Login")
    , m_document(document)
{
    // The remembered address is read once; typing changes it only for this run until used.
    (void)reg_read_string(settings_key, u"email", m_email);
    build();
    m_register = std::make_unique<MessageForm>(document.properties(), u"Register", this);
}

LoginScreen::~LoginScreen()
{
    if (m_password_edit)
        m_password_edit->set_listener(nullptr);
    if (m_name_edit)
        m_name_edit->set_listener(nullptr);
}

void LoginScreen::bind_nodes()
{
    m_email_edit = &require<EditElement>(u"email");
    m_password_edit = &require<EditElement>(u"password");
    m_name_edit = &require<EditElement>(u"name");
    m_login = &require_button(u"login");
    m_exit = &require_button(u"exit");
    m_regstart = &require_button(u"regstart");
    m_regcancel = &require_button(u"regcancel");
    m_reg = &require_button(u"reg");
    m_password_edit->set_password(true);
    m_password_edit->set_listener(this);
    m_name_edit->set_listener(this);
    m_email_edit->set_text(m_email);
    apply_mode();
}

void LoginScreen::refresh_after_reload()
{
    // A rebuild must not lose what the user typed.
    m_password_edit->set_text(m_password);
    m_name_edit->set_text(m_name);
}

void LoginScreen::set_registration(bool registration)
{
    m_registration = registration;
    apply_mode();
}

void LoginScreen::apply_mode()
{
    show_element(m_name_edit, m_registration);
    show_element(m_reg, m_registration);
    show_element(m_login, !m_registration);
    show_element(m_regstart, !m_registration);
    show_element(m_regcancel, m_registration);
}

void LoginScreen::clear_secrets()
{
    m_password.clear();
    m_name.clear();
    if (m_password_edit)
        m_password_edit->set_text(u"");
    if (m_name_edit)
        m_name_edit->set_text(u"");
}

WString LoginScreen::email() const
{
    return m_email_edit ? m_email_edit->value() : m_email;
}

WString LoginScreen::password() const
{
    return m_password_edit ? m_password_edit->value() : WString();
}

WString LoginScreen::name() const
{
    return m_name_edit ? m_name_edit->value() : WString();
}

void LoginScreen::remember_email()
{
    m_email = email();
    (void)reg_write_string(settings_key, u"email", m_email);
}

void LoginScreen::on_button(ButtonElement& button)
{
    if (&button == m_exit) {
        m_document.save();
        m_document.application().quit();
    } else if (&button == m_login) {
        remember_email();
        m_document.log_in(m_email, password(), u"");
    } else if (&button == m_regstart) {
        m_password = password();
        m_name = name();
        set_registration(true);
    } else if (&button == m_regcancel) {
        m_password = password();
        m_name = name();
        set_registration(false);
    } else if (&button == m_reg) {
        ask_to_register();
    }
}

void LoginScreen::ask_to_register()
{
    m_password = password();
    m_name = name();
    // Without a name the service would be asked to log in instead, and would answer a question
    // the user did not ask.
    if (std::all_of(m_name.begin(), m_name.end(), [](char16_t c) { return c <= u' '; })) {
        if (m_name_edit)
            m_name_edit->begin_editing();
        m_document.show_message(u"ERROR_EMPTY_NAME");
        return;
    }
    m_register->set_text(
        replace_placeholder(m_document.text(u"RegisterText"), u"%email%", email()));
    m_register->show(true, true);
}

void LoginScreen::key_pressed(EditElement& edit, const KeyEvent& event)
{
    if (!event.pressed || KeyCode(event.code) != KeyCode::Enter || !is_open())
        return;
    if (!m_registration && &edit == m_password_edit)
        on_button(*m_login);
    else if (m_registration)
        ask_to_register();
}

void LoginScreen::form_button(Form&, ButtonElement& button)
{
    if (!m_register->is_ok(button))
        return;
    remember_email();
    m_document.log_in(m_email, password(), name());
}

ProblemScreen::ProblemScreen(Document& document)
    : Form(document.properties(), u"Problem")
    , m_document(document)
{
    build();
}

void ProblemScreen::bind_nodes()
{
    m_logout = &require_button(u"logout");
    m_retry = &require_button(u"retry");
    m_wait = &require<Element>(u"wait");
    m_pending = optional<Element>(u"pending");
    m_text = optional<Element>(u"text");
    show_element(m_wait, m_busy);
    show_text();
}

void ProblemScreen::set_pending(std::size_t count)
{
    m_pending_count = count;
    if (!m_pending)
        return;
    show_element(m_pending, count != 0);
    set_element_text(m_pending,
        replace_placeholder(
            m_document.text(u"PendingCount"), u"%count%", to_wstring(std::uint64_t(count))));
}

void ProblemScreen::set_busy(bool busy)
{
    if (!busy && m_busy && m_attempt == Attempt::Trying)
        m_attempt = Attempt::FailedAgain; // a success closes the screen before it is seen
    m_busy = busy;
    show_element(m_wait, busy);
    show_text();
}

void ProblemScreen::show_text()
{
    if (!is_open() && m_attempt != Attempt::None && !m_busy)
        m_attempt = Attempt::None; // a new problem starts with the plain text
    if (!m_text)
        return;
    const char16_t* key = m_attempt == Attempt::Trying ? u"ProblemTrying"
        : m_attempt == Attempt::FailedAgain            ? u"ProblemFailedAgain"
                                                       : u"ProblemText";
    set_element_text(m_text, m_document.text(key));
}

void ProblemScreen::on_button(ButtonElement& button)
{
    Engine& engine = m_document.engine();
    if (&button == m_retry) {
        m_attempt = Attempt::Trying;
        show_text();
        engine.request_news();
        if (!engine.is_busy())
            engine.retry();
    } else if (&button == m_logout) {
        m_document.log_out(Document::LogoutFrom::ProblemScreen);
    }
}

// The first and only row of the About list.
class AboutContainer::TopRow final : public ListItemProvider, public ButtonHandler {
public:
    explicit TopRow(Document& document)
        : m_document(document)
    {
    }
    void activated(VListElement&, std::int32_t) override { }
    std::unique_ptr<Element> create_item(VListElement&, std::int32_t index) override
    {
        if (index != 0)
            return nullptr;
        auto row = std::make_unique<Element>();
        build_from_node_or_throw(*row, m_document.properties(), u"AboutElementTop");
        // The name and version are the program's own; the line under them is the skin's.
        set_element_text(&Form::require_in<Element>(*row, u"app"), app_info.name);
        set_element_text(&Form::require_in<Element>(*row, u"version"),
            replace_placeholder(m_document.text(u"AboutVersion"), u"%name%", app_info.version));
        (void)Form::require_in<Element>(*row, u"portal");
        m_portal = &Form::require_in<ButtonElement>(*row, u"btn_portal");
        m_ulmar = &Form::require_in<ButtonElement>(*row, u"ulmar");
        m_portal->set_handler(this);
        m_ulmar->set_handler(this);
        return row;
    }
    void clicked(ButtonElement& button, Point, std::int32_t) override
    {
        if (&button == m_portal)
            m_document.open_url(m_document.text(u"LOGO_URL"));
        else if (&button == m_ulmar)
            m_document.open_url(m_document.text(u"ULMAR_LOGO_URL"));
    }

private:
    Document& m_document;
    ButtonElement* m_portal { nullptr }; // Not owned: elements of the live row.
    ButtonElement* m_ulmar { nullptr };
};

AboutContainer::AboutContainer(Document& document)
    : Form(document.properties(), u"About")
    , m_document(document)
    , m_rows(std::make_unique<TopRow>(document))
{
    build();
}

AboutContainer::~AboutContainer()
{
    if (auto* list = optional<VListElement>(u"list"))
        list->set_provider(nullptr);
}

void AboutContainer::bind_nodes()
{
    m_back = &require_button(u"back");
    Element& panel = require<Element>(u"about_panel");
    auto& list = require_in<VListElement>(panel, u"list");
    list.set_provider(m_rows.get());
    list.set_count(1);
}

void AboutContainer::on_button(ButtonElement& button)
{
    if (&button == m_back)
        close(true);
}

SkinReloadForm::SkinReloadForm(Properties& properties)
    : Form(properties, u"SkinReload")
{
    // The form has no node of its own in skins made before it existed: it stays empty then.
    if (properties.find_node(node()))
        build();
    set_id(node());
}

void SkinReloadForm::set_active(ScreenState state)
{
    Form::set_active(state);
    // The stack makes the form active just before it is on the stack: act at the next tick.
    if (state != ScreenState::Inactive)
        m_pending = true;
}

void SkinReloadForm::tick(double seconds)
{
    Form::tick(seconds);
    if (!m_pending || !is_open())
        return;
    m_pending = false;
    properties().send_reload_skin();
    close(true);
}

} // namespace corvane
