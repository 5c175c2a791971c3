#include "foundation/image/image.h"

#include "platform/kernel/block_pool.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <utility>

namespace img {

namespace {

struct geometry {
    std::uint32_t stride;
    std::uint32_t size;
};

// Stride and byte size of a record, computed in 64 bits; refused when the
// buffer or the row table would exceed max_image_bytes, so that no short
// buffer is ever allocated for a size that wrapped around.
template <class T> geometry checked_geometry(unsigned width, unsigned height, unsigned alignment)
{
    std::uint64_t stride = row_bytes<T>(width);
    if (alignment > 1 && stride % alignment != 0)
        stride += alignment - stride % alignment;
    // The stride (up to 2^37 with a large alignment) times the height can pass
    // 64 bits, so the stride is bounded first; then the product cannot wrap.
    const std::uint64_t table = std::uint64_t { height } * sizeof(unsigned char*);
    if (stride > max_image_bytes || stride * height > max_image_bytes || table > max_image_bytes)
        throw image_too_large(width, height, stride);
    const std::uint64_t size = stride * height;
    return { static_cast<std::uint32_t>(stride), static_cast<std::uint32_t>(size) };
}

std::vector<unsigned char*> make_rows(
    unsigned char* data, std::uint32_t stride, unsigned height, bool top_down)
{
    std::vector<unsigned char*> rows(height);
    for (unsigned i = 0; i < height; ++i) {
        const std::size_t index = top_down ? i : height - 1 - i;
        rows[i] = data == nullptr ? nullptr : data + std::size_t { stride } * index;
    }
    return rows;
}

// Copies `bytes` bytes of every row; one block when the layouts agree.
void copy_rows(const std::vector<unsigned char*>& to, std::uint32_t to_stride, bool to_top_down,
    const std::vector<unsigned char*>& from, std::uint32_t from_stride, bool from_top_down,
    std::uint64_t bytes, unsigned char* to_data, const unsigned char* from_data, std::uint32_t size)
{
    if (bytes == 0 || to.empty())
        return;
    if (to_stride == from_stride && to_top_down == from_top_down) {
        std::memcpy(to_data, from_data, size);
        return;
    }
    for (std::size_t i = 0; i < to.size(); ++i)
        std::memcpy(to[i], from[i], bytes);
}

// Set bits in n bytes. The machine's population-count instruction is not
// part of the baseline instruction set, so words are counted by halving
// (bits into 2-, 4-, then 8-bit fields) and the byte fields of up to 31 words
// are summed before one horizontal add.
std::uint64_t popcount_bytes(const unsigned char* p, std::size_t n) noexcept
{
    constexpr std::uint64_t m1 = 0x5555555555555555u;
    constexpr std::uint64_t m2 = 0x3333333333333333u;
    constexpr std::uint64_t m4 = 0x0F0F0F0F0F0F0F0Fu;
    std::uint64_t total = 0;
    std::size_t i = 0;
    while (i + 8 <= n) {
        const std::size_t words = std::min<std::size_t>((n - i) / 8, 31);
        std::uint64_t fields = 0;
        for (std::size_t w = 0; w < words; ++w, i += 8) {
            std::uint64_t x;
            std::memcpy(&x, p + i, 8);
            x -= (x >> 1) & m1;
            x = (x & m2) + ((x >> 2) & m2);
            fields += (x + (x >> 4)) & m4;
        }
        // Each byte field holds at most 31 x 8 = 248: no carry between fields.
        total
            += ((fields & 0x00FF00FF00FF00FFu) + ((fields >> 8) & 0x00FF00FF00FF00FFu)) * 0x0001000100010001u
            >> 48;
    }
    for (; i < n; ++i)
        total += static_cast<std::uint64_t>(std::popcount(static_cast<unsigned>(p[i])));
    return total;
}

// The decimal text of a x b, exact for any two 64-bit factors.
std::string product_text(std::uint64_t a, std::uint64_t b)
{
    unsigned __int128 product = static_cast<unsigned __int128>(a) * b;
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(product % 10)));
        product /= 10;
    } while (product != 0);
    return digits;
}

} // namespace

image_too_large::image_too_large(std::uint64_t width, std::uint64_t height, std::uint64_t stride)
    : m_message("Image of " + std::to_string(width) + " x " + std::to_string(height)
        + " pixels is too large: it needs " + product_text(stride, height) + " bytes, more than the "
        + std::to_string(max_image_bytes) + " an image can hold")
{
}

const char* image_too_large::what() const noexcept
{
    return m_message.c_str();
}

template <class T> image<T>::image(unsigned width, unsigned height, unsigned alignment)
{
    resize(width, height, alignment);
}

template <class T> image<T>::image(const image& other)
{
    *this = other;
}

template <class T> image<T>::image(image&& other) noexcept
{
    swap(other);
}

template <class T> image<T>::~image()
{
    release();
}

template <class T> void image<T>::release() noexcept
{
    if (owns)
        platform::image_block_pool().give(data, size);
    data = nullptr;
}

template <class T> image<T>& image<T>::operator=(const image& other)
{
    if (this == &other)
        return *this;
    // Bit records always take alignment 4 and an owned buffer; the others keep
    // their layout (and a lent buffer) when the size already agrees.
    if (std::is_same_v<T, bit> || width != other.width || height != other.height)
        resize(other.width, other.height, 4);
    copy_rows(rows, stride, top_down, other.rows, other.stride, other.top_down, row_bytes<T>(width), data,
        other.data, size);
    return *this;
}

