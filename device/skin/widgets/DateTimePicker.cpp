#include "device/skin/widgets/DateTimePicker.h"

#include "device/skin/skin/ElementLookup.h"
#include "device/skin/skin/SkinErrors.h"

#include <algorithm>
#include <cmath>

namespace corvane {

namespace {

    constexpr const char16_t* drum_names[] = { u"year", u"month", u"day", u"hour", u"minute" };
    constexpr std::int32_t drum_counts[] = { 4000, 12, 31, 24, 60 };
    constexpr const char16_t* month_names[] = { u"Jan", u"Feb", u"Mar", u"Apr", u"May", u"Jun",
        u"Jul", u"Aug", u"Sep", u"Oct", u"Nov", u"Dec" };
    // The calendar the time value covers; drum years outside it are held at its ends.
    constexpr std::int32_t first_year = 1601;
    constexpr std::int32_t last_year = 3999;

} // namespace

DateTimePicker::~DateTimePicker()
{
    for (SpinnerElement* drum : m_drums) {
        if (drum)
            drum->set_provider(nullptr);
    }
}

WString DateTimePicker::value_text(Drum which, std::int32_t index)
{
    switch (which) {
    case Month:
        return month_names[((index % 12) + 12) % 12];
    case Day:
        return to_wstring(index + 1);
    case Hour:
    case Minute: {
        WString text { static_cast<char16_t>(u'0' + (index / 10) % 10),
            static_cast<char16_t>(u'0' + index % 10) };
        return text;
    }
    default:
        return to_wstring(index);
    }
}

void DateTimePicker::bind(
    Element& root, Properties& properties, WStringView item_node, TimeValue time)
{
    std::array<SpinnerElement*, DrumCount> found {};
    for (std::int32_t i = 0; i < DrumCount; ++i) {
        found[i] = dynamic_cast<SpinnerElement*>(find_descendant(root, drum_names[i]));
        if (!found[i])
            throw NodeNotFound(root.id(), drum_names[i]);
    }
    m_drums = found;
    m_properties = &properties;
    m_item_node = WString(item_node);
    for (std::int32_t i = 0; i < DrumCount; ++i) {
        m_drums[i]->set_provider(nullptr);
        m_drums[i]->set_count(drum_counts[i], i != Year);
    }
    for (SpinnerElement* drum : m_drums)
        drum->set_provider(this);
    set_time(time);
}

void DateTimePicker::set_time(TimeValue time)
{
    DateTimeRecord r = decompose(time);
    m_hour = r.hour;
    m_minute = r.minute;
    r.hour = 0;
    r.minute = 0;
    m_date = compose(r);
    if (!m_drums[Year])
        return;
    m_drums[Year]->set_position(r.year);
    m_drums[Month]->set_position(r.month - 1);
    m_drums[Day]->set_position(r.day - 1);
    m_drums[Hour]->set_position(m_hour);
    m_drums[Minute]->set_position(m_minute);
}

TimeValue DateTimePicker::picked_time() const
{
    return m_date + static_cast<std::int64_t>(std::trunc(m_hour)) * 36'000'000'000
        + static_cast<std::int64_t>(std::trunc(m_minute)) * intervals_per_minute;
}

DateTimePicker::Drum DateTimePicker::which(const SpinnerElement& spinner) const
{
    for (std::int32_t i = 0; i < DrumCount; ++i) {
        if (m_drums[i] == &spinner)
            return Drum(i);
    }
    return DrumCount;
}

void DateTimePicker::compose_date(std::int32_t year, std::int32_t month, std::int32_t day)
{
    DateTimeRecord r = decompose(m_date);
    r.year = std::clamp(year, first_year, last_year);
    r.month = month;
    r.day = std::clamp(day, 1, days_in_month(r.year, month));
    r.hour = 0;
    r.minute = 0;
    m_date = compose(r);
}

void DateTimePicker::position_set(SpinnerElement& spinner, const SpinnerChange& change)
{
    double pos = spinner.position();
    switch (which(spinner)) {
    case Minute:
        m_minute = pos;
        if (change.turns != 0)
            m_hour += change.turns;
        m_drums[Hour]->set_position(std::floor(m_hour) + (pos > 59 ? pos - 59 : 0));
        break;
    case Hour: {
        m_hour = std::floor(pos);
        if (change.turns != 0) {
            TimeValue moved = m_date + static_cast<std::int64_t>(change.turns) * intervals_per_day;
            if (decompose(moved).year >= first_year && decompose(moved).year <= last_year)
                m_date = moved;
        }
        DateTimeRecord r = decompose(m_date);
        std::int32_t d = days_in_month(r.year, r.month);
        std::int32_t k = r.day == d ? 32 - d : 1;
        m_drums[Day]->set_position(pos > 23 ? (pos - 23) * k + (r.day - 1) : r.day - 1);
        break;
    }
    case Day: {
        DateTimeRecord r = decompose(m_date);
        std::int32_t d = days_in_month(r.year, r.month);
        m_drums[Month]->set_position(
            pos + 1 > d ? (pos + 1 - d) / (32 - d) + (r.month - 1) : r.month - 1);
        break;
    }
    case Month: {
        DateTimeRecord r = decompose(m_date);
        m_drums[Year]->set_position(pos > 11 ? pos + r.year - 11 : r.year);
        break;
    }
    default:
        break;
    }
}

void DateTimePicker::position_dragged(SpinnerElement& spinner, const SpinnerChange& change)
{
    Drum drum = which(spinner);
    if (drum == DrumCount)
        return;
    double value = std::floor(spinner.position());
    DateTimeRecord r = decompose(m_date);
    bool taken = true;
    switch (drum) {
    case Hour:
        taken = m_drums[Minute]->position() <= 59;
        if (taken)
            m_hour = value;
        break;
    case Day:
        taken = m_drums[Hour]->position() <= 23;
        if (taken) {
            std::int32_t month = r.month + change.turns;
            std::int32_t year = r.year;
            while (month > 12)
                month -= 12, ++year;
            while (month < 1)
                month += 12, --year;
            compose_date(year, month, static_cast<std::int32_t>(value) + 1);
        }
        break;
    case Month:
        taken = m_drums[Day]->position() + 1 <= days_in_month(r.year, r.month);
        if (taken) {
            std::int32_t year = r.year + change.turns;
            auto month = static_cast<std::int32_t>(value) + 1;
            std::int32_t last = days_in_month(std::clamp(year, first_year, last_year), month);
            compose_date(year, month, std::min(r.day, last));
            if (r.day > last)
                m_drums[Day]->set_position(last - 1);
        }
        break;
    case Year:
        taken = m_drums[Month]->position() <= 11;
        if (taken) {
            auto year = static_cast<std::int32_t>(value);
            std::int32_t last = days_in_month(std::clamp(year, first_year, last_year), r.month);
            compose_date(year, r.month, std::min(r.day, last));
            if (r.day > last)
                m_drums[Day]->set_position(last - 1);
        }
        break;
    default:
        break;
    }
    // The date changed under the drum: the drums above follow it as on any position change.
    if (taken)
        position_set(spinner, { 0, spinner.position() });
    if (m_listener)
        m_listener->changed(*this, drum);
}

void DateTimePicker::released(SpinnerElement& spinner)
{
    // Where the drum's own coast would end; the day drum may move it off a missing day.
    auto x = static_cast<std::int32_t>(std::floor(spinner.rest() + 0.5));
    if (which(spinner) == Day) {
        DateTimeRecord r = decompose(m_date);
        std::int32_t year = r.year;
        std::int32_t month = r.month;
        if (x < 0 && --month < 1)
            month = 12, --year;
        std::int32_t d = days_in_month(std::clamp(year, first_year, last_year), month);
        std::int32_t day = ((x % 31) + 31) % 31 + 1;
        if (day > d) {
            if (day > (d + 31) / 2)
                x = x - day + 32;
            else
                x = x + d - day;
        }
    }
    spinner.set_rest(x);
}

std::unique_ptr<Element> DateTimePicker::create_item(SpinnerElement& spinner, std::int32_t index)
{
    auto item = std::make_unique<Element>();
    if (m_properties)
        build_from_node_or_throw(*item, *m_properties, m_item_node);
    item->assign_text(u"#text", value_text(which(spinner), index));
    return item;
}

} // namespace corvane
