#include "device/screens/tree/TreeRules.h"

#include "device/skin/render/Surface.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <random>

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

Permission participant(std::int32_t user)
{
    Permission p;
    p.level = 2;
    p.email = u"x@example.com";
    p.userId = user;
    return p;
}

} // namespace

// Marked records always go first; inside a list or with "all users" everything else is
// section 2; at the root with a selected user, section 2 or 3 by participation, where an entry
// without a user (a pending invitation, id 0) names nobody.
// A level holds its list's children, a tag level the projects with its tag, the flat list the
// listed records of its project (any project at the root or for a tag). The root record itself
// never has a row.
TEST(TreeRules, section_rule)
{
    Task marked = record(7, 0);
    marked.marked = true;
    EXPECT_EQ(tree_section_for(marked, 0, 3), MarkedSection);
    EXPECT_EQ(tree_section_for(marked, 12, -1), MarkedSection);

    Task project = record(8, 0);
    project.permissions = { participant(4), participant(0) };
    EXPECT_EQ(tree_section_for(project, 0, -1), OthersSection);
    EXPECT_EQ(tree_section_for(project, 0, 4), OthersSection);
    EXPECT_EQ(tree_section_for(project, 0, 9), NotSharedSection);
    // User id 0 is "no user", not a user called 0.
    EXPECT_EQ(tree_section_for(project, 0, 0), NotSharedSection);
    // Inside a list (or a tag level, -1) participation does not split the rows.
    EXPECT_EQ(tree_section_for(project, 8, 9), OthersSection);
    EXPECT_EQ(tree_section_for(project, -1, 9), OthersSection);

    project = record(3, 0);
    project.tag = u"Home";
    Task task = record(9, 3);
    task.projectId = 3;
    EXPECT_TRUE(tree_belongs(project, { 0, u"", false }, -1));
    EXPECT_FALSE(tree_belongs(task, { 0, u"", false }, -1));
    EXPECT_TRUE(tree_belongs(task, { 3, u"", false }, -1));
    EXPECT_TRUE(tree_belongs(project, { -1, u"Home", false }, -1));
    EXPECT_FALSE(tree_belongs(project, { -1, u"Work", false }, -1));
    Task tagged_task = task;
    tagged_task.tag = u"Home";
    EXPECT_FALSE(tree_belongs(tagged_task, { -1, u"Home", false }, -1));

    EXPECT_FALSE(tree_belongs(task, { 0, u"", true }, -1)); // not listed
    task.listed = true;
    EXPECT_TRUE(tree_belongs(task, { 0, u"", true }, -1));
    EXPECT_TRUE(tree_belongs(task, { 3, u"", true }, 3));
    EXPECT_FALSE(tree_belongs(task, { 4, u"", true }, 4));
    EXPECT_TRUE(tree_belongs(task, { -1, u"Home", true }, -1));

    Task root = record(0, -1);
    EXPECT_FALSE(tree_belongs(root, { -1, u"", false }, -1));
}

