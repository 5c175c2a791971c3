#pragma once

// Rectangle operations on 1-bit masks: the six bitwise blits, the clipped
// rectangle copy and the per-pixel copy. Mask combining, the brush tools and
// the engine's morphology are built on them.
//
// Clipping: a rectangle of `width` x `height` pixels at (x, y) in the
// destination meets the rectangle of the same size at (source x, source y) in
// the source; only the pixels inside both images take part, and destination
// pixels outside that never change (row padding included). Coordinates may
// be negative or lie outside either image; an empty result does nothing.
//
// Source and destination may be the same image: the result is then the one
// of reading the whole source rectangle before writing anything. Two
// different records must not share a buffer.
//
// The blits work a 64-bit word at a time; none of these allocate or throw.

#include "foundation/image/image.h"

namespace img {

// {left, top, right, bottom}; right and bottom are exclusive.
struct rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    bool operator==(const rect&) const = default;
};

// False when the rectangles do not overlap; else true, and `out` (when not
// null) receives their intersection.
bool intersect_rects(const rect& a, const rect& b, rect* out = nullptr) noexcept;

// destination = destination OR source
void blit_or(image<bit>& destination, int x, int y, int width, int height, const image<bit>& source,
    int source_x, int source_y) noexcept;
// destination = destination OR NOT source
void blit_or_not(image<bit>& destination, int x, int y, int width, int height, const image<bit>& source,
    int source_x, int source_y) noexcept;
// destination = destination AND source
void blit_and(image<bit>& destination, int x, int y, int width, int height, const image<bit>& source,
    int source_x, int source_y) noexcept;
// destination = destination AND NOT source
void blit_and_not(image<bit>& destination, int x, int y, int width, int height, const image<bit>& source,
    int source_x, int source_y) noexcept;
// destination = destination XOR source
void blit_xor(image<bit>& destination, int x, int y, int width, int height, const image<bit>& source,
    int source_x, int source_y) noexcept;
// destination = destination XOR NOT source
void blit_xnor(image<bit>& destination, int x, int y, int width, int height, const image<bit>& source,
    int source_x, int source_y) noexcept;

// The destination pixel takes the source pixel's value.
inline void copy_bit_pixel(pixel_ref<bit> destination, pixel_ref<const bit> source) noexcept
{
    destination = static_cast<bool>(source);
}

// Copies into `area` of the destination the source pixels starting at
// `source_position`, clipped like the blits (a negative corner included).
// An area whose right or bottom lies before its left or top copies nothing.
void copy_rect(
    image<bit>& destination, const rect& area, const image<bit>& source, point source_position) noexcept;

// Copies the overlap of the two images at (0, 0).
void copy_whole(image<bit>& destination, const image<bit>& source) noexcept;

} // namespace img
