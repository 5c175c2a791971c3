#pragma once

// The in-memory raster of the whole system: footage frames, painted frames,
// grey mattes and 1-bit masks are all records of img::image<T>.
//
// A record is a plain value without virtual operations. Its fields are public
// because callers hand the buffer to codecs and writers, but they change only
// through the operations below (or, for `top_down`, by the caller followed by
// update_rows). Every pixel access goes through `rows`: entry i points at the
// first byte of logical row i whatever the storage order.
//
// Sizes: bytes per row and byte size are computed in 64 bits and checked
// before anything is allocated; a record whose buffer (or row table) would
// exceed max_image_bytes is refused with img::image_too_large, and a failed
// allocation throws std::bad_alloc. Either leaves the record unchanged.
// Buffers of a megabyte and more come from the process's image block pool
// (platform/kernel/block_pool.h) and go back to it, so that frames decoded
// one after another reuse memory already in place.
//
// Threads: a record is used by one thread at a time; a record shared between
// threads must be read-only once published.

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <new>
#include <string>
#include <type_traits>
#include <vector>

namespace img {

// One bit per pixel; bit 7 (0x80) of a byte is the leftmost of its 8 pixels.
struct bit { };

// A pixel of four channels in the order blue, green, red, alpha.
template <class C> struct BGRA {
    C b;
    C g;
    C r;
    C a;

    bool operator==(const BGRA&) const = default;
};

static_assert(sizeof(BGRA<unsigned char>) == 4);
static_assert(sizeof(BGRA<float>) == 16);

// A pixel position.
struct point {
    unsigned x = 0;
    unsigned y = 0;

