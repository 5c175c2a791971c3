#include "foundation/image/blit.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstring>

namespace img {

namespace {

using u64 = std::uint64_t;
using i64 = std::int64_t;

// Pixels are stored most significant bit first, so eight bytes read as a
// big-endian word hold 64 pixels with the leftmost in bit 63, and a shift of
// the word moves pixels across byte boundaries.
u64 from_big_endian(u64 word) noexcept
{
    if constexpr (std::endian::native == std::endian::little)
        return __builtin_bswap64(word);
    else
        return word;
}

u64 load_word(const unsigned char* p) noexcept
{
    u64 word;
    std::memcpy(&word, p, 8);
    return from_big_endian(word);
}

void store_word(unsigned char* p, u64 word) noexcept
{
    word = from_big_endian(word);
    std::memcpy(p, &word, 8);
}

// The first `bytes` (1 to 8) bytes at p as the top bytes of a word.
u64 load_partial(const unsigned char* p, i64 bytes) noexcept
{
    u64 word = 0;
    for (i64 i = 0; i < bytes; ++i)
        word |= u64 { p[i] } << (56 - 8 * i);
    return word;
}

void store_partial(unsigned char* p, i64 bytes, u64 word) noexcept
{
    for (i64 i = 0; i < bytes; ++i)
        p[i] = static_cast<unsigned char>(word >> (56 - 8 * i));
}

struct op_or {
    template <class W> static W apply(W d, W s) noexcept { return d | s; }
};
struct op_or_not {
    template <class W> static W apply(W d, W s) noexcept { return static_cast<W>(d | ~s); }
};
struct op_and {
    template <class W> static W apply(W d, W s) noexcept { return d & s; }
};
struct op_and_not {
    template <class W> static W apply(W d, W s) noexcept { return static_cast<W>(d & ~s); }
};
struct op_xor {
    template <class W> static W apply(W d, W s) noexcept { return d ^ s; }
};
struct op_xnor {
    template <class W> static W apply(W d, W s) noexcept { return static_cast<W>(d ^ ~s); }
};
struct op_copy {
    template <class W> static W apply(W, W s) noexcept { return s; }
};

// Combines the n >= 1 destination bits from bit `db` of the row `dst` with
// the source bits from bit `sb` of the row `src`, a 64-bit word at a time.
// Reads only the source bytes that hold the n source bits and changes only
// the n destination bits (it rewrites the other bits of their bytes unchanged
// and touches no byte outside them).
template <class Op>
void combine_row(unsigned char* dst, i64 db, const unsigned char* src, i64 sb, i64 n) noexcept
{
    const i64 first = db >> 3;
    const i64 last = (db + n - 1) >> 3;
    const i64 end_bit = db + n;
    const i64 source_first = sb >> 3;
    const i64 source_last = (sb + n - 1) >> 3;
    // Source bit under bit 0 of the first destination byte; up to 7 bits
    // before the source start, so the source byte index below may be -1.
    const i64 aligned = sb - (db & 7);
    const unsigned shift = static_cast<unsigned>(aligned & 7);
    const i64 source_offset = (aligned >> 3) - first; // floor division: source byte = j + offset

    // 64 source bits from bit `shift` of source byte k; bytes outside the
    // readable range read as 0 (their bits fall under the edge masks).
    auto fetch_guarded = [&](i64 k) noexcept {
        u64 word = 0;
        for (i64 i = 0; i < 8; ++i)
            if (k + i >= source_first && k + i <= source_last)
                word |= u64 { src[k + i] } << (56 - 8 * i);
        const u64 next = k + 8 >= source_first && k + 8 <= source_last ? src[k + 8] : 0;
        return (word << shift) | (next >> (8 - shift));
    };

    auto edge_chunk = [&](i64 j) noexcept {
        const i64 bytes = std::min<i64>(8, last - j + 1);
        u64 mask = ~u64 { 0 } << (64 - 8 * bytes);
        if (j == first)
            mask &= ~u64 { 0 } >> (db & 7);
        const i64 bits_left = end_bit - 8 * j;
        if (bits_left < 64)
            mask &= ~(~u64 { 0 } >> bits_left);
        const u64 d = load_partial(dst + j, bytes);
        const u64 v = Op::apply(d, fetch_guarded(j + source_offset));
        store_partial(dst + j, bytes, (v & mask) | (d & ~mask));
    };

    edge_chunk(first);
    i64 j = first + 8;

    // Whole words: the eight destination bytes lie before the last one (no
    // tail mask), and the nine source bytes read lie inside the source range.
    const i64 by_destination = last - j >= 0 ? (last - j) / 8 : 0;
    const i64 by_source
        = source_last - (j + source_offset) - 8 >= 0 ? (source_last - (j + source_offset) - 8) / 8 + 1 : 0;
    const i64 words = std::min(by_destination, by_source);
    unsigned char* d = dst + j;
    const unsigned char* s = src + (j + source_offset);
    if (shift == 0) {
        // Source bytes line up with destination bytes: no shift, no byte swap.
        for (i64 i = 0; i < words; ++i) {
            u64 a;
            u64 b;
            std::memcpy(&a, d + 8 * i, 8);
            std::memcpy(&b, s + 8 * i, 8);
            a = Op::apply(a, b);
            std::memcpy(d + 8 * i, &a, 8);
        }
    } else {
        for (i64 i = 0; i < words; ++i) {
            const u64 v = (load_word(s + 8 * i) << shift) | (u64 { s[8 * i + 8] } >> (8 - shift));
            store_word(d + 8 * i, Op::apply(load_word(d + 8 * i), v));
        }
    }
    j += 8 * words;

    for (; j <= last; j += 8)
        edge_chunk(j);
}

// One row combined with a part of itself. The source bits are copied to a
// small buffer a block at a time, and the blocks are done in the direction
// that never reads a bit already written.
template <class Op> void combine_within_row(unsigned char* row, i64 x, i64 source_x, i64 n) noexcept
{
    constexpr i64 block_bits = 4096;
    unsigned char buffer[block_bits / 8 + 1];
    const i64 distance = source_x - x;
    const i64 first_block = x / block_bits;
    const i64 last_block = (x + n - 1) / block_bits;
    for (i64 i = 0; i <= last_block - first_block; ++i) {
        const i64 block = distance < 0 ? last_block - i : first_block + i;
        const i64 a = std::max(x, block * block_bits);
        const i64 b = std::min(x + n, (block + 1) * block_bits);
        const i64 source_first = (a + distance) >> 3;
        const i64 source_last = (b + distance - 1) >> 3;
        std::memcpy(buffer, row + source_first, static_cast<std::size_t>(source_last - source_first + 1));
        combine_row<Op>(row, a, buffer, a + distance - 8 * source_first, b - a);
    }
}

template <class Op>
void blit(image<bit>& destination, i64 x, i64 y, i64 width, i64 height, const image<bit>& source,
    i64 source_x, i64 source_y) noexcept
{
    // Clip the negative sides of the destination, then of the source.
    if (x < 0) {
        source_x -= x;
        width += x;
        x = 0;
    }
    if (y < 0) {
        source_y -= y;
        height += y;
        y = 0;
    }
    if (source_x < 0) {
        x -= source_x;
        width += source_x;
        source_x = 0;
    }
    if (source_y < 0) {
        y -= source_y;
        height += source_y;
        source_y = 0;
    }
    // Then the far sides.
    width = std::min({ width, i64 { destination.width } - x, i64 { source.width } - source_x });
    if (width < 1)
        return;
    height = std::min({ height, i64 { destination.height } - y, i64 { source.height } - source_y });
    if (height < 1)
        return;

    if (&destination != &source) {
        [[maybe_unused]] const auto address
            = [](const unsigned char* p) { return reinterpret_cast<std::uintptr_t>(p); };
        assert(address(destination.data) + destination.size <= address(source.data)
            || address(source.data) + source.size <= address(destination.data));
        for (i64 r = 0; r < height; ++r)
            combine_row<Op>(destination.rows[y + r], x, source.rows[source_y + r], source_x, width);
        return;
    }
    if (y == source_y) {
        for (i64 r = 0; r < height; ++r)
            combine_within_row<Op>(destination.rows[y + r], x, source_x, width);
        return;
    }
    // Rows of one image: go in the direction that reads each source row
    // before it is written as a destination row.
    for (i64 i = 0; i < height; ++i) {
        const i64 r = y > source_y ? height - 1 - i : i;
        combine_row<Op>(destination.rows[y + r], x, source.rows[source_y + r], source_x, width);
    }
}

} // namespace

bool intersect_rects(const rect& a, const rect& b, rect* out) noexcept
{
    if (a.left >= b.right || b.left >= a.right || a.top >= b.bottom || b.top >= a.bottom)
        return false;
    if (out != nullptr)
        *out = { std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom) };
    return true;
}

