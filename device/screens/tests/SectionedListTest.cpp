#include "device/screens/forms/SectionedList.h"

#include "device/skin/skin/SkinErrors.h"

#include <gtest/gtest.h>

using namespace corvane;

namespace {

// Remembers what the list asked for; every item is an empty element 20 pixels high.
struct Owner : SectionedListOwner {
    std::unique_ptr<Element> create_header(std::int32_t section) override
    {
        made.push_back({ section, -1 });
        return item();
    }
    std::unique_ptr<Element> create_row(std::int32_t section, std::int32_t row) override
    {
        made.push_back({ section, row });
        return item();
    }
    void activated(std::int32_t section, std::int32_t row) override
    {
        activations.push_back({ section, row });
    }
    static std::unique_ptr<Element> item()
    {
        auto element = std::make_unique<Element>();
        element->set_design_size(0, 20);
        return element;
    }
    std::vector<std::pair<std::int32_t, std::int32_t>> made;
    std::vector<std::pair<std::int32_t, std::int32_t>> activations;
};

class Sectioned : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto owned = std::make_unique<VListElement>();
        owned->set_id(u"list");
        list = &static_cast<VListElement&>(root.add_child(std::move(owned)));
        root.set_x(0, 100);
        root.set_y(0, 1000);
    }

    // Section 0 without a header, 1 to 3 with headers, as the sharing screen has them.
    SectionedList& make(std::vector<SectionedList::Section> sections)
    {
        sectioned = std::make_unique<SectionedList>(owner, std::move(sections));
        sectioned->bind(root, u"list");
        return *sectioned;
    }

    using Pos = std::pair<std::int32_t, std::int32_t>;
    Pos at(std::int32_t index)
    {
        SectionedList::Position p = sectioned->position_of(index);
        return { p.section, p.row };
    }

    Element root;
    VListElement* list { nullptr };
    Owner owner;
    std::unique_ptr<SectionedList> sectioned;
};

} // namespace

// Index mapping: headers map to row -1, rows follow; a hidden section between two visible
// ones takes no indexes.
// A row inserted into a hidden section changes its count but not the list; showing the section
// later inserts all its items at once, and hiding it again removes them.
TEST_F(Sectioned, MapsIndexesAcrossHiddenSections)
{
    SectionedList& s = make({ { true, false, 2 }, { false, true, 3 }, { true, true, 1 } });
    EXPECT_EQ(s.total(), 4);
    EXPECT_EQ(list->count(), 4);
    EXPECT_EQ(at(0), Pos(0, 0));
    EXPECT_EQ(at(1), Pos(0, 1));
    EXPECT_EQ(at(2), Pos(2, -1));
    EXPECT_EQ(at(3), Pos(2, 0));
    EXPECT_EQ(at(4), Pos(-1, -1));
    EXPECT_EQ(s.index_of(2, 0), 3);
    EXPECT_EQ(s.start(2), 2);
    list->tick(0.01);
    EXPECT_EQ(owner.made, (std::vector<Pos> { { 0, 0 }, { 0, 1 }, { 2, -1 }, { 2, 0 } }));
    s.activated(*list, 2);
    EXPECT_EQ(owner.activations, (std::vector<Pos> { { 2, -1 } }));

    SectionedList& t = make({ { true, true, 1 }, { false, true, 0 }, { true, false, 1 } });
    EXPECT_EQ(list->count(), 3);
    t.insert_row(1, 0);
    t.insert_row(1, 1);
    EXPECT_EQ(list->count(), 3);
    EXPECT_EQ(t.sections()[1].rows, 2u);
    t.set_visible(1, true);
    EXPECT_EQ(list->count(), 6);
    EXPECT_EQ(at(2), Pos(1, -1));
    EXPECT_EQ(at(4), Pos(1, 1));
    EXPECT_EQ(at(5), Pos(2, 0));
    t.remove_row(1, 0);
    EXPECT_EQ(list->count(), 5);
    t.set_visible(1, false);
    EXPECT_EQ(list->count(), 3);
    EXPECT_EQ(at(2), Pos(2, 0));
}

// With every section hidden the total is 0 and the list shows nothing; out-of-range sections
// and rows change nothing; binding to a missing list raises; highlighting marks the item of
// (section, row) and section -1 clears it.
TEST_F(Sectioned, EdgesAndHighlight)
{
    SectionedList& hidden = make({ { false, true, 4 }, { false, false, 2 } });
    EXPECT_EQ(hidden.total(), 0);
    list->tick(0.01);
    EXPECT_TRUE(list->live_items().empty());
    EXPECT_EQ(at(0), Pos(-1, -1));

    SectionedList& s = make({ { true, true, 2 } });
    s.insert_row(5, 0);
    s.remove_row(0, 3);
    s.insert_row(0, 7);
    EXPECT_EQ(s.total(), 3);
    s.highlight(0, 1);
    EXPECT_EQ(list->selected_index(), 2);
    s.highlight(-1, 0);
    EXPECT_EQ(list->selected_index(), -1);
    SectionedList other(owner, {});
    EXPECT_THROW(other.bind(root, u"nothing"), NodeNotFound);
}
