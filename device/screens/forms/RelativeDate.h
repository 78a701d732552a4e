#pragma once

#include "common/base/Text.h"
#include "device/core/TimeUtils.h"

#include <cstdint>
#include <functional>

namespace corvane {

using Translator = std::function<WString(WStringView)>;

// A time in milliseconds since 1970-01-01 UTC shown relative to today: "Never" for 0,
// "Tomorrow", "Today", "Yesterday", or the short date; with time of day the value is taken as
// UTC and moved into local time first, and the time without seconds follows.
// `now` is the local time and `bias_minutes` the zone bias (UTC minus local).
WString relative_date(const Translator& translate, std::int64_t milliseconds, bool with_time,
    TimeValue now, int bias_minutes);
// The same against the device clock.
WString relative_date(const Translator& translate, std::int64_t milliseconds, bool with_time);

} // namespace corvane
