#include "device/screens/tree/TreeRules.h"

#include "device/skin/render/Surface.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

using namespace corvane;

namespace {

Task record(std::int32_t id, std::int32_t parent = 5)
{
    Task t;
    t.id = id;
    t.parentId = parent;
    t.projectId = parent == 0 ? id : 1;
    t.title = u"T";
    return t;
}

} // namespace

// Marked records always go first; inside a list or with "all users" everything else is
// section 2; at the root with a selected user, section 2 or 3 by participation, where an entry
// without a user (a pending invitation, id 0) names nobody.
// A level holds its list's children, a tag level the projects with its tag, the flat list the
// listed records of its project (any project at the root or for a tag). The root record itself
// never has a row.
TEST(TreeRules, section_and_membership)
{
    Task marked = record(7, 0);
    marked.marked = true;
    Task project = record(8, 0);
    for (std::int32_t user : { 4, 0 }) {
        Permission p;
        p.level = 2;
        p.userId = user;
        project.permissions.push_back(p);
    }
    // Record, list shown, selected user -> section.
    for (auto [task, list, user, section] : std::vector<std::tuple<Task, int, int, int>> {
             { marked, 0, 3, MarkedSection }, { marked, 12, -1, MarkedSection },
             { project, 0, -1, OthersSection }, { project, 0, 4, OthersSection },
             { project, 0, 9, NotSharedSection }, { project, 0, 0, NotSharedSection },
             { project, 8, 9, OthersSection }, { project, -1, 9, OthersSection } }) {
        EXPECT_EQ(tree_section_for(task, list, user), section)
            << task.id << " in " << list << " for " << user;
    }

    project = record(3, 0);
    project.tag = u"Home";
    Task task = record(9, 3);
    task.projectId = 3;
    Task tagged_task = task;
    tagged_task.tag = u"Home";
    Task listed = task;
    listed.listed = true;
    struct Case {
        Task record;
        TreeTarget target;
        std::int32_t list_project;
        bool belongs;
    };
    for (const Case& c : std::vector<Case> {
             { project, { 0, u"", false }, -1, true },
             { task, { 0, u"", false }, -1, false },
             { task, { 3, u"", false }, -1, true },
             { project, { -1, u"Home", false }, -1, true },
             { project, { -1, u"Work", false }, -1, false },
             { tagged_task, { -1, u"Home", false }, -1, false },
             { task, { 0, u"", true }, -1, false }, // not listed
             { listed, { 0, u"", true }, -1, true },
             { listed, { 3, u"", true }, 3, true },
             { listed, { 4, u"", true }, 4, false },
             { listed, { -1, u"Home", true }, -1, true },
             { record(0, -1), { -1, u"", false }, -1, false },
         }) {
        EXPECT_EQ(tree_belongs(c.record, c.target, c.list_project), c.belongs)
            << c.record.id << " in " << c.target.list_id << to_utf8(c.target.tag) << c.target.flat;
    }
}

// Each rule decides only when all rules before it are equal; a record that differs from
// another only in id sorts by id, so the order is total.
TEST(TreeRules, row_order_rules_in_priority)
{
    // Strictly first: the comparison must never say both.
    auto first = [](const Task& x, const Task& y) {
        return tree_row_before(x, y) && !tree_row_before(y, x);
    };
    Task a = record(2);
    Task b = record(1);
    EXPECT_TRUE(first(b, a)); // equal in every key: lower id first
    EXPECT_FALSE(tree_row_before(a, a));

    b.title = u"B";
    a.title = u"A";
    EXPECT_TRUE(first(a, b)); // text before id
    a.title = u"a"; // 'a' (0x61) sorts after 'B' (0x42) by code unit
    EXPECT_TRUE(first(b, a));
    a.title = u"B\r\nsecond";
    b.title = u"B\r\nfirst";
    EXPECT_TRUE(first(b, a)); // the description counts too

    a.deadline = 5000;
    EXPECT_TRUE(first(a, b)); // with a deadline before without
    b.deadline = 4000;
    EXPECT_TRUE(first(b, a)); // earlier deadline first

    a.date = 10;
    b.date = 9;
    EXPECT_TRUE(first(a, b)); // later date first, whatever the deadlines

    b.complete = true;
    a.date = 1;
    EXPECT_TRUE(first(a, b)); // not complete before complete

    b.marked = true;
    EXPECT_TRUE(first(b, a)); // marked before everything
}

// Kinds: editable project 0, folder 2, task 4 (+1 done); read-only project 6, anything else 7.
// The status is clamped to the sheet's six columns, which cut the picture into 6 columns
// (status) by 8 rows (kind); entry kind + 8 * status is the cell in that row and column.
TEST(TreeRules, icon_index_kinds_and_status_limits)
{
    std::vector<std::int32_t> kinds;
    for (bool editable : { true, false }) {
        for (bool complete : { false, true }) {
            for (std::int32_t children : { -1, 3, 0 }) { // project, folder, task
                Task t = record(3, children < 0 ? 0 : 2);
                t.childCount = std::max(children, 0);
                t.editable = editable;
                t.complete = complete;
                kinds.push_back(tree_icon_kind(t));
            }
        }
    }
    EXPECT_EQ(kinds, (std::vector<std::int32_t> { 0, 2, 4, 1, 3, 5, 6, 7, 7, 6, 7, 7 }));

    Task task = record(3, 2);
    for (auto [status, index] : { std::pair { 9, 4 + 8 * 5 }, { -3, 4 }, { 2, 4 + 16 } }) {
        task.status = status;
        EXPECT_EQ(tree_icon_index(task), index) << status;
    }
    EXPECT_EQ(clamp_status(std::numeric_limits<std::int32_t>::max()), 5);
    EXPECT_EQ(clamp_status(std::numeric_limits<std::int32_t>::min()), 0);

    std::shared_ptr<const Surface> surface = Surface::allocate(60, 96);
    ASSERT_TRUE(surface);
    std::vector<ImageRef> cells = cut_icon_sheet(ImageRef::whole(Bitmap(surface, u"icons.bmp")));
    ASSERT_EQ(cells.size(), 48u);
    for (std::int32_t status = 0; status < 6; ++status) {
        for (std::int32_t kind = 0; kind < 8; ++kind) {
            const ImageCoords& c = cells[kind + 8 * status].coords;
            EXPECT_EQ(std::tuple(c.x0, c.y0, c.x3, c.y3),
                std::tuple(status * 10, kind * 12, status * 10 + 10, kind * 12 + 12))
                << kind << " " << status;
        }
    }
    // An empty picture gives 48 empty cells rather than cells outside nothing.
    std::vector<ImageRef> empty = cut_icon_sheet(ImageRef {});
    ASSERT_EQ(empty.size(), 48u);
    EXPECT_TRUE(empty[47].bitmap.is_empty());
}
