#pragma once

#include "device/screens/forms/Form.h"
#include "device/screens/forms/MessageForm.h"
#include "device/skin/widgets/EditElement.h"

#include <memory>

namespace corvane {

class Document;
class ListItemProvider;

// Log in, or register a new account on the same screen; remembers the last e-mail address in
// the settings. Main thread.
class LoginScreen final : public Form, public FormListener, private EditListener {
public:
    explicit LoginScreen(Document& document);
    ~LoginScreen() override;

    bool is_registration() const { return m_registration; }
    void set_registration(bool registration);
    // The typed password and name go; the e-mail stays.
    void clear_secrets();
    WString email() const;
    WString password() const;
    WString name() const;
    MessageForm& register_form() { return *m_register; }

    static constexpr const char16_t* settings_key = u"HKEY_CURRENT_USER\\Software\\Ulmar\\Corvane";

private:
    void bind_nodes() override;
    void refresh_after_reload() override;
    void on_button(ButtonElement& button) override;
    void form_button(Form& form, ButtonElement& button) override; // "Register"
    // EditListener: Enter in the last field does what the screen's main button does.
    void text_changed(EditElement&) override { }
    void key_pressed(EditElement& edit, const KeyEvent& event) override;
    void remember_email();
    void apply_mode();
    void ask_to_register();

    Document& m_document; // Owns us.
    std::unique_ptr<MessageForm> m_register;
    bool m_registration { false };
    WString m_email; // kept across rebuilds, like the other typed texts
    WString m_password;
    WString m_name;
    EditElement* m_email_edit { nullptr }; // Not owned: our elements.
    EditElement* m_password_edit { nullptr };
    EditElement* m_name_edit { nullptr };
    ButtonElement* m_login { nullptr };
    ButtonElement* m_exit { nullptr };
    ButtonElement* m_regstart { nullptr };
    ButtonElement* m_regcancel { nullptr };
    ButtonElement* m_reg { nullptr };
};

// Shown over the screens when a call fails after the log-in: "retry" or "logout", with a
// busy mark while the engine works.
class ProblemScreen final : public Form {
public:
    explicit ProblemScreen(Document& document);
    void set_busy(bool busy);
    // Says how many changes wait to be sent ("pending", when the skin has it); hidden at 0.
    void set_pending(std::size_t count);

private:
    void bind_nodes() override;
    void refresh_after_reload() override
    {
        set_busy(m_busy);
        set_pending(m_pending_count);
    }
    void on_button(ButtonElement& button) override;
    void show_text();

    // A failure after "retry" would look like nothing happened: the text says it tried again.
    enum class Attempt { None, Trying, FailedAgain };
    Attempt m_attempt { Attempt::None };
    Document& m_document; // Owns us.
    ButtonElement* m_logout { nullptr }; // Not owned: our elements.
    ButtonElement* m_retry { nullptr };
    Element* m_wait { nullptr };
    Element* m_pending { nullptr };
    Element* m_text { nullptr }; // optional in the skin
    bool m_busy { false };
    std::size_t m_pending_count { 0 };
};

// The About screen: the program's name and version and two links.
class AboutContainer final : public Form {
public:
    explicit AboutContainer(Document& document);
    ~AboutContainer() override;

private:
    class TopRow;
    void bind_nodes() override;
    void on_button(ButtonElement& button) override;

    Document& m_document; // Owns us.
    ButtonElement* m_back { nullptr };
    std::unique_ptr<ListItemProvider> m_rows;
};

// Applies a new language or skin: once on screen it tells every form to rebuild, then leaves.
class SkinReloadForm final : public Form {
public:
    explicit SkinReloadForm(Properties& properties);
    void tick(double seconds) override;
    void set_active(ScreenState state) override;

private:
    bool m_pending { false };
};

} // namespace corvane
