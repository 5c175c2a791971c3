// The memory one read through the reader list takes, failed or not: never
// more than the decode limit and a little working memory. This program
// counts every allocation made through operator new (image buffers among
// them), so it runs on its own, apart from the other tests.

#include "foundation/files/image_error.h"
#include "foundation/files/size_check.h"
#include "foundation/files/tests/bmp_bytes.h"
#include "lumvex/files/image_codec.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <malloc.h>
#include <new>
#include <string>

namespace {

std::atomic<std::uint64_t> live_bytes { 0 };
std::atomic<std::uint64_t> peak_bytes { 0 };

void* counted(void* block)
{
    if (block == nullptr)
        throw std::bad_alloc();
    const std::uint64_t now = live_bytes += malloc_usable_size(block);
    std::uint64_t peak = peak_bytes.load();
    while (now > peak && !peak_bytes.compare_exchange_weak(peak, now)) { }
    return block;
}

void uncounted(void* block) noexcept
{
    if (block == nullptr)
        return;
    live_bytes -= malloc_usable_size(block);
    std::free(block);
}

std::size_t at_least_one(std::size_t bytes)
{
    return bytes == 0 ? 1 : bytes;
}

void* aligned(std::size_t bytes, std::align_val_t alignment)
{
    const auto a = static_cast<std::size_t>(alignment);
    return counted(std::aligned_alloc(a, (at_least_one(bytes) + a - 1) / a * a));
}

// The most bytes held at once while `body` runs, above what was held before.
template <class Body> std::uint64_t peak_of(Body body)
{
    const std::uint64_t before = live_bytes.load();
    peak_bytes = before;
    body();
    return peak_bytes.load() - before;
}

constexpr std::uint64_t mib = 1 << 20;
// The limit of one decode, and the 5 % of working memory allowed beside it.
constexpr std::uint64_t allowed = img::max_file_decode_bytes + img::max_file_decode_bytes / 20;

// A 1 KiB run-length BMP claiming 16384 x 16384 pixels and holding no pixel
// data: within the limits (its picture is exactly the 1 GiB a decode may
// take), so the platform decoder allocates the picture before the data runs
// out; the library's own reader takes no compressed BMP.
TEST(ReaderMemory, AFailedReadHoldsOnePictureAtMost)
{
    test_support::scratch_folder folder;
    test_support::bmp_layout layout;
    layout.width = 16384;
    layout.height = 16384;
    layout.bits = 8;
    layout.compression = 1;
    layout.table.assign(1024, 0);
    const std::string path = folder.write("claims.bmp", test_support::bmp_file(layout));
    img::image<img::BGRA<unsigned char>> out;
    const std::uint64_t peak = peak_of([&] {
        try {
            img::default_readers().read(path, out);
            ADD_FAILURE() << "an image without pixel data was read";
        } catch (const img::too_large& error) {
            ADD_FAILURE() << "refused for its size: " << error.what();
        } catch (const img::io_error& error) {
            EXPECT_EQ(error.subject(), path);
        }
    });
    EXPECT_LE(peak, allowed) << peak / mib << " MiB";
    RecordProperty("peak_bytes", std::to_string(peak));
    // Nothing of the failed picture is left to the caller.
    EXPECT_EQ(out.data, nullptr);
    EXPECT_EQ(out.width, 0u);
    // Telling why the file cannot be read reads only its header.
    const std::uint64_t telling = peak_of([&] {
        EXPECT_EQ(img::unreadable_image_text(img::default_readers(), path, "claims.bmp"),
            "could not read file or unknown image format: claims.bmp");
    });
    EXPECT_LT(telling, mib);
}

// A file refused for its size, by the reader that reads it or by another
// one's header, is refused before any picture is allocated.
TEST(ReaderMemory, ASizeRefusalComesFromTheHeaders)
{
    test_support::scratch_folder folder;
    std::string tga(18, '\0');
    tga[2] = 2;
    tga[12] = tga[14] = static_cast<char>(0xFF);
    tga[13] = tga[15] = static_cast<char>(0xFF);
    tga[16] = 32;
    const std::string named_tga = folder.write("huge.tga", { tga.begin(), tga.end() });
    const std::string unnamed = folder.write("huge.dat", { tga.begin(), tga.end() });
    const std::vector<std::uint8_t> bmp
        = test_support::bmp_file({ 40, 17000, 17000, 24, 0, 0, {}, std::vector<std::uint8_t>(64) });
    const std::string big_bmp = folder.write("huge.bmp", bmp);
    const std::string large
        = "the image is too large: 65535 x 65535 pixels, more than the limit of 268435456 pixels";
    const std::string bmp_large
        = "the image is too large: 17000 x 17000 pixels, more than the limit of 268435456 pixels";
    for (const auto& [file, message] :
        { std::pair { named_tga, large }, std::pair { unnamed, large }, std::pair { big_bmp, bmp_large } }) {
        // Structured bindings cannot be captured before clang 16.
        const std::string& path = file;
        const std::string& text = message;
        const std::uint64_t peak = peak_of([&] {
            img::image<img::BGRA<unsigned char>> out;
            try {
                img::default_readers().read(path, out);
                ADD_FAILURE() << "read " << path;
            } catch (const img::too_large& error) {
                EXPECT_EQ(std::string(error.what()), text + ": " + path);
            }
            EXPECT_EQ(img::default_readers().size_refusal(path), text);
        });
        EXPECT_LT(peak, mib) << path;
    }
}

} // namespace

void* operator new(std::size_t bytes)
{
    return counted(std::malloc(at_least_one(bytes)));
}
void* operator new[](std::size_t bytes)
{
    return counted(std::malloc(at_least_one(bytes)));
}
void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept
{
    try {
        return counted(std::malloc(at_least_one(bytes)));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](std::size_t bytes, const std::nothrow_t&) noexcept
{
    return operator new(bytes, std::nothrow);
}
void* operator new(std::size_t bytes, std::align_val_t alignment)
{
    return aligned(bytes, alignment);
}
void* operator new[](std::size_t bytes, std::align_val_t alignment)
{
    return aligned(bytes, alignment);
}
void operator delete(void* block) noexcept
{
    uncounted(block);
}
void operator delete[](void* block) noexcept
{
    uncounted(block);
}
void operator delete(void* block, std::size_t) noexcept
{
    uncounted(block);
}
void operator delete[](void* block, std::size_t) noexcept
{
    uncounted(block);
}
void operator delete(void* block, std::align_val_t) noexcept
{
    uncounted(block);
}
void operator delete[](void* block, std::align_val_t) noexcept
{
    uncounted(block);
}
void operator delete(void* block, std::size_t, std::align_val_t) noexcept
{
    uncounted(block);
}
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept
{
    uncounted(block);
}
