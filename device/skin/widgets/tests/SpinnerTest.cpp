#include "WidgetTestSupport.h"

#include "device/skin/render/RenderSurface.h"
#include "device/skin/widgets/DateTimePicker.h"

#include <cmath>
#include <tuple>

using namespace corvane;
using namespace corvane::test;

namespace {

// Counts the whole turns a wrapping drum reports.
struct Recorder : SpinnerProvider {
    void position_set(SpinnerElement&, const SpinnerChange& change) override
    {
        turns += change.turns;
    }
    void position_dragged(SpinnerElement&, const SpinnerChange&) override { }
    void released(SpinnerElement&) override { }
    std::unique_ptr<Element> create_item(SpinnerElement&, std::int32_t) override
    {
        return std::make_unique<Element>();
    }
    int turns = 0;
};

class Spinners : public WidgetTest {
protected:
    SpinnerElement& drum(WStringView id)
    {
        build(u"Widgets");
        return find<SpinnerElement>(id);
    }

    // A flick of `values_per_second` (the finger moves up for positive values).
    void flick(SpinnerElement& spinner, double values_per_second)
    {
        std::int32_t step = static_cast<std::int32_t>(values_per_second * 0.1 * 20 / 2);
        std::int32_t y = spinner.y() + 40;
        spinner.pointer_event(press_at(10, y, 0));
        spinner.pointer_moved(move_to(10, y - step, 50));
        spinner.pointer_moved(move_to(10, y - 2 * step, 100));
        spinner.pointer_event(release_at(10, y - 2 * step, 100));
    }

    DateTimePicker picker;
};

TimeValue at(std::int32_t year, std::int32_t month, std::int32_t day, std::int32_t hour = 0,
    std::int32_t minute = 0)
{
    return compose({ year, month, day, hour, minute, 0 });
}

} // namespace

// A wrapping drum flicked at 100 values per second coasts for 5 s and comes to rest 500
// values further on, reduced modulo the count, having turned the right number of times.
TEST_F(Spinners, CoastOnAWrappingDrum)
{
    SpinnerElement& spinner = drum(u"minute");
    Recorder recorder;
    spinner.set_provider(&recorder);
    spinner.set_count(60, true);
    spinner.set_position(10);
    flick(spinner, 100);
    EXPECT_NEAR(spinner.remaining(), 5, 1e-9);
    double start = spinner.position();
    run_for(spinner, 4.9);
    EXPECT_TRUE(spinner.is_coasting());
    run_for(spinner, 0.2);
    EXPECT_FALSE(spinner.is_coasting());
    double travelled = start + 500;
    EXPECT_NEAR(spinner.position(), std::fmod(travelled, 60), 1e-6);
    EXPECT_EQ(recorder.turns, static_cast<int>(std::floor(travelled / 60)));
    run_for(spinner, 2);
    EXPECT_EQ(spinner.position(), std::floor(spinner.position()));
    EXPECT_GE(spinner.position(), 0);
    EXPECT_LT(spinner.position(), 60);
}

// Dragging the year drum above its first value meets growing resistance; the release starts no
// coast and the drum comes back to rest on 0. A coast towards the other end stops there.
TEST_F(Spinners, EndsOfANonWrappingDrum)
{
    SpinnerElement& spinner = drum(u"year");
    spinner.set_count(4000, false);
    std::int32_t y = spinner.y() + 10;
    spinner.pointer_event(press_at(10, y, 0));
    std::uint32_t time = 0;
    for (int i = 1; i <= 20; ++i)
        spinner.pointer_moved(move_to(10, y + 10 * i, time += 10));
    double over = -spinner.position() * spinner.element_size();
    EXPECT_GT(over, 10);
    EXPECT_LE(over, spinner.height() / 2.0 + 1);
    spinner.pointer_event(release_at(10, y + 200, time += 10));
    EXPECT_FALSE(spinner.is_coasting());
    run_for(spinner, 3);
    EXPECT_EQ(spinner.position(), 0);

    // A hard flick near the other end stops there and rests on the last year.
    spinner.set_position(3980);
    flick(spinner, 60); // a 3 s coast of 180 values
    EXPECT_TRUE(spinner.is_coasting());
    run_for(spinner, 1);
    EXPECT_LE(spinner.position(), 4000);
    run_for(spinner, 4);
    EXPECT_FALSE(spinner.is_moving());
    EXPECT_EQ(spinner.position(), 3999);
}

