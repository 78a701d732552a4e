#include "common/records/Filter.h"
#include "common/records/VizTask.h"

#include <gtest/gtest.h>

using namespace corvane;

namespace {

VizTask task(
    bool complete, std::int64_t date, std::int64_t deadline, WStringView title, std::int32_t id)
{
    VizTask t;
    t.complete = complete;
    t.date = date;
    t.deadline = deadline;
    t.title = title;
    t.id = id;
    return t;
}

void expect_before(const VizTask& first, const VizTask& second)
{
    EXPECT_LT(compare_tasks(first, second), 0) << first.id << " vs " << second.id;
    EXPECT_GT(compare_tasks(second, first), 0) << second.id << " vs " << first.id;
}

} // namespace

// Each key decides only when the keys before it are equal.
TEST(TaskOrder, keys_in_their_order)
{
    expect_before(task(false, 1, 0, u"z", 9), task(true, 100, 5, u"a", 1));
    expect_before(task(false, 100, 0, u"z", 9), task(false, 1, 5, u"a", 1));
    expect_before(task(false, 5, 900, u"z", 9), task(false, 5, 0, u"a", 1));
    expect_before(task(false, 5, -10, u"z", 9), task(false, 5, 3, u"a", 1));
    expect_before(task(false, 5, 3, u"B", 9), task(false, 5, 3, u"a", 1));
    expect_before(task(false, 5, 3, u"a", 2), task(false, 5, 3, u"a", 10));
    EXPECT_EQ(compare_tasks(task(false, 5, 3, u"a", 2), task(false, 5, 3, u"a", 2)), 0);
}

// Titles compare by UTF-16 units: a surrogate pair sorts below U+E000 to U+FFFF.
TEST(TaskOrder, titles_compare_by_code_units)
{
    expect_before(task(false, 0, 0, u"\U0001F600", 1), task(false, 0, 0, u"\uE000", 2));
    expect_before(task(false, 0, 0, u"ab", 1), task(false, 0, 0, u"abc", 2));
}

TEST(Filter, matches_by_responsible_and_status)
{
    Filter filter;
    VizTask t;
    t.responsibleId = 4;
    t.status = 0;
    EXPECT_TRUE(filter.matches(t));
    filter.responsible = 4;
    EXPECT_TRUE(filter.matches(t));
    filter.responsible = 5;
    EXPECT_FALSE(filter.matches(t));

    filter.responsible = -1;
    filter.statuses[2] = false;
    t.status = 2;
    EXPECT_FALSE(filter.matches(t));
    for (std::int32_t status : { -1, 6, 2147483647, -2147483647 - 1 }) {
        t.status = status;
        EXPECT_FALSE(filter.matches(t)) << status;
    }
    t.status = 5;
    EXPECT_TRUE(filter.matches(t));
    filter.statuses.resize(3);
    EXPECT_FALSE(filter.matches(t));
}

TEST(Filter, defaults_show_everything)
{
    Filter filter;
    EXPECT_TRUE(filter.enabled);
    EXPECT_TRUE(filter.option);
    EXPECT_EQ(filter.responsible, -1);
    EXPECT_EQ(filter.statuses, std::vector<bool>(6, true));
}
