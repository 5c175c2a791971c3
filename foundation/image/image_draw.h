#pragma once

// Drawing images into a window's device context, and the bitmap header of a
// 1-bit mask. Kept apart from the image record so that only code that draws
// links the window layer.

#include "foundation/image/image.h"
#include "platform/gui/dc.h"

namespace img {

// Draws the (source x, y, width, height) part of a 32-bit image stretched to
// the destination rectangle, with the DC's stretch mode; returns the rows
// drawn (the result of StretchDIBits), 0 on failure. An image whose rows are
// not packed as a device-independent bitmap's (stride other than width x 4)
// is drawn through a packed copy.
int draw_to_dc(CDC& dc, int x, int y, int width, int height, int src_x, int src_y, int src_width,
    int src_height, const image<BGRA<unsigned char>>& image, DWORD rop);

// Draws a device-independent bitmap's rectangle through StretchDIBits with a
// 40-byte header (negative height for top-down rows); the source y is
// turned into the bottom-up count StretchDIBits takes.
int stretch_dib(CDC& dc, int x, int y, int width, int height, int src_x, int src_y, int src_width,
    int src_height, int bits_per_pixel, unsigned image_width, unsigned image_height, bool top_down,
    const void* data, DWORD rop);

} // namespace img

// The header of a 1-bit mask as a device-independent bitmap: entry 0 of the
// colour table is the colour of clear bits, entry 1 that of set bits.
BITMAPINFO make_mask_bitmap_info(const img::image<img::bit>& mask, COLORREF set_color, COLORREF clear_color);
