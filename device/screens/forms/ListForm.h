#pragma once

#include "device/screens/forms/Form.h"
#include "device/screens/forms/PropertyRow.h"
#include "device/screens/forms/SectionedList.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace corvane {

class ListForm;

// One row of a list form.
struct ListRow {
    WString text; // the row's caption
    WString second; // its value text
    std::int32_t id { -1 };
    bool checked { false };
    bool enabled { true };
};

// One section: a header (a language key or a finished text) and its rows.
struct ListSection {
    WString header;
    std::vector<ListRow> rows;
    bool visible { true };
};

// Hears what happens on a list form. Not owned.
class ListFormOwner {
public:
    virtual ~ListFormOwner() = default;
    virtual void row_pressed(ListForm& form, std::int32_t section, std::int32_t row) = 0;
    // "back": the form is leaving (it closes itself right after).
    virtual void leaving(ListForm& form) { (void)form; }
    // A row element was built and drawn from its row; owners bind extra children here.
    virtual void row_built(ListForm& form, std::int32_t section, std::int32_t row, Element& element)
    {
        (void)form, (void)section, (void)row, (void)element;
    }
};

// A list screen: "back" and "title" buttons, an optional "all" button and a sectioned "list"
// whose rows are property rows (child "value" of the row node). Main thread.
class ListForm : public Form, private SectionedListOwner {
public:
    // `sections` is the number of sections, fixed from here on. Nothing is built yet: the most
    // derived constructor calls build(), like every form.
    ListForm(Properties& properties, WString node, WString header_node, WString row_node,
        std::int32_t sections, ListFormOwner* owner);
    ~ListForm() override;

    void set_owner(ListFormOwner* owner) { m_owner = owner; }
    // Rows are built from this node from the next rebuild on.
    void set_row_node(WString node) { m_row_node = std::move(node); }
    const WString& row_node() const { return m_row_node; }

    // Replaces every section and rebuilds the list from the top.
    void set_sections(std::vector<ListSection> sections);
    const std::vector<ListSection>& sections() const { return m_sections; }
    const ListRow* row(std::int32_t section, std::int32_t row) const;
    void redraw_row(std::int32_t section, std::int32_t row);
    void set_title(WStringView title);
    void show_all_button(bool shown);
    SectionedList& list() { return *m_list; }

protected:
    void bind_nodes() override;
    void release_tree() override;
    void refresh_after_reload() override;
    void on_button(ButtonElement& button) override;

    ButtonElement* m_back { nullptr }; // Not owned: our elements.
    ButtonElement* m_title { nullptr };
    ButtonElement* m_all { nullptr };

private:
    std::unique_ptr<Element> create_header(std::int32_t section) override;
    std::unique_ptr<Element> create_row(std::int32_t section, std::int32_t row) override;
    void activated(std::int32_t section, std::int32_t row) override;
    std::vector<SectionedList::Section> shape() const;

    WString m_header_node;
    WString m_row_node;
    ListFormOwner* m_owner; // Not owned.
    std::vector<ListSection> m_sections;
    std::unique_ptr<SectionedList> m_list;
    WString m_title_text;
    bool m_all_shown { false };
};

} // namespace corvane
