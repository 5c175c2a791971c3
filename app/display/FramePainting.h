#pragma once

// The per-pixel painting of a frame in the display types that combine a
// mask with pictures. Weights come from a PaintingMask read with the style's
// inversion, so below n is the weight of a pixel after inversion (m, or
// 255 - m when inverted). All arithmetic is integer; every division by 255
// truncates.

#include "app/display/PaintingMask.h"
#include "foundation/image/image.h"
#include "foundation/numbers/extent.h"

#include <cstdint>

namespace FramePainting {

using Pixel = img::BGRA<unsigned char>;

// x / 255 truncated, for 0 <= x <= 255 x 255. The sum x + 1 + (x >> 8)
// stays within 16 bits (at most 65280), so the painting loops run it on
// 16-bit vector lanes.
constexpr unsigned char Div255(std::uint16_t x)
{
    return static_cast<unsigned char>(static_cast<std::uint16_t>(x + 1 + (x >> 8)) >> 8);
}

// Mask Only: out gets `size` (alignment 4) when its size differs; every
// pixel becomes blue = green = red = n, alpha = 255 - n.
void PaintMask(img::image<Pixel>& out, types::extent<unsigned> size, const PaintingMask& mask, bool inverse);

// Composition: out gets the foreground's size (alignment 4) when its size
// differs and the foreground's pixels; over the area common to the
// foreground, the background and the mask (the whole of the two pictures'
// common area without a mask, where every pixel weighs 0), each colour
// becomes ((255 - n) x foreground + n x background) / 255 and alpha
// 255 - n.
void PaintComposition(img::image<Pixel>& out, const img::image<Pixel>& foreground,
    const img::image<Pixel>& background, const PaintingMask& mask, bool inverse);

// Matted Foreground: out gets the foreground's size as above; over the whole
// of it the matte's weight is a = (matte alpha x n) / 255, each colour
// becomes ((255 - a) x foreground + a x matte) / 255 and alpha 255 - a.
void PaintMatted(img::image<Pixel>& out, const img::image<Pixel>& foreground, const PaintingMask& mask,
    bool inverse, Pixel matte);

} // namespace FramePainting
