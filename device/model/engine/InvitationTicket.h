#pragma once

#include "common/base/Text.h"

#include <optional>

namespace corvane {

inline constexpr WStringView ticket_start_marker = u"--START-OF-TICKET--";
inline constexpr WStringView ticket_end_marker = u"--END-OF-TICKET--";

// The ticket between the markers, with leading and trailing characters below U+0020 removed;
// nothing when the markers are missing, out of order or hold nothing (or only control
// characters) between them.
std::optional<WString> extract_ticket(WStringView text);

} // namespace corvane
