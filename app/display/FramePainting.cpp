#include "app/display/FramePainting.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

namespace FramePainting {

namespace {

// A pixel's four bytes read as one little-endian word: alpha is the top
// byte.
static_assert(std::endian::native == std::endian::little);
constexpr std::uint32_t kColourBits = 0x00FFFFFFu;

// Gives out the size, keeping its buffer when the size agrees.
void Shape(img::image<Pixel>& out, unsigned width, unsigned height)
{
    if (out.width != width || out.height != height || (out.data == nullptr && width > 0 && height > 0))
        out.resize(width, height, 4);
}

// The loops below run over plain arrays with the same operation on every
// element, which the compiler turns into vector code; __restrict tells it
// that the rows of different pictures never overlap. A row is painted in
// passes: the pixels' weights spread over their four bytes, one blend of
// every byte, then the alpha bytes.

using Lane = std::uint16_t;

// Every byte of pixel x becomes n[x].
void Spread(std::uint32_t* __restrict out, const unsigned char* __restrict n, std::size_t width)
{
    for (std::size_t x = 0; x < width; ++x)
        out[x] = n[x] * 0x01010101u;
}

// out = ((255 - w) x a + w x b) / 255, byte by byte.
void Blend(unsigned char* __restrict out, const unsigned char* __restrict a,
    const unsigned char* __restrict w, const unsigned char* __restrict b, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        const Lane weight = w[i];
        out[i] = Div255(static_cast<Lane>(static_cast<Lane>(255 - weight) * a[i] + weight * b[i]));
    }
}

// n[x] becomes (factor x n[x]) / 255.
void Scale(unsigned char* __restrict n, unsigned char factor, std::size_t width)
{
    for (std::size_t x = 0; x < width; ++x)
        n[x] = Div255(static_cast<Lane>(Lane { factor } * n[x]));
}

// The alpha byte of pixel x becomes 255 - n[x].
void SetAlpha(std::uint32_t* __restrict out, const unsigned char* __restrict n, std::size_t width)
{
    for (std::size_t x = 0; x < width; ++x)
        out[x] = (out[x] & kColourBits) | (std::uint32_t { 255u - n[x] } << 24);
}

// Pixel x becomes blue = green = red = n[x], alpha = 255 - n[x].
void MaskRow(unsigned char* __restrict out, const unsigned char* __restrict n, std::size_t width)
{
    for (std::size_t x = 0; x < width; ++x) {
        out[4 * x + 0] = n[x];
        out[4 * x + 1] = n[x];
        out[4 * x + 2] = n[x];
        out[4 * x + 3] = static_cast<unsigned char>(255 - n[x]);
    }
}

std::uint32_t* Words(img::image<Pixel>& image, unsigned y)
{
    return reinterpret_cast<std::uint32_t*>(image.row(y));
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
        MaskRow(reinterpret_cast<unsigned char*>(Words(out, y)), weight.data(), out.width);
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
    std::vector<std::uint32_t> spread(width);
    const std::size_t rowBytes = std::size_t { foreground.width } * sizeof(Pixel);
    const std::size_t paintedBytes = std::size_t { width } * sizeof(Pixel);
    for (unsigned y = 0; y < out.height; ++y) {
        auto* to = reinterpret_cast<unsigned char*>(Words(out, y));
        const unsigned char* from = Bytes(foreground, y);
        if (y >= height) {
            std::memcpy(to, from, rowBytes);
            continue;
        }
        mask.ReadRow(y, inverse, weight.data(), width);
        Spread(spread.data(), weight.data(), width);
        Blend(to, from, reinterpret_cast<const unsigned char*>(spread.data()), Bytes(background, y),
            paintedBytes);
        SetAlpha(Words(out, y), weight.data(), width);
        std::memcpy(to + paintedBytes, from + paintedBytes, rowBytes - paintedBytes);
    }
}

void PaintMatted(img::image<Pixel>& out, const img::image<Pixel>& foreground, const PaintingMask& mask,
    bool inverse, Pixel matte)
{
    Shape(out, foreground.width, foreground.height);
    const std::size_t width = out.width;
    std::vector<unsigned char> weight(width);
    std::vector<std::uint32_t> spread(width);
    std::vector<Pixel> colour(width, matte);
    const std::size_t rowBytes = width * sizeof(Pixel);
    for (unsigned y = 0; y < out.height; ++y) {
        mask.ReadRow(y, inverse, weight.data(), static_cast<unsigned>(width));
        Scale(weight.data(), matte.a, width);
        Spread(spread.data(), weight.data(), width);
        auto* to = reinterpret_cast<unsigned char*>(Words(out, y));
        Blend(to, Bytes(foreground, y), reinterpret_cast<const unsigned char*>(spread.data()),
            reinterpret_cast<const unsigned char*>(colour.data()), rowBytes);
        SetAlpha(Words(out, y), weight.data(), width);
    }
}

} // namespace FramePainting
