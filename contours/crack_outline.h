#pragma once

#include "foundation/image/image.h"

#include <cstdint>
#include <vector>

namespace contours {

// A closed outline along the cracks between the pixels of a mask. Each vertex
// is a pixel corner packed as x in the low 16 bits and y in the high 16 bits;
// the corner (x, y) is the upper-left corner of pixel (x, y). Consecutive
// vertices differ by one unit step; the first vertex is repeated at the end.
using crack_outline = std::vector<std::uint32_t>;

constexpr std::uint32_t make_vertex(unsigned x, unsigned y)
{
    return (y << 16) | (x & 0xFFFFu);
}
constexpr unsigned vertex_x(std::uint32_t v)
{
    return v & 0xFFFFu;
}
constexpr unsigned vertex_y(std::uint32_t v)
{
    return v >> 16;
}

// The largest mask width and height that outlines can describe.
inline constexpr unsigned max_outline_extent = 65535;

// Appends every outline of the mask to `outlines`, in the order of a fixed
// scan (top and bottom row, left and right column, then rows top to bottom).
// Pixels outside the mask count as clear. Every outline keeps the set pixels
// on its left (an object's outer outline runs anticlockwise on screen, a
// hole's clockwise); pixels touching only at a corner belong to one object,
// whose outline passes that corner twice. The outer outline of an object
// that covers the whole border is the image border, listed first. A mask
// with no set pixel or no clear pixel has no outline. Throws
// std::runtime_error when the mask is wider or taller than
// max_outline_extent.
void trace_outlines(const img::image<img::bit>& mask, std::vector<crack_outline>& outlines);

// The outline of the mask's main object: the outline with the most vertices
// (the first found among equals); when that outline bounds a hole, the outer
// outline of the object around the hole instead, so that filling the result
// paints the object. Throws std::runtime_error "The bitmap contains no
// outlines" when the mask has no outline; `out` is then untouched.
void longest_outline(const img::image<img::bit>& mask, crack_outline& out);

} // namespace contours
