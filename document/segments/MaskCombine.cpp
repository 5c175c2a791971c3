#include "document/segments/MaskCombine.h"

#include "document/segments/MaskMode.h"
#include "foundation/image/blit.h"

#include <algorithm>
#include <cstdint>

namespace {

// The first layer's inversion: a Subtract base stands for everything but its
// mask, and the layer's own inversion undoes that.
bool InvertsBase(int mode, bool inverted)
{
    return inverted != (mode == MaskMode::Subtract);
}

// The grey loops run over two plain rows with the same branch-free
// operation on every byte, in 16-bit arithmetic, which the compiler turns
// into vector code (the file is built with vectorising on).
using Lane = std::uint16_t;

// x / 255 truncated, exact for every product of two bytes.
inline Lane Div255(Lane x)
{
    return static_cast<Lane>((x + 1 + (x >> 8)) >> 8);
}

template <class Kernel>
void CombineRows(img::image<unsigned char>& d, const img::image<unsigned char>& s, Kernel kernel)
{
    const unsigned width = std::min(d.width, s.width);
    const unsigned height = std::min(d.height, s.height);
    for (unsigned y = 0; y < height; ++y) {
        unsigned char* out = d.row(y);
        const unsigned char* in = s.row(y);
        for (unsigned x = 0; x < width; ++x)
            out[x] = static_cast<unsigned char>(kernel(Lane { out[x] }, Lane { in[x] }));
    }
}

// One kernel per mode with the source's inversion folded in, so the inner
// loop has no branch.
template <bool Inverted>
void CombineGrey(img::image<unsigned char>& d, const img::image<unsigned char>& s, int mode)
{
    auto src = [](Lane v) { return static_cast<Lane>(Inverted ? 255 - v : v); };
    switch (mode) {
    case MaskMode::Add:
        CombineRows(d, s, [&](Lane a, Lane b) { return std::min<Lane>(a + src(b), 255); });
        break;
    case MaskMode::Subtract:
        // max(a - b, 0) without a signed step: a - min(a, b).
        CombineRows(d, s, [&](Lane a, Lane b) { return static_cast<Lane>(a - std::min(a, src(b))); });
        break;
    case MaskMode::Intersect:
        CombineRows(d, s, [&](Lane a, Lane b) { return Div255(static_cast<Lane>(a * src(b))); });
        break;
    case MaskMode::Lighten:
        CombineRows(d, s, [&](Lane a, Lane b) { return std::max(a, src(b)); });
        break;
    case MaskMode::Darken:
        CombineRows(d, s, [&](Lane a, Lane b) { return std::min(a, src(b)); });
        break;
    case MaskMode::Difference:
        CombineRows(d, s,
            [&](Lane a, Lane b) { return static_cast<Lane>(std::max(a, src(b)) - std::min(a, src(b))); });
        break;
    default:
        break;
    }
}

} // namespace

void combine_bit_masks(img::image<img::bit>& accumulated, const img::image<img::bit>& source, int mode,
    bool inverted, bool first)
{
    if (first) {
        accumulated = source;
        if (InvertsBase(mode, inverted))
            accumulated.invert();
        return;
    }
    const int w = static_cast<int>(source.width);
    const int h = static_cast<int>(source.height);
    switch (mode) {
    case MaskMode::Add:
    case MaskMode::Lighten:
        (inverted ? img::blit_or_not : img::blit_or)(accumulated, 0, 0, w, h, source, 0, 0);
        break;
    case MaskMode::Intersect:
    case MaskMode::Darken:
        (inverted ? img::blit_and_not : img::blit_and)(accumulated, 0, 0, w, h, source, 0, 0);
        break;
    case MaskMode::Subtract:
        (inverted ? img::blit_and : img::blit_and_not)(accumulated, 0, 0, w, h, source, 0, 0);
        break;
    case MaskMode::Difference:
        (inverted ? img::blit_xnor : img::blit_xor)(accumulated, 0, 0, w, h, source, 0, 0);
        break;
    default:
        break;
    }
}

void combine_masks(img::image<unsigned char>& accumulated, const img::image<unsigned char>& source, int mode,
    bool inverted, bool first)
{
    if (first) {
        accumulated = source;
        if (InvertsBase(mode, inverted))
            for (unsigned y = 0; y < accumulated.height; ++y) {
                unsigned char* row = accumulated.row(y);
                for (unsigned x = 0; x < accumulated.width; ++x)
                    row[x] = static_cast<unsigned char>(255 - row[x]);
            }
        return;
    }
    if (inverted)
        CombineGrey<true>(accumulated, source, mode);
    else
        CombineGrey<false>(accumulated, source, mode);
}
