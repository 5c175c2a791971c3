#include "engine/masks/reduction.h"

#include "engine/common/thread_pool.h"

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <vector>

namespace trm {

namespace {

void check_factors(unsigned fx, unsigned fy)
{
    if (fx == 0 || fy == 0)
        throw std::invalid_argument("reduction factor must be at least 1");
}

bool bit_at(const unsigned char* row, unsigned x) noexcept
{
    return (row[x >> 3] & (0x80u >> (x & 7))) != 0;
}

void put_bit(unsigned char* row, unsigned x, bool value) noexcept
{
    const unsigned char mask = static_cast<unsigned char>(0x80u >> (x & 7));
    row[x >> 3] = value ? static_cast<unsigned char>(row[x >> 3] | mask)
                        : static_cast<unsigned char>(row[x >> 3] & ~mask);
}

// Block sums are kept in 64 bits: 255 x fx x fy exceeds 32 bits for large
// blocks.
void reduce_image_into(const img::image<img::BGRA<unsigned char>>& source,
    img::image<img::BGRA<unsigned char>>& target, unsigned fx, unsigned fy)
{
    const unsigned width = source.width / fx;
    const unsigned height = source.height / fy;
    if (target.width != width || target.height != height)
        target.resize(width, height, 4);
    const std::uint64_t area = static_cast<std::uint64_t>(fx) * fy;
    // Rows are independent: bands of them on the engine's threads.
    trm::parallel_rows(height, [&](unsigned y0, unsigned y1) {
        std::vector<std::uint64_t> sums(static_cast<std::size_t>(width) * 4);
        for (unsigned y = y0; y < y1; ++y) {
            std::fill(sums.begin(), sums.end(), 0);
            for (unsigned r = 0; r < fy; ++r) {
                const img::BGRA<unsigned char>* in = source.row(y * fy + r);
                for (unsigned x = 0; x < width; ++x) {
                    std::uint64_t* s = &sums[static_cast<std::size_t>(x) * 4];
                    const img::BGRA<unsigned char>* block = in + static_cast<std::size_t>(x) * fx;
                    for (unsigned c = 0; c < fx; ++c) {
                        s[0] += block[c].b;
                        s[1] += block[c].g;
                        s[2] += block[c].r;
                        s[3] += block[c].a;
                    }
                }
            }
            img::BGRA<unsigned char>* out = target.row(y);
            for (unsigned x = 0; x < width; ++x) {
                const std::uint64_t* s = &sums[static_cast<std::size_t>(x) * 4];
                out[x] = { static_cast<unsigned char>(s[0] / area), static_cast<unsigned char>(s[1] / area),
                    static_cast<unsigned char>(s[2] / area), static_cast<unsigned char>(s[3] / area) };
            }
        }
    });
}

void reduce_mask_into(
    const img::image<img::bit>& source, img::image<img::bit>& target, unsigned fx, unsigned fy)
{
    const unsigned width = source.width / fx;
    const unsigned height = source.height / fy;
    target.resize(width, height, 4);
    const std::uint64_t half = static_cast<std::uint64_t>(fx) * fy / 2;
    trm::parallel_rows(height, [&](unsigned y0, unsigned y1) {
        std::vector<std::uint64_t> counts(width);
        for (unsigned y = y0; y < y1; ++y) {
            std::fill(counts.begin(), counts.end(), 0);
            for (unsigned r = 0; r < fy; ++r) {
                const unsigned char* in = source.row(y * fy + r);
                for (unsigned x = 0; x < width; ++x) {
                    const unsigned first = x * fx;
                    for (unsigned c = 0; c < fx; ++c)
                        counts[x] += bit_at(in, first + c);
                }
            }
            unsigned char* out = target.row(y);
            for (unsigned x = 0; x < width; ++x)
                put_bit(out, x, counts[x] > half);
        }
    });
}

} // namespace

img::image<img::BGRA<unsigned char>>& reduce_image(const img::image<img::BGRA<unsigned char>>& source,
    img::image<img::BGRA<unsigned char>>& target, unsigned fx, unsigned fy)
{
    check_factors(fx, fy);
    if (fx == 1 && fy == 1) {
        target = source;
    } else if (&source == &target) {
        const img::image<img::BGRA<unsigned char>> copy(source);
        reduce_image_into(copy, target, fx, fy);
    } else {
        reduce_image_into(source, target, fx, fy);
    }
    return target;
}

void reduce_mask(const img::image<img::bit>& source, img::image<img::bit>& target, unsigned fx, unsigned fy)
{
    check_factors(fx, fy);
    if (fx == 1 && fy == 1) {
        target = source;
    } else if (&source == &target) {
        const img::image<img::bit> copy(source);
        reduce_mask_into(copy, target, fx, fy);
    } else {
        reduce_mask_into(source, target, fx, fy);
    }
}

void expand_mask(const img::image<img::bit>& source, img::image<img::bit>& target, unsigned fx, unsigned fy)
{
    check_factors(fx, fy);
    if (&source == &target) {
        const img::image<img::bit> copy(source);
        expand_mask(copy, target, fx, fy);
        return;
    }
    // Only whole source pixels whose block starts inside the target matter.
    const std::uint64_t columns = std::min<std::uint64_t>(source.width, (target.width + fx - 1ull) / fx);
    const std::uint64_t rows = std::min<std::uint64_t>(source.height, (target.height + fy - 1ull) / fy);
    // Each source row writes its own target rows: bands of them on the
    // engine's threads.
    trm::parallel_rows(static_cast<unsigned>(rows), [&](unsigned y0, unsigned y1) {
        for (std::uint64_t y = y0; y < y1; ++y) {
            const unsigned char* in = source.row(static_cast<unsigned>(y));
            const std::uint64_t last_row = std::min<std::uint64_t>(target.height, (y + 1) * fy);
            for (std::uint64_t ty = y * fy; ty < last_row; ++ty) {
                unsigned char* out = target.row(static_cast<unsigned>(ty));
                for (std::uint64_t x = 0; x < columns; ++x) {
                    const bool value = bit_at(in, static_cast<unsigned>(x));
                    const std::uint64_t last = std::min<std::uint64_t>(target.width, (x + 1) * fx);
                    for (std::uint64_t tx = x * fx; tx < last; ++tx)
                        put_bit(out, static_cast<unsigned>(tx), value);
                }
            }
        }
    });
}

} // namespace trm
