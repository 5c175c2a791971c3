#include "app/display/FramePainting.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace FramePainting {

namespace {

// Gives out the size, keeping its buffer when the size agrees.
void Shape(img::image<Pixel>& out, unsigned width, unsigned height)
{
    if (out.width != width || out.height != height || (out.data == nullptr && width > 0 && height > 0))
        out.resize(width, height, 4);
}

// The rows below work on bytes, four to a pixel. Every product sum of two
// weights adding up to 255 fits 16 bits, and so does Div255's intermediate
// (at most 65280), so the arithmetic runs in 16-bit lanes.
using Lane = std::uint16_t;

// (wa x a + wb x b) / 255 truncated, for wa + wb <= 255.
inline unsigned char Blend(Lane wa, Lane a, Lane wb, Lane b)
{
    const Lane sum = static_cast<Lane>(wa * a + wb * b);
    return static_cast<unsigned char>(static_cast<Lane>(sum + 1 + (sum >> 8)) >> 8);
}
// __restrict: the rows of different pictures never overlap, which lets
// the compiler run the loops over many pixels at once.

void MaskRow(unsigned char* __restrict out, const unsigned char* __restrict weight, std::size_t width)
{
    for (std::size_t x = 0; x < width; ++x) {
        const unsigned char n = weight[x];
        out[4 * x + 0] = n;
        out[4 * x + 1] = n;
        out[4 * x + 2] = n;
        out[4 * x + 3] = static_cast<unsigned char>(255 - n);
    }
}

void CompositionRow(unsigned char* __restrict out, const unsigned char* __restrict front,
    const unsigned char* __restrict back, const unsigned char* __restrict weight, std::size_t width)
{
    for (std::size_t x = 0; x < width; ++x) {
        const Lane n = weight[x];
        const Lane k = static_cast<Lane>(255 - n);
        out[4 * x + 0] = Blend(k, front[4 * x + 0], n, back[4 * x + 0]);
        out[4 * x + 1] = Blend(k, front[4 * x + 1], n, back[4 * x + 1]);
        out[4 * x + 2] = Blend(k, front[4 * x + 2], n, back[4 * x + 2]);
        out[4 * x + 3] = static_cast<unsigned char>(k);
    }
}

void MattedRow(unsigned char* __restrict out, const unsigned char* __restrict front,
    const unsigned char* __restrict weight, std::size_t width, Pixel matte)
{
    const Lane alpha = matte.a;
    const Lane blue = matte.b;
    const Lane green = matte.g;
    const Lane red = matte.r;
    for (std::size_t x = 0; x < width; ++x) {
        const Lane a = Blend(alpha, weight[x], 0, 0);
        const Lane k = static_cast<Lane>(255 - a);
        out[4 * x + 0] = Blend(k, front[4 * x + 0], a, blue);
        out[4 * x + 1] = Blend(k, front[4 * x + 1], a, green);
        out[4 * x + 2] = Blend(k, front[4 * x + 2], a, red);
        out[4 * x + 3] = static_cast<unsigned char>(k);
    }
}

unsigned char* Bytes(img::image<Pixel>& image, unsigned y)
{
    return reinterpret_cast<unsigned char*>(image.row(y));
}

const unsigned char* Bytes(const img::image<Pixel>& image, unsigned y)
{
    return reinterpret_cast<const unsigned char*>(image.row(y));
}

} // namespace

void PaintMask(img::image<Pixel>& out, types::extent<unsigned> size, const PaintingMask& mask, bool inverse)
{
    Shape(out, size.width, size.height);
    std::vector<unsigned char> weight(out.width);
    for (unsigned y = 0; y < out.height; ++y) {
        mask.ReadRow(y, inverse, weight.data(), out.width);
        MaskRow(Bytes(out, y), weight.data(), out.width);
    }
}

void PaintComposition(img::image<Pixel>& out, const img::image<Pixel>& foreground,
    const img::image<Pixel>& background, const PaintingMask& mask, bool inverse)
{
    Shape(out, foreground.width, foreground.height);
    unsigned width = std::min(foreground.width, background.width);
    unsigned height = std::min(foreground.height, background.height);
    if (!mask.IsEmpty()) {
        width = std::min(width, mask.Width());
        height = std::min(height, mask.Height());
    }
    std::vector<unsigned char> weight(width);
    const std::size_t rowBytes = std::size_t { foreground.width } * sizeof(Pixel);
    for (unsigned y = 0; y < out.height; ++y) {
        unsigned char* to = Bytes(out, y);
        const unsigned char* from = Bytes(foreground, y);
        if (y >= height) {
            std::memcpy(to, from, rowBytes);
            continue;
        }
        mask.ReadRow(y, inverse, weight.data(), width);
        CompositionRow(to, from, Bytes(background, y), weight.data(), width);
        std::memcpy(to + 4 * std::size_t { width }, from + 4 * std::size_t { width },
            rowBytes - 4 * std::size_t { width });
    }
}

void PaintMatted(img::image<Pixel>& out, const img::image<Pixel>& foreground, const PaintingMask& mask,
    bool inverse, Pixel matte)
{
    Shape(out, foreground.width, foreground.height);
    std::vector<unsigned char> weight(out.width);
    for (unsigned y = 0; y < out.height; ++y) {
        mask.ReadRow(y, inverse, weight.data(), out.width);
        MattedRow(Bytes(out, y), Bytes(foreground, y), weight.data(), out.width, matte);
    }
}

} // namespace FramePainting
