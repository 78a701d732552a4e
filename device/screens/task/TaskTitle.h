#pragma once

#include "common/base/Text.h"

namespace corvane {

// The first line of a record's text: up to the first "\r\n", or else the first "\n".
WString task_title(WStringView text);
// The rest after the first line (empty when the text is one line).
WString task_description(WStringView text);

} // namespace corvane
