#pragma once

// The combined mask of a frame's mask layers as the painting reads it: an
// 8-bit weight per pixel, 0 outside the object and 255 inside (a crisp mask
// gives only those two), read one row at a time.

#include "document/segments/MaskMode.h"
#include "foundation/image/image.h"
#include "foundation/numbers/extent.h"

#include <vector>

class PaintingMask {
public:
    // No mask: every pixel weighs 0.
    PaintingMask() = default;

    // The layers combined in order, the first marked as first: their crisp
    // masks into a 1-bit mask, or (smooth) their grey masks, decoded, into an
    // 8-bit one. A layer without a record or without the mask asked for
    // stands for an all-clear mask of `frame_size`. No layers: no mask.
    // Decoding errors (img::io_error) and allocation failures pass on.
    static PaintingMask Combine(
        const std::vector<MaskLayer>& layers, bool smooth, types::extent<unsigned> frame_size);

    bool IsEmpty() const { return m_kind == Kind::None; }
    // The area the mask covers; 0 x 0 without one.
    unsigned Width() const;
    unsigned Height() const;

    // Fills row[0, width) with the weights of row y, each m replaced by
    // 255 - m when `inverse`. Pixels outside the mask (columns or rows
    // beyond it, or everything without a mask) weigh 0 before inversion.
    void ReadRow(unsigned y, bool inverse, unsigned char* row, unsigned width) const;

private:
    enum class Kind { None, Bits, Grey };
    Kind m_kind = Kind::None;
    img::image<img::bit> m_bits;
    img::image<unsigned char> m_grey;
};