// Binding sets the drums to the date; the picked time is the date with whole hours and minutes.
// The month drum turned from December by most of one value shows January at its centre.
TEST_F(Spinners, PickerShowsAndGivesBackTheTime)
{
    build(u"Widgets");
    picker.bind(*root, properties, u"SpinnerElementDate", at(2024, 3, 15, 13, 45));
    std::vector<double> positions;
    for (auto drum : { DateTimePicker::Year, DateTimePicker::Month, DateTimePicker::Day,
             DateTimePicker::Hour, DateTimePicker::Minute })
        positions.push_back(picker.drum(drum).position());
    EXPECT_EQ(positions, (std::vector<double> { 2024, 2, 14, 13, 45 }));
    EXPECT_EQ(picker.picked_time(), at(2024, 3, 15, 13, 45));
    // Drum values read as the user sees them: months wrap, hours keep two digits, days count
    // from 1.
    for (auto [drum, value, text] :
        { std::tuple { DateTimePicker::Month, 12, u"Jan" }, { DateTimePicker::Hour, 7, u"07" },
            { DateTimePicker::Day, 0, u"1" }, { DateTimePicker::Year, 2024, u"2024" } })
        EXPECT_EQ(DateTimePicker::value_text(drum, value), text);
    RenderSurface surface;
    ASSERT_TRUE(surface.recreate(240, 320));
    root->paint(surface, {});
    Element* item = picker.drum(DateTimePicker::Month).item(2);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(dynamic_cast<TextElement&>(*find_descendant(*item, u"#text")).text(), u"Mar");

    picker.set_time(at(2024, 12, 10));
    SpinnerElement& month = picker.drum(DateTimePicker::Month);
    EXPECT_EQ(month.position(), 11);
    month.set_position(11.6);
    EXPECT_EQ(month.current_index() % 12, 0);
    root->paint(surface, {});
    Element* january = month.item(0);
    ASSERT_NE(january, nullptr);
    EXPECT_EQ(dynamic_cast<TextElement&>(*find_descendant(*january, u"#text")).text(), u"Jan");
}

// The drums keep the date valid. Turning the day drum past the end of February 2024 (a leap
// year) carries into March and never rests on 30 or 31 February. Changing the month or year to
// one with fewer days clamps the day: 31 March -> February of a common year gives the 28th, of
// a leap year the 29th; the hour drum carries into the date.
TEST_F(Spinners, DrumsKeepTheDateValid)
{
    build(u"Widgets");
    picker.bind(*root, properties, u"SpinnerElementDate", at(2024, 2, 28));
    SpinnerElement& day = picker.drum(DateTimePicker::Day);
    // Let go at index 29 (the 30th): past the middle of the missing days it moves on to the
    // 1st of March, otherwise back to the 29th.
    day.set_position(29);
    day.set_rest(29);
    picker.released(day);
    EXPECT_EQ(day.rest(), 28); // 30 Feb is not past (29 + 31) / 2 = 30: back to the 29th
    day.set_position(30);
    day.set_rest(30);
    picker.released(day);
    EXPECT_EQ(day.rest(), 31); // 31 Feb: on to index 31, the 1st of the next month
    run_for(day, 3);
    EXPECT_EQ(day.position(), 0);
    DateTimeRecord r = decompose(picker.picked_time());
    EXPECT_EQ(std::tuple(r.month, r.day), std::tuple(3, 1));
    EXPECT_EQ(picker.drum(DateTimePicker::Month).position(), 2);

    auto turn = [&](auto drum, double value) {
        picker.drum(drum).set_position(value);
        picker.position_dragged(picker.drum(drum), { 0, value });
    };
    picker.set_time(at(2023, 3, 31));
    turn(DateTimePicker::Month, 1);
    r = decompose(picker.picked_time());
    EXPECT_EQ(std::tuple(r.month, r.day), std::tuple(2, 28));
    EXPECT_EQ(picker.drum(DateTimePicker::Day).position(), 27);

    picker.set_time(at(2023, 2, 28));
    turn(DateTimePicker::Year, 2024);
    EXPECT_EQ(decompose(picker.picked_time()).year, 2024);
    picker.set_time(at(2024, 2, 29));
    turn(DateTimePicker::Year, 2023);
    r = decompose(picker.picked_time());
    EXPECT_EQ(std::tuple(r.year, r.day), std::tuple(2023, 28));

    // Turning the hour drum from 23 past midnight on the last day of December moves the date
    // into the next year.
    picker.set_time(at(2023, 12, 31, 23, 0));
    SpinnerElement& hour = picker.drum(DateTimePicker::Hour);
    hour.set_position(24.0);
    r = decompose(picker.picked_time());
    EXPECT_EQ(std::tuple(r.year, r.month, r.day, r.hour), std::tuple(2024, 1, 1, 0));
    EXPECT_EQ(picker.drum(DateTimePicker::Year).position(), 2024);
}