// Each rule decides only when all rules before it are equal; a record that differs from
// another only in id sorts by id, so the order is total.
// Sorting shuffled records gives one order whatever the shuffle (the comparison is a strict weak
// order with no ties between different ids).
TEST(TreeRules, row_order_rules_in_priority)
{
    Task a = record(2);
    Task b = record(1);
    EXPECT_TRUE(tree_row_before(b, a)); // equal in every key: lower id first
    EXPECT_FALSE(tree_row_before(a, b));
    EXPECT_FALSE(tree_row_before(a, a));

    b.title = u"B";
    a.title = u"A";
    EXPECT_TRUE(tree_row_before(a, b)); // text before id
    a.title = u"a"; // 'a' (0x61) sorts after 'B' (0x42) by code unit
    EXPECT_TRUE(tree_row_before(b, a));
    a.title = u"B\r\nsecond";
    b.title = u"B\r\nfirst";
    EXPECT_TRUE(tree_row_before(b, a)); // the description counts too

    a.deadline = 5000;
    EXPECT_TRUE(tree_row_before(a, b)); // with a deadline before without
    b.deadline = 4000;
    EXPECT_TRUE(tree_row_before(b, a)); // earlier deadline first

    a.date = 10;
    b.date = 9;
    EXPECT_TRUE(tree_row_before(a, b)); // later date first, whatever the deadlines

    b.complete = true;
    a.date = 1;
    EXPECT_TRUE(tree_row_before(a, b)); // not complete before complete

    b.marked = true;
    EXPECT_TRUE(tree_row_before(b, a)); // marked before everything

    std::vector<Task> rows;
    for (std::int32_t id = 1; id <= 40; ++id) {
        Task t = record(id);
        t.marked = id % 7 == 0;
        t.complete = id % 3 == 0;
        t.date = id % 4;
        t.deadline = id % 5 == 0 ? 0 : id % 2;
        t.title = id % 2 ? u"x" : u"y";
        rows.push_back(t);
    }
    std::vector<Task> first = rows;
    std::sort(first.begin(), first.end(), tree_row_before);
    std::mt19937 random(7);
    for (int round = 0; round < 5; ++round) {
        std::shuffle(rows.begin(), rows.end(), random);
        std::sort(rows.begin(), rows.end(), tree_row_before);
        for (std::size_t i = 0; i < rows.size(); ++i)
            ASSERT_EQ(rows[i].id, first[i].id) << "round " << round << " position " << i;
    }
    for (std::size_t i = 1; i < first.size(); ++i)
        EXPECT_TRUE(tree_row_before(first[i - 1], first[i]));
}

// Kinds: editable project 0, folder 2, task 4 (+1 done); read-only project 6, anything else 7.
// The status is clamped to the sheet's six columns.
// The sheet is cut into 6 columns (status) by 8 rows (kind); every cell lies inside the picture,
// and entry kind + 8 * status is the cell in that row and column.
TEST(TreeRules, icon_index_kinds_and_status_limits)
{
    Task project = record(1, 0);
    Task folder = record(2, 1);
    folder.childCount = 3;
    Task task = record(3, 2);
    EXPECT_EQ(tree_icon_kind(project), 0);
    EXPECT_EQ(tree_icon_kind(folder), 2);
    EXPECT_EQ(tree_icon_kind(task), 4);
    project.complete = folder.complete = task.complete = true;
    EXPECT_EQ(tree_icon_kind(project), 1);
    EXPECT_EQ(tree_icon_kind(folder), 3);
    EXPECT_EQ(tree_icon_kind(task), 5);
    project.editable = folder.editable = task.editable = false;
    EXPECT_EQ(tree_icon_kind(project), 6);
    EXPECT_EQ(tree_icon_kind(folder), 7);
    EXPECT_EQ(tree_icon_kind(task), 7);

    task.editable = true;
    task.complete = false;
    task.status = 9;
    EXPECT_EQ(tree_icon_index(task), 4 + 8 * 5);
    task.status = -3;
    EXPECT_EQ(tree_icon_index(task), 4);
    task.status = 2;
    EXPECT_EQ(tree_icon_index(task), 4 + 16);
    project.status = std::numeric_limits<std::int32_t>::min();
    EXPECT_EQ(tree_icon_index(project), 6);
    EXPECT_EQ(clamp_status(std::numeric_limits<std::int32_t>::max()), 5);

    std::shared_ptr<const Surface> surface = Surface::allocate(60, 96);
    ASSERT_TRUE(surface);
    ImageRef sheet = ImageRef::whole(Bitmap(surface, u"icons.bmp"));
    std::vector<ImageRef> cells = cut_icon_sheet(sheet);
    ASSERT_EQ(cells.size(), 48u);
    for (std::int32_t status = 0; status < 6; ++status) {
        for (std::int32_t kind = 0; kind < 8; ++kind) {
            const ImageCoords& c = cells[kind + 8 * status].coords;
            EXPECT_EQ(c.x0, status * 10);
            EXPECT_EQ(c.y0, kind * 12);
            EXPECT_EQ(c.x3 - c.x0, 10);
            EXPECT_EQ(c.y3 - c.y0, 12);
            EXPECT_LE(c.x3, 60);
            EXPECT_LE(c.y3, 96);
        }
    }
    // An empty picture gives 48 empty cells rather than cells outside nothing.
    std::vector<ImageRef> empty = cut_icon_sheet(ImageRef {});
    ASSERT_EQ(empty.size(), 48u);
    EXPECT_TRUE(empty[47].bitmap.is_empty());
}
