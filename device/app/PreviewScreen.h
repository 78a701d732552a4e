#pragma once

#include "device/shell/Screen.h"
#include "device/shell/ScreenMenuHost.h"
#include "device/skin/widgets/DateTimePicker.h"
#include "device/skin/widgets/EditHost.h"
#include "device/skin/widgets/PopupMenu.h"
#include "device/skin/widgets/VListElement.h"

#include <memory>
#include <vector>

namespace corvane {

class Application;
class Properties;

// Text entry through the application's edit overlay.
class ApplicationEditHost final : public EditHost {
public:
    explicit ApplicationEditHost(Application& application)
        : m_application(application)
    {
    }
    void set_edit(Element* element) override;
    Element* edited_element() const override;

private:
    Application& m_application; // Outlives us.
};

// One top-level node of a skin shown as the only screen, for skin authors and widget tests.
// So that the node can be tried out, the preview fills what a screen would: every list gets
// 50 sample rows (from the node "ListRow" when the skin has one), the drums "year" to "minute"
// show a date (items from "SpinnerElementDate"), and a button "menu_button" opens the node
// "Menu" as a popup menu. Activations and picks show in a text element "status". Main thread.
class PreviewScreen final : public Screen,
                            private ListItemProvider,
                            private ButtonHandler,
                            private DateTimePickerListener,
                            private MenuModel {
public:
    // Throws the skin errors when the node is missing or broken.
    PreviewScreen(Application& application, Properties& properties, WString node);
    ~PreviewScreen() override;

    const WString& node() const { return m_node; }
    PopupMenu* menu() const { return m_menu.get(); }

    static constexpr std::int32_t sample_rows = 50;

private:
    void set_status(WStringView text);

    void activated(VListElement& list, std::int32_t index) override;
    std::unique_ptr<Element> create_item(VListElement& list, std::int32_t index) override;
    void clicked(ButtonElement& button, Point point, std::int32_t flag) override;
    void changed(DateTimePicker& picker, std::int32_t drum) override;
    MenuContent items(PopupMenu& menu, WStringView path) override;
    WString default_item_node() const override { return u"MenuElement"; }
    void cancelled(PopupMenu& menu) override;

    Application& m_application;
    Properties& m_properties;
    WString m_node;
    std::vector<VListElement*> m_lists; // Not owned: our elements.
    std::unique_ptr<DateTimePicker> m_picker;
    ScreenMenuHost m_menu_host;
    std::unique_ptr<PopupMenu> m_menu;
};

} // namespace corvane
