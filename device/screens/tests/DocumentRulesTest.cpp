#include "device/screens/forms/Form.h"
#include "device/screens/forms/PropertyRow.h"
#include "device/screens/forms/RelativeDate.h"
#include "device/screens/task/TaskTitle.h"

#include <gtest/gtest.h>

using namespace corvane;

namespace {

WString key_itself(WStringView key)
{
    return WString(key);
}

std::int64_t millis(std::int32_t year, std::int32_t month, std::int32_t day, std::int32_t hour = 0,
    std::int32_t minute = 0)
{
    return time_to_millis(compose({ year, month, day, hour, minute, 0 }));
}

const TimeValue afternoon = compose({ 2026, 12, 6, 15, 0, 0 });

// Dates without time of day are whole days and are never moved by the zone.
// With time of day the value is UTC: three hours east, 21:30 UTC is already tomorrow.
TEST(RelativeDate, NamesTheNeighbouringDaysAndFormatsTheRest)
{
    auto date
        = [](std::int64_t ms) { return relative_date(key_itself, ms, false, afternoon, -180); };
    EXPECT_EQ(date(0), u"Never");
    EXPECT_EQ(date(millis(2026, 12, 6)), u"Today");
    EXPECT_EQ(date(millis(2026, 12, 6, 23, 59) + 59'999), u"Today");
    EXPECT_EQ(date(millis(2026, 12, 5)), u"Yesterday");
    // Exactly at midnight tomorrow, and one day later.
    EXPECT_EQ(date(millis(2026, 12, 7)), u"Tomorrow");
    WString later = date(millis(2026, 12, 8));
    EXPECT_NE(later, u"Tomorrow");
    EXPECT_NE(later, u"Today");
    EXPECT_NE(later.find(u"26"), WString::npos) << to_utf8(later);

    WString shown = relative_date(key_itself, millis(2026, 12, 6, 21, 30), true, afternoon, -180);
    EXPECT_EQ(shown.rfind(u"Tomorrow ", 0), 0u) << to_utf8(shown);
    EXPECT_EQ(shown.substr(9), format_time(compose({ 2026, 12, 7, 0, 30, 0 }), false));

    // West of Greenwich the same instant is still today, and just after local midnight
    // yesterday's entries say "Yesterday".
    EXPECT_EQ(relative_date(key_itself, millis(2026, 12, 6, 21, 30), true, afternoon, 300)
                  .rfind(u"Today ", 0),
        0u);
    EXPECT_EQ(relative_date(key_itself, millis(2026, 12, 6, 4, 59), true, afternoon, 300)
                  .rfind(u"Yesterday ", 0),
        0u);
}

TEST(TaskTitle, SplitsAtTheFirstLineBreakOfEitherKind)
{
    EXPECT_EQ(task_title(u"Buy milk"), u"Buy milk");
    EXPECT_EQ(task_description(u"Buy milk"), u"");
    EXPECT_EQ(task_title(u"Title\r\nline one\nline two"), u"Title");
    EXPECT_EQ(task_description(u"Title\r\nline one\nline two"), u"line one\nline two");
    // A "\r\n" anywhere wins over an earlier bare "\n".
    EXPECT_EQ(task_title(u"a\nb\r\nc"), u"a\nb");
    EXPECT_EQ(task_title(u"\nbody"), u"");
    EXPECT_EQ(task_description(u"\nbody"), u"body");
    EXPECT_EQ(task_description(u"title\n"), u"");
}

TEST(Placeholders, ReplacesEveryOccurrenceAndLeavesOtherTextAlone)
{
    EXPECT_EQ(replace_placeholder(u"Shared with %name%", u"%name%", u"Ann"), u"Shared with Ann");
    EXPECT_EQ(
        replace_placeholder(u"%name% and %name%", u"%name%", u"%name%"), u"%name% and %name%");
    EXPECT_EQ(replace_placeholder(u"no marker", u"%name%", u"Ann"), u"no marker");
    EXPECT_EQ(replace_placeholder(u"%count%", u"%count%", u""), u"");
    EXPECT_EQ(replace_placeholder(u"50%", u"", u"x"), u"50%");
}

TEST(PropertyRowStyle, RoundsTheEndsOfEachGroup)
{
    EXPECT_EQ(PropertyRow::style_for(0, 1), PropertyRow::Alone);
    EXPECT_EQ(PropertyRow::style_for(0, 0), PropertyRow::Alone);
    EXPECT_EQ(PropertyRow::style_for(0, 3), PropertyRow::First);
    EXPECT_EQ(PropertyRow::style_for(1, 3), PropertyRow::Middle);
    EXPECT_EQ(PropertyRow::style_for(2, 3), PropertyRow::Last);
    EXPECT_EQ(PropertyRow::style_for(1, 2), PropertyRow::Last);
}

} // namespace