void blit_or(image<bit>& destination, int x, int y, int width, int height, const image<bit>& source,
    int source_x, int source_y) noexcept
{
    blit<op_or>(destination, x, y, width, height, source, source_x, source_y);
}

void blit_or_not(image<bit>& destination, int x, int y, int width, int height, const image<bit>& source,
    int source_x, int source_y) noexcept
{
    blit<op_or_not>(destination, x, y, width, height, source, source_x, source_y);
}

void blit_and(image<bit>& destination, int x, int y, int width, int height, const image<bit>& source,
    int source_x, int source_y) noexcept
{
    blit<op_and>(destination, x, y, width, height, source, source_x, source_y);
}

void blit_and_not(image<bit>& destination, int x, int y, int width, int height, const image<bit>& source,
    int source_x, int source_y) noexcept
{
    blit<op_and_not>(destination, x, y, width, height, source, source_x, source_y);
}

void blit_xor(image<bit>& destination, int x, int y, int width, int height, const image<bit>& source,
    int source_x, int source_y) noexcept
{
    blit<op_xor>(destination, x, y, width, height, source, source_x, source_y);
}

void blit_xnor(image<bit>& destination, int x, int y, int width, int height, const image<bit>& source,
    int source_x, int source_y) noexcept
{
    blit<op_xnor>(destination, x, y, width, height, source, source_x, source_y);
}

void copy_rect(
    image<bit>& destination, const rect& area, const image<bit>& source, point source_position) noexcept
{
    blit<op_copy>(destination, area.left, area.top, i64 { area.right } - area.left,
        i64 { area.bottom } - area.top, source, source_position.x, source_position.y);
}

void copy_whole(image<bit>& destination, const image<bit>& source) noexcept
{
    blit<op_copy>(destination, 0, 0, destination.width, destination.height, source, 0, 0);
}

} // namespace img
