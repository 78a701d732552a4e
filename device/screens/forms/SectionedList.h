#pragma once

#include "device/skin/widgets/VListElement.h"

#include <cstdint>
#include <vector>

namespace corvane {

// Builds and activates the items of a sectioned list. Not owned by the list.
class SectionedListOwner {
public:
    virtual ~SectionedListOwner() = default;
    virtual std::unique_ptr<Element> create_header(std::int32_t section) = 0;
    virtual std::unique_ptr<Element> create_row(std::int32_t section, std::int32_t row) = 0;
    // `row` is -1 for the header.
    virtual void activated(std::int32_t section, std::int32_t row) = 0;
};

// A list made of sections, each an optional header and rows, over one "vlist". Sections are
// shown and hidden as a whole and rows come and go one at a time while the list is on screen;
// hidden sections take no items. Main thread.
class SectionedList final : public ListItemProvider {
public:
    struct Section {
        bool visible { true };
        bool has_header { true };
        std::uint32_t rows { 0 };
    };
    // (section, row) of a flat index; row -1 is the header.
    struct Position {
        std::int32_t section { -1 };
        std::int32_t row { -1 };
    };

    // The sections are fixed from here on. The owner must outlive the object.
    SectionedList(SectionedListOwner& owner, std::vector<Section> sections);
    ~SectionedList() override;
    SectionedList(const SectionedList&) = delete;
    SectionedList& operator=(const SectionedList&) = delete;

    // Finds the list (NodeNotFound when absent), becomes its provider and fills it.
    void bind(Element& root, WStringView id);
    VListElement* list() const { return m_list; }

    std::int32_t total() const { return start(static_cast<std::int32_t>(m_sections.size())); }
    // The flat index of the first item of section s (of the next visible one when s is hidden).
    std::int32_t start(std::int32_t section) const;
    // Nothing ({-1, -1}) for an index past the end.
    Position position_of(std::int32_t index) const;
    std::int32_t index_of(std::int32_t section, std::int32_t row) const;
    const std::vector<Section>& sections() const { return m_sections; }

    void reset();
    // Replaces every section's shape (the number of sections stays) and rebuilds every item.
    void set_sections(std::vector<Section> sections);
    void set_visible(std::int32_t section, bool visible);
    void insert_row(std::int32_t section, std::int32_t row);
    void remove_row(std::int32_t section, std::int32_t row);
    void redraw_row(std::int32_t section, std::int32_t row);
    void redraw_section(std::int32_t section);
    // Marks the item as pressed; section -1 clears the mark.
    void highlight(std::int32_t section, std::int32_t row);

    void activated(VListElement& list, std::int32_t index) override;
    std::unique_ptr<Element> create_item(VListElement& list, std::int32_t index) override;

private:
    bool valid(std::int32_t section) const
    {
        return section >= 0 && static_cast<std::size_t>(section) < m_sections.size();
    }
    static std::int32_t size_of(const Section& section)
    {
        return (section.has_header ? 1 : 0) + static_cast<std::int32_t>(section.rows);
    }

    SectionedListOwner& m_owner;
    std::vector<Section> m_sections;
    VListElement* m_list { nullptr }; // Not owned: an element of the owner's tree.
};

} // namespace corvane
