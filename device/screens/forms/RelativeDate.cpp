#include "device/screens/forms/RelativeDate.h"

namespace corvane {

WString relative_date(const Translator& translate, std::int64_t milliseconds, bool with_time,
    TimeValue now, int bias_minutes)
{
    if (milliseconds == 0)
        return translate(u"Never");
    if (with_time)
        milliseconds -= static_cast<std::int64_t>(bias_minutes) * 60000;
    TimeValue value = time_from_millis(milliseconds);
    TimeValue day = with_time_of_day(value, 0, 0, 0);
    TimeValue today = with_time_of_day(now, 0, 0, 0);
    std::int32_t d = days_between(today, day);
    WString out;
    if (d == -1)
        out = translate(u"Tomorrow");
    else if (d == 0)
        out = translate(u"Today");
    else if (d == 1)
        out = translate(u"Yesterday");
    else
        out = format_date(value, false, true, true);
    if (with_time) {
        out += u" ";
        out += format_time(value, false);
    }
    return out;
}

WString relative_date(const Translator& translate, std::int64_t milliseconds, bool with_time)
{
    return relative_date(translate, milliseconds, with_time, time_now(), time_zone_bias_minutes());
}

} // namespace corvane
