#include "device/screens/forms/ListForm.h"

#include "device/skin/skin/Properties.h"

#include <functional>

namespace corvane {

namespace {

    // A row of a list form: the row node with its property row "value". A press anywhere on the
    // row, on the property row's button included, is a press of the row.
    class ListRowElement final : public Element, public ButtonHandler {
    public:
        explicit ListRowElement(std::function<void()> press)
            : m_press(std::move(press))
        {
        }
        void clicked(ButtonElement&, Point, std::int32_t) override { m_press(); }
        PropertyRow row;

    private:
        std::function<void()> m_press;
    };

} // namespace

ListForm::ListForm(Properties& properties, WString node, WString header_node, WString row_node,
    std::int32_t sections, ListFormOwner* owner)
    : Form(properties, std::move(node))
    , m_header_node(std::move(header_node))
    , m_row_node(std::move(row_node))
    , m_owner(owner)
    , m_sections(static_cast<std::size_t>(std::max(sections, 1)))
{
}

ListForm::~ListForm()
{
    if (m_list && m_list->list())
        m_list->list()->set_provider(nullptr);
}

void ListForm::bind_nodes()
{
    m_back = &require_button(u"back");
    m_title = &require_button(u"title");
    m_all = optional_button(u"all");
    show_element(m_all, m_all_shown);
    if (!m_title_text.empty())
        m_title->set_text(m_title_text);
    m_list = std::make_unique<SectionedList>(static_cast<SectionedListOwner&>(*this), shape());
    m_list->bind(*this, u"list");
}

void ListForm::release_tree()
{
    // The list element goes with the old tree; the sectioned list must not outlive it.
    m_list.reset();
    m_back = m_title = m_all = nullptr;
}

void ListForm::refresh_after_reload()
{
    m_list->set_sections(shape());
}

std::vector<SectionedList::Section> ListForm::shape() const
{
    std::vector<SectionedList::Section> shape;
    for (const ListSection& section : m_sections) {
        SectionedList::Section out;
        out.visible = section.visible;
        out.has_header = !section.header.empty();
        out.rows = static_cast<std::uint32_t>(section.rows.size());
        shape.push_back(out);
    }
    return shape;
}

void ListForm::set_sections(std::vector<ListSection> sections)
{
    sections.resize(m_sections.size());
    m_sections = std::move(sections);
    m_list->set_sections(shape());
}

const ListRow* ListForm::row(std::int32_t section, std::int32_t row) const
{
    if (section < 0 || static_cast<std::size_t>(section) >= m_sections.size())
        return nullptr;
    const auto& rows = m_sections[section].rows;
    if (row < 0 || static_cast<std::size_t>(row) >= rows.size())
        return nullptr;
    return &rows[row];
}

void ListForm::redraw_row(std::int32_t section, std::int32_t row)
{
    m_list->redraw_row(section, row);
}

void ListForm::set_title(WStringView title)
{
    m_title_text = WString(title);
    if (m_title)
        m_title->set_text(m_title_text);
}

void ListForm::show_all_button(bool shown)
{
    m_all_shown = shown;
    show_element(m_all, shown);
}

void ListForm::on_button(ButtonElement& button)
{
    if (&button == m_back) {
        if (m_owner)
            m_owner->leaving(*this);
        close(true);
    } else if (&button == m_all) {
        for (std::size_t s = 0; s < m_sections.size(); ++s) {
            for (std::size_t r = 0; r < m_sections[s].rows.size(); ++r) {
                if (!m_sections[s].rows[r].checked && m_owner)
                    m_owner->row_pressed(
                        *this, static_cast<std::int32_t>(s), static_cast<std::int32_t>(r));
            }
        }
    } else if (&button != m_title) {
        Form::on_button(button);
    }
}

std::unique_ptr<Element> ListForm::create_header(std::int32_t section)
{
    auto header = std::make_unique<Element>();
    build_from_node_or_throw(*header, properties(), m_header_node);
    Element* caption = corvane::find_descendant(*header, u"name");
    set_element_text(caption ? caption : corvane::find_descendant(*header, u"#text"),
        text(m_sections[section].header));
    return header;
}

std::unique_ptr<Element> ListForm::create_row(std::int32_t section, std::int32_t index)
{
    auto element = std::make_unique<ListRowElement>([this, section, index] {
        if (m_owner)
            m_owner->row_pressed(*this, section, index);
    });
    build_from_node_or_throw(*element, properties(), m_row_node);
    const ListRow* data = row(section, index);
    auto& value = require_in<ButtonElement>(*element, u"value");
    value.set_handler(element.get());
    std::int32_t count = static_cast<std::int32_t>(m_sections[section].rows.size());
    element->row.bind(value, false, data && data->checked,
        PropertyRow::style_for(static_cast<std::size_t>(index), static_cast<std::size_t>(count)));
    if (data) {
        element->row.set_caption(data->text);
        element->row.set_value(data->second);
        element->row.set_enabled(data->enabled);
    }
    if (m_owner)
        m_owner->row_built(*this, section, index, *element);
    return element;
}

void ListForm::activated(std::int32_t section, std::int32_t row)
{
    const ListRow* data = this->row(section, row);
    if (data && data->enabled && m_owner)
        m_owner->row_pressed(*this, section, row);
}

} // namespace corvane
