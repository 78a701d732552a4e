#pragma once

#include "common/base/Text.h"
#include "device/skin/render/FontRep.h"

namespace corvane {

// Reads a skin font description: "size bold italic underline face" (a bold 10-point Tahoma is
// "10 1 0 0 Tahoma"). Each integer skips white space and takes an optional sign and one or more
// digits; the first field without a digit ends the parse and the fields not yet read keep their
// defaults (12, regular, "Tahoma"). After the four integers the rest of the text, white space
// skipped, is the face, possibly empty.
FontDescription parse_font_description(WStringView text, std::int32_t multiplier);

} // namespace corvane
