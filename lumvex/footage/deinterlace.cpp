#include "lumvex/footage/deinterlace.h"

#include <cstring>

namespace lumvex {

namespace {

using bgra_image = img::image<img::BGRA<unsigned char>>;

void copy_line(bgra_image& image, unsigned from, unsigned to)
{
    std::memcpy(image.row(to), image.row(from), std::size_t(image.width) * 4);
}

// `out` = the byte-wise mean of `a` and `b`, rounded down.
void mean_line(const unsigned char* a, const unsigned char* b, unsigned char* out, std::size_t bytes)
{
    for (std::size_t i = 0; i < bytes; ++i)
        out[i] = static_cast<unsigned char>((unsigned(a[i]) + unsigned(b[i])) >> 1);
}

} // namespace

void fill_other_field(bgra_image& image, bool upper, bool interpolate)
{
    const unsigned height = image.height;
    if (image.width == 0)
        return;
    const unsigned first = upper ? 0 : 1;
    if (!upper && height >= 2)
        copy_line(image, 1, 0);
    if (!interpolate) {
        for (unsigned k = first; k + 1 < height; k += 2)
            copy_line(image, k, k + 1);
        return;
    }
    const std::size_t bytes = std::size_t(image.width) * 4;
    unsigned k = first;
    for (; k + 2 < height; k += 2) {
        mean_line(reinterpret_cast<const unsigned char*>(image.row(k)),
            reinterpret_cast<const unsigned char*>(image.row(k + 2)),
            reinterpret_cast<unsigned char*>(image.row(k + 1)), bytes);
    }
    // k is now the last kept line; the line below it has no kept line under
    // it to interpolate towards.
    if (k + 1 < height)
        copy_line(image, k, k + 1);
}

void deinterlace(const bgra_image& source, bgra_image& target, bool upper, bool interpolate)
{
    if (target.width != source.width || target.height != source.height)
        target.resize(source.width, source.height, 4);
    const std::size_t bytes = std::size_t(source.width) * 4;
    if (bytes == 0)
        return;
    const unsigned first = upper || source.height == 1 ? 0 : 1;
    for (unsigned y = first; y < source.height; y += 2)
        std::memcpy(target.row(y), source.row(y), bytes);
    if (source.height > 1)
        fill_other_field(target, upper, interpolate);
}

} // namespace lumvex
