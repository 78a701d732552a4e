#pragma once

#include "common/base/Text.h"

namespace corvane {

// The time written into request log entries: the tick count in seconds since system start,
// with millisecond decimals ("1234.567").
WString log_seconds();

} // namespace corvane
