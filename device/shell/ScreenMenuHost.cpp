#include "device/shell/ScreenMenuHost.h"

#include "device/shell/Application.h"
#include "device/shell/Screen.h"

namespace corvane {

namespace {

    class MenuScreen final : public Screen {
    public:
        explicit MenuScreen(PopupMenu& menu)
            : m_menu(menu)
        {
        }
        bool key_event(const KeyEvent& event) override { return m_menu.key_event(event); }

    private:
        PopupMenu& m_menu; // Owns us.
    };

} // namespace

std::unique_ptr<Element> ScreenMenuHost::create_form(PopupMenu& menu)
{
    return std::make_unique<MenuScreen>(menu);
}

void ScreenMenuHost::show_form(Element& form)
{
    auto& screen = static_cast<Screen&>(form);
    if (!m_application.is_on_stack(screen))
        m_application.show_screen(screen, true, true);
}

void ScreenMenuHost::bring_forward(Element& form)
{
    show_form(form);
}

void ScreenMenuHost::close_form(Element& form)
{
    auto& screen = static_cast<Screen&>(form);
    if (m_application.is_on_stack(screen))
        m_application.close_screen(screen, true);
}

void ScreenMenuHost::remove(PopupMenu& menu)
{
    auto& screen = static_cast<Screen&>(menu.form());
    if (m_application.is_on_stack(screen))
        m_application.close_screen(screen, false);
}

} // namespace corvane
