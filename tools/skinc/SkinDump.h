#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace skinc {

// Prints a compiled skin in the stable text form documented in docs/skin-format.md. Answers
// false (after printing why to `errors`) when the file breaks the format.
bool dump_skin(const std::vector<std::uint8_t>& bytes, std::ostream& out, std::ostream& errors);

} // namespace skinc
