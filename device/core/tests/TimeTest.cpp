#include "device/core/TimeUtils.h"
#include "device/core/testing/FakeClock.h"
#include "device/platform/Platform.h"

#include <gtest/gtest.h>

#include <clocale>
#include <tuple>

using namespace corvane;

TEST(Time, epoch_conversions)
{
    EXPECT_EQ(time_from_millis(0), 116'444'736'000'000'000LL);
    EXPECT_EQ(time_to_millis(116'444'736'000'000'000LL), 0);
    EXPECT_EQ(time_to_millis(time_from_millis(1'765'000'000'123LL)), 1'765'000'000'123LL);
    // Division truncates toward zero for instants before 1970.
    EXPECT_EQ(time_to_millis(time_from_millis(-1) + 9'999), 0);
    EXPECT_EQ(time_to_millis(time_from_millis(-5)), -5);
}

TEST(Time, system_records_round_trip_across_calendar_edges)
{
    SystemTime leap { 2000, 2, 0, 29, 23, 59, 59, 999 };
    TimeValue t = time_from_system(leap);
    SystemTime b = time_to_system(t);
    EXPECT_EQ(std::tuple(b.year, b.month, b.day, b.day_of_week, b.hour, b.minute, b.second,
                  b.milliseconds),
        std::tuple(2000, 2, 29, 2, 23, 59, 59, 999)); // a Tuesday
    EXPECT_EQ(time_to_system(t + 10'000).day, 1); // one millisecond later is 1 March
    EXPECT_EQ(time_to_system(time_from_millis(0)).year, 1970);
    EXPECT_EQ(time_to_system(0).day_of_week, 1); // 1 January 1601 was a Monday

    // Records the platform rejects give 0; negative values give an empty record.
    EXPECT_EQ(time_from_system({ 1900, 2, 0, 29, 0, 0, 0, 0 }), 0);
    EXPECT_EQ(time_from_system({ 2001, 13, 0, 1, 0, 0, 0, 0 }), 0);
    EXPECT_EQ(time_to_system(-1).year, 0);
}

TEST(Time, month_lengths_and_leap_years)
{
    for (auto [year, month, days] : { std::tuple { 1900, 2, 28 }, { 2000, 2, 29 }, { 2008, 2, 29 },
             { 2023, 2, 28 }, { 2023, 4, 30 }, { 2023, 12, 31 }, { 2023, 0, 0 } })
        EXPECT_EQ(days_in_month(year, month), days) << year << "-" << month;
}

// Two instants 23 hours apart on consecutive days are 0 days apart; their day starts are 1.
TEST(Time, days_between_compares_day_starts)
{
    TimeValue late = compose({ 2026, 12, 5, 23, 0, 0 });
    TimeValue tomorrow = compose({ 2026, 12, 6, 22, 0, 0 });
    EXPECT_EQ(days_between(tomorrow, late), 0);
    EXPECT_EQ(
        days_between(with_time_of_day(tomorrow, 0, 0, 0), with_time_of_day(late, 0, 0, 0)), 1);
    EXPECT_EQ(
        days_between(with_time_of_day(late, 0, 0, 0), with_time_of_day(tomorrow, 0, 0, 0)), -1);
}

TEST(Time, decompose_keeps_fractions_and_compose_gives_them_back)
{
    TimeValue t = compose({ 2024, 3, 31, 13, 45, 0 }) + 12 * intervals_per_second + 3'456'789;
    DateTimeRecord r = decompose(t);
    EXPECT_EQ(
        std::tuple(r.year, r.month, r.day, r.hour, r.minute), std::tuple(2024, 3, 31, 13, 45));
    EXPECT_NEAR(r.seconds, 12.3456789, 1e-9);
    EXPECT_LE(std::llabs(compose(r) - t), 1);
    EXPECT_EQ(with_time_of_day(t, 0, 0, 0), compose({ 2024, 3, 31, 0, 0, 0 }));
}

TEST(TimeFormat, c_locale_texts)
{
    std::setlocale(LC_TIME, "C");
    TimeValue t = compose({ 2026, 3, 7, 9, 5, 0 }) + 4 * intervals_per_second;
    EXPECT_EQ(format_time(t, true), u"09:05:04");
    EXPECT_EQ(format_time(t, false), u"09:05");
    EXPECT_EQ(day_month_pattern(true), u"MMMM dd");
    EXPECT_EQ(format_date(t, true, true, false), u"March 07");
    EXPECT_EQ(format_date(t, false, true, false), u"03.07");
    EXPECT_EQ(format_date(t, false, false, false), u"Mar");
    EXPECT_EQ(format_date(t, false, true, true), u"03/07/26");
    EXPECT_EQ(format_date(t, true, true, true), u"March 7, 2026");
    EXPECT_EQ(format_date_pattern(t, u"d 'of' MMMM yyyy"), u"7 of March 2026");

    // The own pattern follows the order of the parts in the locale's short date.
    EXPECT_EQ(day_month_pattern_from_sample(u"11/22/00", true), u"MMMM dd");
    EXPECT_EQ(day_month_pattern_from_sample(u"11/22/00", false), u"MM.dd");
    EXPECT_EQ(day_month_pattern_from_sample(u"22.11.2000", true), u"dd MMMM");
    EXPECT_EQ(day_month_pattern_from_sample(u"2000-11-22", false), u"MM.dd");
    EXPECT_EQ(day_month_pattern_from_sample(u"22/11/2000", false), u"dd.MM");
}

TEST(Time, now_comes_from_the_platform_clock)
{
    test::FakeClock clock;
    clock.set_local_time({ 2026, 12, 0, 6, 20, 15, 30, 250 });
    Clock* previous = platform().clock;
    platform().clock = &clock;
    TimeValue now = time_now();
    platform().clock = previous;
    EXPECT_EQ(now, compose({ 2026, 12, 6, 20, 15, 30.25 }));
}
