#pragma once

#include "device/skin/render/Blender.h"
#include "device/skin/render/Color.h"

#include <cstdint>
#include <memory>

namespace corvane {

class Surface;

// The program's blenders. s is the source pixel, d the destination pixel.

// d <- s.
std::unique_ptr<Blender> make_plain_copy_blender();
// d <- the colour's 565 value; needs no source (fill), and writes it for copies as well.
std::unique_ptr<Blender> make_solid_fill_blender(Color color);
// d <- s unless s is transparent_pixel.
std::unique_ptr<Blender> make_color_key_blender();
// Transparent s keeps d, an opaque s replaces d, a shadow s (opaque bit clear) becomes
// s + a quarter (level 1), a half (level 2) or three quarters (level 3) of d. Level clamps to 1..3.
std::unique_ptr<Blender> make_shadow_blender(int level);
// d <- s when s is opaque and not transparent_pixel.
std::unique_ptr<Blender> make_opaque_only_blender();
// d <- s with red, green and blue multiplied by factor / 256 (factors up to 256).
std::unique_ptr<Blender> make_tint_blender(
    std::uint32_t red, std::uint32_t green, std::uint32_t blue);
// d <- (tinted s) | d.
std::unique_ptr<Blender> make_tint_merge_blender(
    std::uint32_t red, std::uint32_t green, std::uint32_t blue);
// d <- s, with the opaque bit set when s differs from d: text drawn over a transparent render
// cache stays visible through the colour-key blenders.
std::unique_ptr<Blender> make_text_merge_blender();
// Darkens d to k/16 of every channel (0: black, 16: unchanged); k clamps to 0..16. Needs no
// source: fill() darkens, and copies darken the destination too.
std::unique_ptr<Blender> make_dim_blender_level(int k);
// The dim blender for a dim value V as the screen stack keeps it: k = (V + 8) / 16, so 256
// leaves pixels unchanged and 128 halves every channel.
std::unique_ptr<Blender> make_dim_blender(int value);
// The blender for a skin alpha value A: entry A / 64, clamped to 0..4, of colour key, shadow
// levels 1 to 3 and opaque-only. Negative values select the colour key.
std::unique_ptr<Blender> make_alpha_blender(std::int64_t alpha);
// Mixes s into d by the blue channel m (0..31) of `mask` read at the same source coordinates:
// m = 0 keeps d, m = 31 takes s, otherwise each 8-bit channel becomes d + (s - d) * m / 32.
// `opacity` (0..256, 256 = none) further scales m. The mask must have the size of every source
// drawn through it; spans outside the mask leave d unchanged.
std::unique_ptr<Blender> make_mask_blender(std::shared_ptr<const Surface> mask, int opacity = 256);

// Shared instances of the stateless blenders, for callers that need one for a single draw.
const Blender& plain_copy_blender();
const Blender& color_key_blender();
const Blender& text_merge_blender();

} // namespace corvane
