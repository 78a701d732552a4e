#pragma once

#include "common/base/Text.h"

namespace corvane {

inline constexpr WStringView default_service_url = u"http://127.0.0.1:8080/";

// The service's base URL: the command line's choice, else the string "ServiceURL" under
// "HKEY_CURRENT_USER\Software\Ulmar\Corvane", else the local reference service. The answer
// always ends with "/", since calls go to base + "service".
WString resolve_service_url(WStringView command_line_choice);

} // namespace corvane
