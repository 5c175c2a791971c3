#include "app/display/PaintingMask.h"

#include "document/segments/MaskCombine.h"
#include "engine/frame_record.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace {

// Eight weights (0 or 255) per mask byte, leftmost pixel first.
using Expansion = std::array<std::uint64_t, 256>;

Expansion MakeExpansion()
{
    Expansion table {};
    for (unsigned byte = 0; byte < 256; ++byte) {
        unsigned char weights[8];
        for (unsigned i = 0; i < 8; ++i)
            weights[i] = (byte & (0x80u >> i)) ? 255 : 0;
        std::memcpy(&table[byte], weights, 8);
    }
    return table;
}

const Expansion& Expand()
{
    static const Expansion table = MakeExpansion();
    return table;
}

img::image<img::bit> ClearBits(types::extent<unsigned> size)
{
    img::image<img::bit> mask(size.width, size.height, 4);
    mask.fill(false);
    return mask;
}

img::image<unsigned char> ClearGrey(types::extent<unsigned> size)
{
    img::image<unsigned char> grey(size.width, size.height, 4);
    grey.fill(0);
    return grey;
}

} // namespace

PaintingMask PaintingMask::Combine(
    const std::vector<MaskLayer>& layers, bool smooth, types::extent<unsigned> frame_size)
{
    PaintingMask result;
    if (layers.empty())
        return result;
    bool first = true;
    if (smooth) {
        result.m_kind = Kind::Grey;
        img::image<unsigned char> source;
        for (const MaskLayer& layer : layers) {
            if (layer.record && !trm::is_empty(layer.record->grey_mask))
                layer.record->grey_mask.decode(source);
            else
                source = ClearGrey(frame_size);
            combine_masks(result.m_grey, source, layer.mode.mode, layer.mode.inverted, first);
            first = false;
        }
    } else {
        result.m_kind = Kind::Bits;
        for (const MaskLayer& layer : layers) {
            if (layer.record && layer.record->bit_mask.data)
                combine_bit_masks(
                    result.m_bits, layer.record->bit_mask, layer.mode.mode, layer.mode.inverted, first);
            else
                combine_bit_masks(
                    result.m_bits, ClearBits(frame_size), layer.mode.mode, layer.mode.inverted, first);
            first = false;
        }
    }
    return result;
}

unsigned PaintingMask::Width() const
{
    switch (m_kind) {
    case Kind::Bits:
        return m_bits.width;
    case Kind::Grey:
        return m_grey.width;
    default:
        return 0;
    }
}

unsigned PaintingMask::Height() const
{
    switch (m_kind) {
    case Kind::Bits:
        return m_bits.height;
    case Kind::Grey:
        return m_grey.height;
    default:
        return 0;
    }
}

void PaintingMask::ReadRow(unsigned y, bool inverse, unsigned char* row, unsigned width) const
{
    const unsigned char outside = inverse ? 255 : 0;
    const unsigned covered = y < Height() ? std::min(width, Width()) : 0;
    if (covered > 0 && m_kind == Kind::Grey) {
        const unsigned char* in = m_grey.row(y);
        if (inverse)
            for (unsigned x = 0; x < covered; ++x)
                row[x] = static_cast<unsigned char>(255 - in[x]);
        else
            std::memcpy(row, in, covered);
    } else if (covered > 0) {
        const unsigned char* in = m_bits.row(y);
        const unsigned char flip = inverse ? 0xFF : 0x00;
        const Expansion& expand = Expand();
        const unsigned whole = covered / 8;
        for (unsigned i = 0; i < whole; ++i)
            std::memcpy(row + 8 * i, &expand[in[i] ^ flip], 8);
        for (unsigned x = whole * 8; x < covered; ++x)
            row[x] = ((in[x >> 3] ^ flip) & (0x80u >> (x & 7))) ? 255 : 0;
    }
    std::memset(row + covered, outside, width - covered);
}
