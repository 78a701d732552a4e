#pragma once

#include <cstdint>

namespace corvane {

// The platform virtual-key code (Windows numbering, which the program's key table maps) for an
// SDL key code; 0 for keys the device does not have. F1 and F2 are the soft keys, F3 and F4 the
// call keys, F6 and F7 the volume keys, F8 "*" and F9 "#".
std::uint32_t virtual_key_for_sdl_key(std::int32_t sdl_keycode);

} // namespace corvane
