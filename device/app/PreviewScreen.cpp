#include "device/app/PreviewScreen.h"

#include "device/shell/Application.h"
#include "device/skin/skin/ElementLookup.h"
#include "device/skin/skin/Properties.h"

#include <functional>

namespace corvane {

namespace {

    void collect_lists(Element& element, std::vector<VListElement*>& out)
    {
        for (const auto& child : element.children()) {
            if (auto* list = dynamic_cast<VListElement*>(child.get()))
                out.push_back(list);
            collect_lists(*child, out);
        }
    }

} // namespace

void ApplicationEditHost::set_edit(Element* element)
{
    m_application.set_edit(element, true);
}

Element* ApplicationEditHost::edited_element() const
{
    return m_application.edited_element();
}

PreviewScreen::PreviewScreen(Application& application, Properties& properties, WString node)
    : m_application(application)
    , m_properties(properties)
    , m_node(std::move(node))
    , m_menu_host(application)
{
    build_from_node_or_throw(*this, properties, m_node);
    collect_lists(*this, m_lists);
    for (VListElement* list : m_lists) {
        list->set_provider(this);
        list->set_count(sample_rows);
    }
    bool has_drums = true;
    for (const char16_t* drum : { u"year", u"month", u"day", u"hour", u"minute" })
        has_drums = has_drums && dynamic_cast<SpinnerElement*>(find_descendant(drum));
    if (has_drums && properties.find_node(u"SpinnerElementDate")) {
        m_picker = std::make_unique<DateTimePicker>();
        m_picker->bind(
            *this, properties, u"SpinnerElementDate", compose({ 2024, 1, 31, 23, 0, 0 }));
        m_picker->set_listener(this);
    }
    if (auto* button = dynamic_cast<ButtonElement*>(find_descendant(u"menu_button"));
        button && properties.find_node(u"Menu")) {
        button->set_handler(this);
        m_menu = std::make_unique<PopupMenu>(
            properties, u"Menu", static_cast<MenuModel&>(*this), m_menu_host);
    }
}

PreviewScreen::~PreviewScreen()
{
    if (m_menu)
        m_menu_host.remove(*m_menu);
    for (VListElement* list : m_lists)
        list->set_provider(nullptr);
}

void PreviewScreen::set_status(WStringView text)
{
    assign_text(u"status", text);
}

void PreviewScreen::activated(VListElement&, std::int32_t index)
{
    set_status(u"Activated " + to_wstring(index));
}

std::unique_ptr<Element> PreviewScreen::create_item(VListElement&, std::int32_t index)
{
    auto row = std::make_unique<Element>();
    if (!build_from_node(*row, m_properties, u"ListRow"))
        row->set_design_size(0, 30);
    row->assign_text(u"#text", u"Row " + to_wstring(index));
    return row;
}

void PreviewScreen::clicked(ButtonElement& button, Point, std::int32_t)
{
    if (m_menu && button.id() == u"menu_button")
        m_menu->show(u"Menu", u"", true);
}

void PreviewScreen::changed(DateTimePicker& picker, std::int32_t)
{
    DateTimeRecord r = decompose(picker.picked_time());
    auto two = [](std::int32_t n) { return WString(n < 10 ? u"0" : u"") + to_wstring(n); };
    set_status(to_wstring(r.year) + u"-" + two(r.month) + u"-" + two(r.day) + u" " + two(r.hour)
        + u":" + two(r.minute));
}

MenuContent PreviewScreen::items(PopupMenu&, WStringView path)
{
    auto item = [](WString path, bool enabled = true) {
        MenuItem entry;
        entry.path = std::move(path);
        entry.enabled = enabled;
        return entry;
    };
    if (path == u"Menu")
        return { u"",
            { item(u"First"), item(u"More"), item(u"Unavailable", false), item(u"Last") } };
    if (path == u"More")
        return { u"", { item(u"Inner"), item(u"Deeper") } };
    set_status(u"Picked " + WString(path));
    return {};
}

void PreviewScreen::cancelled(PopupMenu&)
{
    set_status(u"Menu cancelled");
}

} // namespace corvane
