#include "WidgetTestSupport.h"

#include "device/core/KeyCode.h"
#include "device/skin/skin/SkinErrors.h"
#include "device/skin/widgets/DateTimePicker.h"
#include "device/skin/widgets/PopupMenu.h"

#include <functional>
#include <tuple>

using namespace corvane;
using namespace corvane::test;

namespace {

MenuItem entry(WString path, WString literal_text = {})
{
    MenuItem item;
    item.path = std::move(path);
    item.literal = !literal_text.empty();
    item.literal_text = std::move(literal_text);
    return item;
}

// A two-level menu: "Root" holds a submenu, a disabled item, the four special buttons and a
// leaf; "Sub" holds one leaf. Leaves have no items.
struct Model : MenuModel {
    MenuContent items(PopupMenu&, WStringView path) override
    {
        asked.emplace_back(path);
        if (path == u"Root") {
            MenuItem disabled = entry(u"Off");
            disabled.enabled = false;
            disabled.node_name = u"MenuElement";
            MenuItem special = entry(u"Magic4Buttons");
            special.node_name = magic_node;
            MenuItem checked = entry(u"Checked");
            checked.checked = true;
            return { u"", { entry(u"Sub"), disabled, special, entry(u"Leaf"), checked } };
        }
        if (path == u"Sub")
            return { u"", { entry(u"SubLeaf", u"Literal") } };
        return {};
    }
    WString default_item_node() const override { return u"MenuElement"; }
    void cancelled(PopupMenu&) override { ++cancels; }
    void special_clicked(PopupMenu&, WStringView name) override { specials.emplace_back(name); }

    std::vector<WString> asked;
    std::vector<WString> specials;
    WString magic_node { u"MenuMagic" };
    int cancels = 0;
};

struct Host : MenuFormHost {
    std::unique_ptr<Element> create_form(PopupMenu&) override
    {
        return std::make_unique<Element>();
    }
    void show_form(Element& form) override
    {
        form.set_x(0, 240);
        form.set_y(0, 320);
        ++shows;
    }
    void bring_forward(Element&) override { ++forwards; }
    void close_form(Element&) override { ++closes; }
    int shows = 0;
    int forwards = 0;
    int closes = 0;
};

class Menus : public WidgetTest {
protected:
    PopupMenu& open()
    {
        menu = std::make_unique<PopupMenu>(properties, u"Menu", model, host);
        menu->show(u"Root", u"", true);
        menu->list().tick(0.01);
        menu->form().relayout_root();
        return *menu;
    }

    Model model;
    Host host;
    std::unique_ptr<PopupMenu> menu;
};

} // namespace

// The root menu opens as an overlay with the translated path as caption, one list item per
// record; a disabled item is built from its node name followed by "Disabled" and does nothing.
// The four special buttons report to the model; an item lacking some of them is noted. Keys go
// to the list, but Backspace cancels (the model hears it) and closes.
TEST_F(Menus, OpensWithItsItems)
{
    PopupMenu& popup = open();
    EXPECT_EQ(host.shows, 1);
    EXPECT_EQ(popup.list().count(), 5);
    EXPECT_EQ(
        dynamic_cast<TextElement*>(find_descendant(popup.form(), u"caption"))->text(), u"Root");
    Element* disabled = popup.list().live_item(1);
    ASSERT_NE(disabled, nullptr);
    // Only the "...Disabled" node lacks the pressed image and the separator.
    EXPECT_EQ(find_descendant(*disabled, u"#vlist_pressed"), nullptr);
    EXPECT_NE(find_descendant(*popup.list().live_item(0), u"#vlist_pressed"), nullptr);
    EXPECT_TRUE(find_descendant(*popup.list().live_item(4), u"checked")->is_visible());
    EXPECT_FALSE(find_descendant(*popup.list().live_item(0), u"checked")->is_visible());
    popup.activated(popup.list(), 1);
    EXPECT_EQ(model.asked.size(), 1u);

    EXPECT_EQ(popup.missing_special_buttons(), 0);
    auto* help = dynamic_cast<ButtonElement*>(find_descendant(*popup.list().live_item(2), u"Help"));
    ASSERT_NE(help, nullptr);
    help->handler()->clicked(*help, {}, 1);
    EXPECT_EQ(model.specials, (std::vector<WString> { u"Help" }));
    model.magic_node = u"MenuMagicBroken";
    popup.show(u"Root", u"", true);
    popup.list().tick(0.01);
    EXPECT_EQ(popup.missing_special_buttons(), 1);

    EXPECT_TRUE(popup.key_event({ static_cast<std::int32_t>(KeyCode::Down), true, true }));
    EXPECT_EQ(popup.list().cursor(), 0);
    EXPECT_TRUE(popup.key_event({ static_cast<std::int32_t>(KeyCode::Backspace), true, true }));
    EXPECT_EQ(model.cancels, 1);
    EXPECT_EQ(host.closes, 1);
}

// Activating a submenu shows its items with the literal text, and showing it again with the
// same items only refreshes them; a leaf that has no items closes the menu.
TEST_F(Menus, SubmenuAndLeafClosing)
{
    PopupMenu& popup = open();
    popup.activated(popup.list(), 0);
    EXPECT_EQ(popup.path(), u"Sub");
    EXPECT_EQ(host.forwards, 1);
    popup.show(u"Sub", u"", false);
    EXPECT_EQ(host.forwards, 1);
    EXPECT_EQ(popup.list().count(), 1);
    popup.list().tick(0.01);
    auto* text = dynamic_cast<TextElement*>(find_descendant(*popup.list().live_item(0), u"#text"));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->text(), u"Literal");
    popup.activated(popup.list(), 0);
    EXPECT_EQ(host.closes, 1);
    EXPECT_EQ(model.asked.back(), u"SubLeaf");
}

// A widget whose skin node lacks a part it needs fails to build with the missing id: a menu
// form without "panel", a label_edit without "#text", a date picker without its year drum.
TEST_F(Menus, MissingPartsRaise)
{
    // The lambda that builds, the missing id, and the element it is missing from when known.
    const std::tuple<std::function<void()>, const char16_t*, const char16_t*> cases[] = {
        { [&] { PopupMenu broken(properties, u"MenuNoPanel", model, host); }, u"panel", nullptr },
        { [&] { build(u"LabelEditNoText"); }, u"#text", u"le" },
        { [&] {
             build(u"ButtonTest");
             DateTimePicker().bind(*root, properties, u"SpinnerElementDate", 0);
         },
            u"year", nullptr },
    };
    for (const auto& [make, part, parent] : cases) {
        try {
            make();
            ADD_FAILURE() << "built without " << to_utf8(part);
        } catch (const NodeNotFound& failure) {
            EXPECT_EQ(failure.sought_id(), part);
            if (parent) {
                EXPECT_EQ(failure.parent_id(), parent);
            }
        }
    }
    EXPECT_THROW(PopupMenu(properties, u"NoSuchMenu", model, host), NodeNotFoundInSkin);
}