template <class T> image<T>& image<T>::operator=(image&& other) noexcept
{
    if (this != &other) {
        image taken(std::move(other));
        swap(taken);
    }
    return *this;
}

template <class T>
void image<T>::take_geometry(unsigned char* buffer, bool owned, unsigned new_width, unsigned new_height,
    unsigned new_alignment, std::uint32_t new_stride, std::uint32_t new_size,
    std::vector<unsigned char*>& new_rows) noexcept
{
    data = buffer;
    owns = owned;
    width = new_width;
    height = new_height;
    alignment = new_alignment;
    stride = new_stride;
    size = new_size;
    rows.swap(new_rows);
}

template <class T> void image<T>::resize(unsigned new_width, unsigned new_height, unsigned new_alignment)
{
    if (new_alignment == 0)
        new_alignment = alignment;
    if (owns && new_width == width && new_height == height && new_alignment == alignment)
        return;

    // Everything that can fail happens before the record changes.
    const geometry g = checked_geometry<T>(new_width, new_height, new_alignment);
    const bool keep = data != nullptr && new_width == width && new_height == height;
    unsigned char* buffer = data;
    const bool fresh = g.size != size || !owns;
    if (fresh)
        buffer = platform::image_block_pool().take(g.size);
    std::vector<unsigned char*> new_rows;
    try {
        new_rows = make_rows(buffer, g.stride, new_height, top_down);
    } catch (...) {
        if (fresh)
            platform::image_block_pool().give(buffer, g.size);
        throw;
    }

    if (keep && buffer != data)
        for (unsigned i = 0; i < new_height; ++i)
            std::memcpy(new_rows[i], rows[i], row_bytes<T>(new_width));

    if (buffer != data)
        release();
    take_geometry(buffer, true, new_width, new_height, new_alignment, g.stride, g.size, new_rows);
}

template <class T> void image<T>::clear()
{
    if (!owns) {
        detach();
        return;
    }
    if (width != 0 || height != 0)
        resize(0, 0, 4);
}

template <class T> void image<T>::update_rows()
{
    make_rows(data, stride, height, top_down).swap(rows);
}

template <class T> void image<T>::swap(image& other) noexcept
{
    if (this == &other)
        return;
    std::swap(data, other.data);
    std::swap(owns, other.owns);
    std::swap(width, other.width);
    std::swap(height, other.height);
    std::swap(alignment, other.alignment);
    std::swap(top_down, other.top_down);
    std::swap(stride, other.stride);
    std::swap(size, other.size);
    rows.swap(other.rows);
}

template <class T>
void image<T>::attach(unsigned char* buffer, unsigned new_width, unsigned new_height, unsigned new_alignment)
{
    if (new_alignment == 0)
        new_alignment = alignment;
    const geometry g = checked_geometry<T>(new_width, new_height, new_alignment);
    std::vector<unsigned char*> new_rows = make_rows(buffer, g.stride, new_height, top_down);
    if (owns) {
        release();
        std::vector<unsigned char*> none;
        take_geometry(nullptr, true, 0, 0, 4, 0, 0, none);
    }
    if (buffer == data && new_width == width && new_height == height && new_alignment == alignment)
        return;
    take_geometry(buffer, false, new_width, new_height, new_alignment, g.stride, g.size, new_rows);
}

template <class T> unsigned char* image<T>::detach() noexcept
{
    unsigned char* buffer = data;
    data = nullptr;
    width = height = alignment = 0;
    stride = size = 0;
    std::vector<unsigned char*>().swap(rows);
    return buffer;
}

template <class T> void image<T>::fill(bool value) requires std::is_same_v<T, bit>
{
    if (data != nullptr)
        std::memset(data, value ? 0xFF : 0x00, size);
}

template <class T> void image<T>::invert() requires std::is_same_v<T, bit>
{
    // A size_t index: with a 32-bit one, i + 8 wraps for a buffer within 8
    // bytes of max_image_bytes and the loop would run past the end forever.
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, data + i, 8);
        word = ~word;
        std::memcpy(data + i, &word, 8);
    }
    for (; i < size; ++i)
        data[i] = static_cast<unsigned char>(~data[i]);
}

template <class T> std::uint64_t image<T>::count() const requires std::is_same_v<T, bit>
{
    const std::size_t full = width >> 3;
    const unsigned tail = width & 7;
    const unsigned tail_mask = (0xFFu << (8 - tail)) & 0xFFu;
    std::uint64_t total = 0;
    for (unsigned y = 0; y < height; ++y) {
        const unsigned char* r = rows[y];
        total += popcount_bytes(r, full);
        if (tail != 0)
            total += static_cast<std::uint64_t>(std::popcount(r[full] & tail_mask));
    }
    return total;
}

template <class T> bool image<T>::same_pixels(const image& other) const requires std::is_same_v<T, bit>
{
    if (width != other.width || height != other.height)
        return false;
    const std::size_t full = width >> 3;
    const unsigned tail = width & 7;
    const unsigned tail_mask = (0xFFu << (8 - tail)) & 0xFFu;
    for (unsigned y = 0; y < height; ++y) {
        const unsigned char* a = rows[y];
        const unsigned char* b = other.rows[y];
        if (std::memcmp(a, b, full) != 0)
            return false;
        if (tail != 0 && ((a[full] ^ b[full]) & tail_mask) != 0)
            return false;
    }
    return true;
}

template class image<bit>;
template class image<unsigned char>;
template class image<BGRA<unsigned char>>;
template class image<BGRA<float>>;

} // namespace img