    bool operator==(const point&) const = default;
};

inline point operator+(point a, point b)
{
    return { a.x + b.x, a.y + b.y };
}

// The largest byte size of a buffer (and of a row table) a record may have:
// what its 32-bit `size` field can describe.
inline constexpr std::uint64_t max_image_bytes = 0xFFFFFFFFu;

// Thrown before any allocation when an image of the asked geometry cannot be
// held: its buffer would exceed max_image_bytes. Derives from std::bad_alloc
// so that code which handles running out of memory handles it too.
class image_too_large : public std::bad_alloc {
public:
    image_too_large(std::uint64_t width, std::uint64_t height, std::uint64_t stride);
    const char* what() const noexcept override;

private:
    std::string m_message;
};

template <class T> class image;

template <class T> class pixel_ref;

template <class T> class pixel_iterator;

// Bytes of pixel data in one row of `width` pixels, before alignment.
template <class T> constexpr std::uint64_t row_bytes(std::uint64_t width)
{
    if constexpr (std::is_same_v<T, bit>)
        return (width + 7) >> 3;
    else
        return width * sizeof(T);
}

// A bit image seen as two grey values: `clear_value` where a bit is 0,
// `set_value` where it is 1. Converts into an 8-bit grey image.
struct two_value_view {
    const image<bit>& mask;
    unsigned char clear_value;
    unsigned char set_value;
};

template <class T> class image {
    static_assert(!std::is_const_v<T>);

public:
    using pixel_type = T;
    // Row pointer type: the pixel type, or bytes for the bit instance.
    using row_type = std::conditional_t<std::is_same_v<T, bit>, unsigned char, T>;

    // The pixel buffer; null when `size` is 0.
    unsigned char* data = nullptr;
    // True: the record allocated `data` (with new[]) and frees it.
    // False: `data` is lent by someone else and never freed here.
    bool owns = true;
    unsigned width = 0;
    unsigned height = 0;
    // Row alignment in bytes; the stride is a multiple of it when it is above 1.
    unsigned alignment = 1;
    // True: row 0 is the first `stride` bytes of the buffer; false: the last
    // (bottom-up, the order of a device-independent bitmap).
    bool top_down = true;
    std::uint32_t stride = 0;
    std::uint32_t size = 0;
    std::vector<unsigned char*> rows;

    // An empty record (no buffer, alignment 4).
    image() noexcept { alignment = 4; }
    // An empty record resized to the given geometry; contents undefined.
    image(unsigned width, unsigned height, unsigned alignment = 4);
    // The copy has the source's pixels, top-down rows and (when not empty)
    // alignment 4.
    image(const image& other);
    // Takes over the other record's buffer and geometry; `other` is left empty.
    image(image&& other) noexcept;
    ~image();

    // Takes the source's size and pixels (row by row, so the row orders may
    // differ). 32-bit, grey and float records keep their own alignment, row
    // order and buffer when the size already agrees, else they are resized
    // with alignment 4; bit records are always resized with alignment 4 (and
    // so own their buffer afterwards).
    image& operator=(const image& other);
    image& operator=(image&& other) noexcept;

    // Gives the record `width` x `height` pixels with the given row alignment
    // (0: keep the current one). Nothing happens when the record owns its
    // buffer and the geometry is unchanged. When only the alignment changes,
    // or the record takes over from a lent buffer of the same size, the
    // pixels are kept; otherwise the contents are undefined. Afterwards the
    // record owns its buffer.
    void resize(unsigned width, unsigned height, unsigned alignment);

    // Frees an owned buffer (geometry 0 x 0, alignment 4), or forgets a lent
    // one without freeing it.
    void clear();

    // Rebuilds `rows` from data, stride, height and top_down.
    void update_rows();

    // Exchanges everything with another record.
    void swap(image& other) noexcept;

    // Makes the record describe a lent buffer of the given geometry (alignment
    // 0: keep the current one); the buffer must hold stride x height bytes and
    // outlive the record's use of it. An owned buffer is freed first. Throws
    // image_too_large before changing anything when the geometry is refused.
    void attach(unsigned char* buffer, unsigned width, unsigned height, unsigned alignment);

    // Returns `data` and forgets it without freeing it (the caller takes it:
    // an owned buffer must then be freed with delete[]). Leaves the record
    // empty; `owns` and `top_down` keep their values.
    unsigned char* detach() noexcept;

    // Row y as typed pixels (bytes for the bit instance); no range check.
    row_type* row(unsigned y) noexcept { return reinterpret_cast<row_type*>(rows[y]); }
    const row_type* row(unsigned y) const noexcept { return reinterpret_cast<const row_type*>(rows[y]); }

    pixel_ref<T> at(unsigned x, unsigned y) noexcept;
    pixel_ref<const T> at(unsigned x, unsigned y) const noexcept;

    // Pixels row by row, x fastest.
    pixel_iterator<T> begin() noexcept;
    pixel_iterator<T> end() noexcept;
    pixel_iterator<const T> begin() const noexcept;
    pixel_iterator<const T> end() const noexcept;

    // Every pixel becomes `value` (rows only, padding untouched).
    void fill(const T& value) requires(!std::is_same_v<T, bit>);

    // Bit records: every byte of the buffer, padding included, becomes 0xFF
    // (true) or 0x00 (false).
    void fill(bool value) requires std::is_same_v<T, bit>;
    // Bit records: every byte of the buffer, padding included, is complemented.
    void invert() requires std::is_same_v<T, bit>;
    // Bit records: the number of set pixels; padding bits never count.
    std::uint64_t count() const requires std::is_same_v<T, bit>;
    // Bit records: the same size and the same value at every pixel; row
    // order, alignment and padding bits do not count.
    bool same_pixels(const image& other) const requires std::is_same_v<T, bit>;

    // Grey records from a bit image: resized to the mask's size (alignment 4)
    // when it differs, then each pixel takes the set or clear value.
    explicit image(const two_value_view& view) requires std::is_same_v<T, unsigned char>;
    image& operator=(const two_value_view& view) requires std::is_same_v<T, unsigned char>;

    // 32-bit records from grey g: blue = green = red = g, alpha = 255 - g.
    // Resized to the grey image's size (alignment 4) when it differs.
    image& assign_grey(const image<unsigned char>& grey) requires std::is_same_v<T, BGRA<unsigned char>>;
    // 32-bit records from grey g: blue = green = red = 255 - g, alpha = g.
    image& assign_grey_inverted(
        const image<unsigned char>& grey) requires std::is_same_v<T, BGRA<unsigned char>>;

    // Float colour records from 32-bit: each byte becomes a float 0 to 255 in
    // the same channel. Resized (alignment 4) when the size differs.
    image& assign(const image<BGRA<unsigned char>>& source) requires std::is_same_v<T, BGRA<float>>;
    // The same for rows [first, last) alone, into an image of the source's
    // size: bands of rows can be converted side by side.
    void assign_rows(const image<BGRA<unsigned char>>& source, unsigned first,
        unsigned last) requires std::is_same_v<T, BGRA<float>>;

private:
    void take_geometry(unsigned char* buffer, bool owned, unsigned width, unsigned height, unsigned alignment,
        std::uint32_t stride, std::uint32_t size, std::vector<unsigned char*>& rows) noexcept;
    void release() noexcept;
};

// A reference to one pixel: {image, x, y}. T may be const-qualified (a pixel
// of a const image). For the bit instance it reads and writes one bit; for
// the others it stands for the pixel value.
template <class T> class pixel_ref {
    using base_type = std::remove_const_t<T>;

public:
    using image_type = std::conditional_t<std::is_const_v<T>, const image<base_type>, image<base_type>>;

    image_type* image_ptr;
    unsigned x;
    unsigned y;

    pixel_ref(image_type* image, unsigned x, unsigned y) noexcept
        : image_ptr(image)
        , x(x)
        , y(y)
    {
    }

    // A reference into a mutable image also reads as one into a const image.
    operator pixel_ref<const base_type>() const noexcept requires(!std::is_const_v<T>)
    {
        return { image_ptr, x, y };
    }

    operator bool() const noexcept requires std::is_same_v<base_type, bit>
    {
        return (image_ptr->rows[y][x >> 3] & (0x80u >> (x & 7))) != 0;
    }

    const pixel_ref& operator=(bool value) const noexcept requires(std::is_same_v<T, bit>)
    {
        unsigned char& byte = image_ptr->rows[y][x >> 3];
        const unsigned char mask = static_cast<unsigned char>(0x80u >> (x & 7));
        byte = value ? static_cast<unsigned char>(byte | mask) : static_cast<unsigned char>(byte & ~mask);
        return *this;
    }

    T& get() const noexcept requires(!std::is_same_v<base_type, bit>) { return image_ptr->row(y)[x]; }

    operator T&() const noexcept requires(!std::is_same_v<base_type, bit>) { return get(); }

    const pixel_ref& operator=(const base_type& value) const noexcept
        requires(!std::is_same_v<base_type, bit> && !std::is_const_v<T>)
    {
        get() = value;
        return *this;
    }
};

// Walks the pixels of an image row by row, x fastest; the end position is
// {x 0, y height}.
template <class T> class pixel_iterator {
    using base_type = std::remove_const_t<T>;

public:
    using image_type = typename pixel_ref<T>::image_type;
    using iterator_concept = std::forward_iterator_tag;
    using iterator_category = std::forward_iterator_tag;
    using value_type = pixel_ref<T>;
    using difference_type = std::ptrdiff_t;
    using reference = pixel_ref<T>;

    image_type* image_ptr = nullptr;
    unsigned x = 0;
    unsigned y = 0;

    pixel_iterator() = default;
    pixel_iterator(image_type* image, unsigned x, unsigned y) noexcept
        : image_ptr(image)
        , x(x)
        , y(y)
    {
    }

    pixel_ref<T> operator*() const noexcept { return { image_ptr, x, y }; }

    pixel_iterator& operator++() noexcept
    {
        if (++x == image_ptr->width) {
            x = 0;
            ++y;
        }
        return *this;
    }

    pixel_iterator operator++(int) noexcept
    {
        pixel_iterator before = *this;
        ++*this;
        return before;
    }

    point position() const noexcept { return { x, y }; }

    bool operator==(const pixel_iterator& other) const noexcept
    {
        return image_ptr == other.image_ptr && x == other.x && y == other.y;
    }
};

template <class T> pixel_ref<T> image<T>::at(unsigned x, unsigned y) noexcept
{
    return { this, x, y };
}

template <class T> pixel_ref<const T> image<T>::at(unsigned x, unsigned y) const noexcept
{
    return { this, x, y };
}

template <class T> pixel_iterator<T> image<T>::begin() noexcept
{
    return width == 0 ? end() : pixel_iterator<T>(this, 0, 0);
}

template <class T> pixel_iterator<T> image<T>::end() noexcept
{
    return { this, 0, height };
}

template <class T> pixel_iterator<const T> image<T>::begin() const noexcept
{
    return width == 0 ? end() : pixel_iterator<const T>(this, 0, 0);
}

template <class T> pixel_iterator<const T> image<T>::end() const noexcept
{
    return { this, 0, height };
}

template <class T> void swap(image<T>& a, image<T>& b) noexcept
{
    a.swap(b);
}

// `target` becomes a `width` x `height` picture (alignment 4, its own row
// order) with `source` at its top-left corner: clipped where the source
// is larger, `fill` where it is smaller. `target` must not be `source`.
void place_top_left(image<BGRA<unsigned char>>& target, const image<BGRA<unsigned char>>& source,
    unsigned width, unsigned height, BGRA<unsigned char> fill);

// The instances built in the foundation library.
extern template class image<bit>;
extern template class image<unsigned char>;
extern template class image<BGRA<unsigned char>>;
extern template class image<BGRA<float>>;

} // namespace img
