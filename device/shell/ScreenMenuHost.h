#pragma once

#include "device/skin/widgets/PopupMenu.h"

namespace corvane {

class Application;

// Puts popup menus on the application's screen stack as animated overlays; the menu's form
// hands its keys to the menu first. Main thread.
class ScreenMenuHost final : public MenuFormHost {
public:
    explicit ScreenMenuHost(Application& application)
        : m_application(application)
    {
    }
    std::unique_ptr<Element> create_form(PopupMenu& menu) override;
    void show_form(Element& form) override;
    void bring_forward(Element& form) override;
    void close_form(Element& form) override;
    // Takes the menu's form off the stack at once (its owner is going away).
    void remove(PopupMenu& menu);

private:
    Application& m_application; // Outlives us.
};

} // namespace corvane
