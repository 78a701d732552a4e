#include "device/screens/forms/SectionedList.h"

#include "device/skin/skin/ElementLookup.h"
#include "device/skin/skin/SkinErrors.h"

namespace corvane {

SectionedList::SectionedList(SectionedListOwner& owner, std::vector<Section> sections)
    : m_owner(owner)
    , m_sections(std::move(sections))
{
}

SectionedList::~SectionedList()
{
    if (m_list && m_list->provider() == this)
        m_list->set_provider(nullptr);
}

void SectionedList::bind(Element& root, WStringView id)
{
    auto* list = dynamic_cast<VListElement*>(find_descendant(root, id));
    if (!list)
        throw NodeNotFound(root.id(), id);
    m_list = list;
    m_list->set_provider(this);
    m_list->set_count(total());
    m_list->set_selected_index(-1);
}

std::int32_t SectionedList::start(std::int32_t section) const
{
    std::int32_t index = 0;
    for (std::int32_t s = 0; s < section && static_cast<std::size_t>(s) < m_sections.size(); ++s) {
        if (m_sections[s].visible)
            index += size_of(m_sections[s]);
    }
    return index;
}

SectionedList::Position SectionedList::position_of(std::int32_t index) const
{
    if (index < 0)
        return {};
    for (std::size_t s = 0; s < m_sections.size(); ++s) {
        const Section& section = m_sections[s];
        if (!section.visible)
            continue;
        std::int32_t n = size_of(section);
        if (index < n)
            return { static_cast<std::int32_t>(s), index - (section.has_header ? 1 : 0) };
        index -= n;
    }
    return {};
}

std::int32_t SectionedList::index_of(std::int32_t section, std::int32_t row) const
{
    if (!valid(section))
        return -1;
    return start(section) + (m_sections[section].has_header ? 1 : 0) + row;
}

void SectionedList::reset()
{
    if (m_list)
        m_list->set_count(total());
}

void SectionedList::set_sections(std::vector<Section> sections)
{
    sections.resize(m_sections.size());
    m_sections = std::move(sections);
    if (!m_list)
        return;
    m_list->set_count(total()); // clears the items and the scroll state
}

void SectionedList::set_visible(std::int32_t section, bool visible)
{
    if (!valid(section) || m_sections[section].visible == visible)
        return;
    std::int32_t at = start(section);
    std::int32_t n = size_of(m_sections[section]);
    if (m_list) {
        for (std::int32_t i = 0; i < n; ++i) {
            if (visible)
                m_list->insert_item(at);
            else
                m_list->remove_item(at);
        }
    }
    m_sections[section].visible = visible;
}

void SectionedList::insert_row(std::int32_t section, std::int32_t row)
{
    if (!valid(section))
        return;
    Section& entry = m_sections[section];
    if (row < 0 || static_cast<std::uint32_t>(row) > entry.rows)
        return;
    if (entry.visible && m_list)
        m_list->insert_item(index_of(section, row));
    ++entry.rows;
}

void SectionedList::remove_row(std::int32_t section, std::int32_t row)
{
    if (!valid(section))
        return;
    Section& entry = m_sections[section];
    if (row < 0 || static_cast<std::uint32_t>(row) >= entry.rows)
        return;
    if (entry.visible && m_list)
        m_list->remove_item(index_of(section, row));
    --entry.rows;
}

void SectionedList::redraw_row(std::int32_t section, std::int32_t row)
{
    if (valid(section) && m_sections[section].visible && m_list)
        m_list->rebuild_item(index_of(section, row));
}

void SectionedList::redraw_section(std::int32_t section)
{
    if (!valid(section) || !m_sections[section].visible || !m_list)
        return;
    for (std::uint32_t r = 0; r < m_sections[section].rows; ++r)
        m_list->rebuild_item(index_of(section, static_cast<std::int32_t>(r)));
}

void SectionedList::highlight(std::int32_t section, std::int32_t row)
{
    if (!m_list)
        return;
    if (section == -1) {
        m_list->set_selected_index(-1);
        return;
    }
    if (valid(section) && m_sections[section].visible)
        m_list->set_selected_index(index_of(section, row));
}

void SectionedList::activated(VListElement&, std::int32_t index)
{
    Position at = position_of(index);
    if (at.section >= 0)
        m_owner.activated(at.section, at.row);
}

std::unique_ptr<Element> SectionedList::create_item(VListElement&, std::int32_t index)
{
    Position at = position_of(index);
    if (at.section < 0)
        return nullptr;
    if (at.row == -1)
        return m_owner.create_header(at.section);
    return m_owner.create_row(at.section, at.row);
}

} // namespace corvane
