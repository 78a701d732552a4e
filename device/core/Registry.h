#pragma once

#include "common/base/Text.h"

#include <cstdint>

namespace corvane {

// Settings under textual key paths: a root name ("HKEY_CLASSES_ROOT", "HKEY_CURRENT_CONFIG",
// "HKEY_LOCAL_MACHINE", "HKEY_USERS", "HKEY_CURRENT_USER"), one separator and the subkey.
// Opening a key creates it, so reads create missing keys. A failed read answers false and
// leaves the output as it was, so callers pre-set their defaults. Any thread.
[[nodiscard]] bool reg_read_string(WStringView key, WStringView name, WString& out);
[[nodiscard]] bool reg_write_string(WStringView key, WStringView name, WStringView text);
[[nodiscard]] bool reg_read_dword(WStringView key, WStringView name, std::uint32_t& out);
[[nodiscard]] bool reg_write_dword(WStringView key, WStringView name, std::uint32_t value);

} // namespace corvane
