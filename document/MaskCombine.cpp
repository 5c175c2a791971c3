#include "document/MaskCombine.h"

#include "document/MaskMode.h"
#include "foundation/blit.h"

#include <algorithm>

namespace {

// The first layer's inversion: a Subtract base stands for everything but its
// mask, and the layer's own inversion undoes that.
bool InvertsBase(int mode, bool inverted)
{
    return inverted != (mode == MaskMode::Subtract);
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
            out[x] = kernel(out[x], in[x]);
    }
}

// One kernel per mode with the source's inversion folded in, so the inner
// loop has no branch.
template <bool Inverted>
void CombineGrey(img::image<unsigned char>& d, const img::image<unsigned char>& s, int mode)
{
    auto src = [](int v) { return Inverted ? 255 - v : v; };
    switch (mode) {
    case MaskMode::Add:
        CombineRows(
            d, s, [&](int a, int b) { return static_cast<unsigned char>(std::min(a + src(b), 255)); });
        break;
    case MaskMode::Subtract:
        CombineRows(d, s, [&](int a, int b) { return static_cast<unsigned char>(std::max(a - src(b), 0)); });
        break;
    case MaskMode::Intersect:
        CombineRows(d, s, [&](int a, int b) { return static_cast<unsigned char>(a * src(b) / 255); });
        break;
    case MaskMode::Lighten:
        CombineRows(d, s, [&](int a, int b) { return static_cast<unsigned char>(std::max(a, src(b))); });
        break;
    case MaskMode::Darken:
        CombineRows(d, s, [&](int a, int b) { return static_cast<unsigned char>(std::min(a, src(b))); });
        break;
    case MaskMode::Difference:
        CombineRows(d, s,
            [&](int a, int b) { return static_cast<unsigned char>(a > src(b) ? a - src(b) : src(b) - a); });
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
