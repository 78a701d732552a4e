#pragma once

#include "device/skin/widgets/ButtonElement.h"
#include "device/skin/widgets/VListElement.h"

#include <memory>
#include <vector>

namespace corvane {

class PopupMenu;
class Properties;
class TextElement;

// One entry of a menu, as the model gives it.
struct MenuItem {
    WString path; // identifies the item; its text (translated) unless `literal` is set
    WString literal_text;
    bool literal { false };
    WString node_name; // top-level skin node of the item; empty: the model's default
    bool enabled { true }; // a disabled item is built from node_name + "Disabled"
    bool separator { false };
    bool checked { false };
    friend bool operator==(const MenuItem&, const MenuItem&) = default;
};

struct MenuContent {
    WString caption;
    std::vector<MenuItem> items;
};

// What a menu shows, implemented by the screens. Not owned by the menu.
class MenuModel {
public:
    virtual ~MenuModel() = default;
    // The caption and items under a path; no items closes the menu (a leaf did its action).
    virtual MenuContent items(PopupMenu& menu, WStringView path) = 0;
    virtual WString default_item_node() const = 0;
    // The user closed the menu without choosing.
    virtual void cancelled(PopupMenu& menu) { (void)menu; }
    // One of "About", "Help", "Minimize", "Exit" of the "Magic4Buttons" item was clicked.
    virtual void special_clicked(PopupMenu& menu, WStringView name) { (void)menu, (void)name; }
};

// Puts the menu's form on screen. The application implements it over its screen stack.
class MenuFormHost {
public:
    virtual ~MenuFormHost() = default;
    // A new, empty form element whose key events go to menu.key_event first.
    virtual std::unique_ptr<Element> create_form(PopupMenu& menu) = 0;
    virtual void show_form(Element& form) = 0; // as an overlay, animated
    virtual void bring_forward(Element& form) = 0;
    virtual void close_form(Element& form) = 0;
};

// A caption over a scrolling list of items built from skin nodes; activating an item opens its
// path, which may be a submenu or an action. Main thread.
class PopupMenu final : public ListItemProvider, public ButtonHandler {
public:
    // Builds the form from the top-level node `form_node`: NodeNotFoundInSkin when it is
    // missing, NodeNotFound when it lacks "panel" or "vlist". All three must outlive the menu.
    PopupMenu(Properties& properties, WStringView form_node, MenuModel& model, MenuFormHost& host);
    ~PopupMenu() override;
    PopupMenu(const PopupMenu&) = delete;
    PopupMenu& operator=(const PopupMenu&) = delete;

    void show(WStringView path, WStringView caption, bool root);
    // Cancel: tells the model, then closes.
    void cancel();
    // Backspace closes; other keys go to the list. Answers whether the key was taken.
    bool key_event(const KeyEvent& event);

    Element& form() const { return *m_form; }
    VListElement& list() const { return *m_list; }
    Element& panel() const { return *m_panel; }
    const WString& path() const { return m_path; }
    const std::vector<MenuItem>& items() const { return m_items; }
    // "Magic4Buttons" items that lacked some of their four buttons.
    std::int32_t missing_special_buttons() const { return m_missing_special; }

    void activated(VListElement& list, std::int32_t index) override;
    std::unique_ptr<Element> create_item(VListElement& list, std::int32_t index) override;
    void clicked(ButtonElement& button, Point point, std::int32_t flag) override;

private:
    Properties& m_properties;
    MenuModel& m_model;
    MenuFormHost& m_host;
    std::unique_ptr<Element> m_form;
    Element* m_panel { nullptr }; // Not owned: elements of the form.
    TextElement* m_caption { nullptr };
    VListElement* m_list { nullptr };
    ButtonElement* m_cancel { nullptr };
    WString m_path;
    std::vector<MenuItem> m_items;
    std::int32_t m_missing_special { 0 };
};

} // namespace corvane
