// Conversions between the image instances and whole-image fills.

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "foundation/image/image.h"

namespace img {

namespace {

// Resizes `target` to the size of `source` (alignment 4) unless it already has it.
template <class T, class S> void match_size(image<T>& target, const image<S>& source)
{
    if (target.width != source.width || target.height != source.height)
        target.resize(source.width, source.height, 4);
}

// Eight grey pixels for each value of a mask byte, leftmost pixel first.
std::array<std::uint64_t, 256> expansion_table(unsigned char clear_value, unsigned char set_value)
{
    std::array<std::uint64_t, 256> table {};
    for (unsigned byte = 0; byte < 256; ++byte) {
        unsigned char pixels[8];
        for (unsigned i = 0; i < 8; ++i)
            pixels[i] = (byte & (0x80u >> i)) != 0 ? set_value : clear_value;
        std::memcpy(&table[byte], pixels, 8);
    }
    return table;
}

void expand_bits(
    const image<bit>& mask, image<unsigned char>& grey, unsigned char clear_value, unsigned char set_value)
{
    const std::array<std::uint64_t, 256> table = expansion_table(clear_value, set_value);
    const unsigned full = mask.width >> 3;
    const unsigned tail = mask.width & 7;
    for (unsigned y = 0; y < mask.height; ++y) {
        const unsigned char* bits = mask.rows[y];
        unsigned char* out = grey.rows[y];
        for (unsigned i = 0; i < full; ++i)
            std::memcpy(out + 8 * std::size_t { i }, &table[bits[i]], 8);
        if (tail != 0)
            std::memcpy(out + 8 * std::size_t { full }, &table[bits[full]], tail);
    }
}

static_assert(std::endian::native == std::endian::little, "pixels are composed as little-endian words");

using u8x4 = unsigned char __attribute__((vector_size(4)));
using u32x4 = std::uint32_t __attribute__((vector_size(16)));

// g -> blue = green = red = (g XOR flip), alpha = 255 - (g XOR flip).
template <unsigned char flip>
void grey_to_bgra(const image<unsigned char>& grey, image<BGRA<unsigned char>>& target)
{
    for (unsigned y = 0; y < grey.height; ++y) {
        const unsigned char* in = grey.rows[y];
        unsigned char* out = target.rows[y];
        unsigned x = 0;
        // Four pixels at a time in vector lanes: the loop is memory-bound then.
        for (; x + 4 <= grey.width; x += 4) {
            u8x4 bytes;
            std::memcpy(&bytes, in + x, 4);
            const u32x4 g = __builtin_convertvector(bytes, u32x4) ^ flip;
            const u32x4 pixels = g | g << 8 | g << 16 | (255u - g) << 24;
            std::memcpy(out + 4 * std::size_t { x }, &pixels, 16);
        }
        for (; x < grey.width; ++x) {
            const std::uint32_t g = in[x] ^ flip;
            const std::uint32_t pixel = g * 0x010101u | (255u - g) << 24;
            std::memcpy(out + 4 * std::size_t { x }, &pixel, 4);
        }
    }
}

} // namespace

template <class T> void image<T>::fill(const T& value) requires(!std::is_same_v<T, bit>)
{
    for (unsigned y = 0; y < height; ++y) {
        T* pixels = row(y);
        for (unsigned x = 0; x < width; ++x)
            pixels[x] = value;
    }
}

template <class T> image<T>::image(const two_value_view& view) requires std::is_same_v<T, unsigned char>
{
    *this = view;
}

template <class T>
image<T>& image<T>::operator=(const two_value_view& view) requires std::is_same_v<T, unsigned char>
{
    match_size(*this, view.mask);
    expand_bits(view.mask, *this, view.clear_value, view.set_value);
    return *this;
}

template <class T>
image<T>& image<T>::assign_grey(
    const image<unsigned char>& grey) requires std::is_same_v<T, BGRA<unsigned char>>
{
    match_size(*this, grey);
    grey_to_bgra<0>(grey, *this);
    return *this;
}

template <class T>
image<T>& image<T>::assign_grey_inverted(
    const image<unsigned char>& grey) requires std::is_same_v<T, BGRA<unsigned char>>
{
    match_size(*this, grey);
    grey_to_bgra<255>(grey, *this);
    return *this;
}

template <class T>
image<T>& image<T>::assign(const image<BGRA<unsigned char>>& source) requires std::is_same_v<T, BGRA<float>>
{
    match_size(*this, source);
    assign_rows(source, 0, height);
    return *this;
}

template <class T>
void image<T>::assign_rows(const image<BGRA<unsigned char>>& source, unsigned first,
    unsigned last) requires std::is_same_v<T, BGRA<float>>
{
    for (unsigned y = first; y < last; ++y) {
        const BGRA<unsigned char>* in = source.row(y);
        BGRA<float>* out = row(y);
        for (unsigned x = 0; x < width; ++x)
            out[x] = { static_cast<float>(in[x].b), static_cast<float>(in[x].g), static_cast<float>(in[x].r),
                static_cast<float>(in[x].a) };
    }
}

void place_top_left(image<BGRA<unsigned char>>& target, const image<BGRA<unsigned char>>& source,
    unsigned width, unsigned height, BGRA<unsigned char> fill)
{
    target.resize(width, height, 4);
    const unsigned covered_width = std::min(width, source.width);
    const unsigned covered_height = std::min(height, source.height);
    for (unsigned y = 0; y < height; ++y) {
        BGRA<unsigned char>* out = target.row(y);
        unsigned x = 0;
        if (y < covered_height) {
            std::memcpy(out, source.row(y), std::size_t { covered_width } * sizeof(BGRA<unsigned char>));
            x = covered_width;
        }
        std::fill(out + x, out + width, fill);
    }
}

template void image<unsigned char>::fill(const unsigned char&);
template void image<BGRA<unsigned char>>::fill(const BGRA<unsigned char>&);
template void image<BGRA<float>>::fill(const BGRA<float>&);
template image<unsigned char>::image(const two_value_view&);
template image<unsigned char>& image<unsigned char>::operator=(const two_value_view&);
template image<BGRA<unsigned char>>& image<BGRA<unsigned char>>::assign_grey(const image<unsigned char>&);
template image<BGRA<unsigned char>>& image<BGRA<unsigned char>>::assign_grey_inverted(
    const image<unsigned char>&);
template image<BGRA<float>>& image<BGRA<float>>::assign(const image<BGRA<unsigned char>>&);
template void image<BGRA<float>>::assign_rows(const image<BGRA<unsigned char>>&, unsigned, unsigned);

} // namespace img
