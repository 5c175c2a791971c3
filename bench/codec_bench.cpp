// Encoded images: PNG encode and decode of a 720 x 576 1-bit mask and colour
// frame, JPEG decode of the frame, each through our entry points and through
// the codec library called directly with the same settings and the same
// target pixel layout, so the difference is what our layer costs.
#include "foundation/files/gdiplus_codec.h"

#include <benchmark/benchmark.h>
#include <jpeglib.h>
#include <png.h>

#include <cmath>
#include <cstring>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace {

constexpr unsigned width = 720;
constexpr unsigned height = 576;

img::image<img::bit> make_mask()
{
    img::image<img::bit> mask(width, height, 4);
    mask.fill(false);
    for (unsigned y = 0; y < height; ++y)
        for (unsigned x = 0; x < width; ++x) {
            const double dx = (double(x) - 360) / 250, dy = (double(y) - 300) / 200;
            const double wobble = 0.1 * std::sin(std::atan2(dy, dx) * 7);
            mask.at(x, y) = dx * dx + dy * dy < (1 + wobble) * (1 + wobble);
        }
    return mask;
}

// A frame with smooth shading, edges and a little noise, like video.
img::image<img::BGRA<unsigned char>> make_frame()
{
    img::image<img::BGRA<unsigned char>> frame(width, height, 4);
    unsigned noise = 12345;
    for (unsigned y = 0; y < height; ++y)
        for (unsigned x = 0; x < width; ++x) {
            noise = noise * 1103515245 + 12345;
            const int n = int((noise >> 16) & 7) - 4;
            const bool inside = (x / 90 + y / 72) % 2 == 0;
            auto clamp = [](int v) { return static_cast<unsigned char>(std::min(255, std::max(0, v))); };
            frame.at(x, y) = img::BGRA<unsigned char> { clamp(int(x * 255 / width) + n),
                clamp(int(y * 200 / height) + (inside ? 40 : 0) + n),
                clamp(128 + int(60 * std::sin(x * 0.02)) + n), 255 };
        }
    return frame;
}

// ---- the libraries called directly ----

void on_png_error(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

void append_png(png_structp png, png_bytep data, png_size_t length)
{
    auto* out = static_cast<std::vector<unsigned char>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void flush_png(png_structp) { }

struct memory_source {
    const unsigned char* data;
    std::size_t left;
};

void read_png_memory(png_structp png, png_bytep data, png_size_t length)
{
    auto* source = static_cast<memory_source*>(png_get_io_ptr(png));
    if (length > source->left)
        png_error(png, "end of data");
    std::memcpy(data, source->data, length);
    source->data += length;
    source->left -= length;
}

bool direct_png_encode(
    const unsigned char* first, std::ptrdiff_t stride, bool mask, std::vector<unsigned char>& out)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, on_png_error, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<png_bytep> rows(height);
    for (unsigned y = 0; y < height; ++y)
        rows[y] = const_cast<png_bytep>(first + stride * std::ptrdiff_t(y));
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, &out, append_png, flush_png);
    png_set_IHDR(png, info, width, height, mask ? 1 : 8, mask ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_RGB,
        PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    if (!mask) {
        png_set_bgr(png);
        png_set_filler(png, 0, PNG_FILLER_AFTER);
    }
    png_write_rows(png, rows.data(), height);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

// Decodes into grey rows (a mask) or BGRA rows (a frame), as our layer does.
bool direct_png_decode(const std::string& data, unsigned char* first, std::ptrdiff_t stride, bool grey)
{
    memory_source source { reinterpret_cast<const unsigned char*>(data.data()), data.size() };
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, on_png_error, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<png_bytep> rows(height);
    for (unsigned y = 0; y < height; ++y)
        rows[y] = first + stride * std::ptrdiff_t(y);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_read_fn(png, &source, read_png_memory);
    png_read_info(png, info);
    if (grey) {
        png_set_expand_gray_1_2_4_to_8(png);
    } else {
        png_set_bgr(png);
        png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    }
    png_read_update_info(png, info);
    png_read_rows(png, rows.data(), nullptr, height);
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

void direct_jpeg_decode(const std::string& data, unsigned char* first, std::ptrdiff_t stride)
{
    jpeg_decompress_struct info {};
    jpeg_error_mgr errors {};
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(data.data()), data.size());
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_EXT_BGRA;
    jpeg_start_decompress(&info);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = first + stride * std::ptrdiff_t(info.output_scanline);
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
}

std::string encoded(const img::image<img::bit>& mask)
{
    std::ostringstream out;
    img::gdiplus_write_bit(out, mask, img::image_format::png);
    return out.str();
}

std::string encoded(const img::image<img::BGRA<unsigned char>>& frame, img::image_format format)
{
    std::ostringstream out;
    img::gdiplus_write_bgra(out, frame, format, false);
    return out.str();
}

// ---- benchmarks ----

void MaskPngEncode_Ours(benchmark::State& state)
{
    const auto mask = make_mask();
    for (auto _ : state) {
        std::ostringstream out;
        img::gdiplus_write_bit(out, mask, img::image_format::png);
        benchmark::DoNotOptimize(out.tellp());
    }
}

void MaskPngEncode_Direct(benchmark::State& state)
{
    const auto mask = make_mask();
    for (auto _ : state) {
        std::vector<unsigned char> out;
        if (!direct_png_encode(mask.rows[0], mask.stride, true, out))
            state.SkipWithError("libpng failed");
        benchmark::DoNotOptimize(out.data());
    }
}

void MaskPngDecode_Ours(benchmark::State& state)
{
    const std::string data = encoded(make_mask());
    img::image<unsigned char> grey(width, height, 4);
    for (auto _ : state) {
        std::istringstream in(data);
        img::gdiplus_read_grey(in, grey);
        benchmark::DoNotOptimize(grey.data);
    }
}

void MaskPngDecode_Direct(benchmark::State& state)
{
    const std::string data = encoded(make_mask());
    img::image<unsigned char> grey(width, height, 4);
    for (auto _ : state) {
        if (!direct_png_decode(data, grey.data, grey.stride, true))
            state.SkipWithError("libpng failed");
        benchmark::DoNotOptimize(grey.data);
    }
}

void FramePngEncode_Ours(benchmark::State& state)
{
    const auto frame = make_frame();
    for (auto _ : state) {
        std::ostringstream out;
        img::gdiplus_write_bgra(out, frame, img::image_format::png, false);
        benchmark::DoNotOptimize(out.tellp());
    }
}

void FramePngEncode_Direct(benchmark::State& state)
{
    const auto frame = make_frame();
    for (auto _ : state) {
        std::vector<unsigned char> out;
        if (!direct_png_encode(frame.rows[0], frame.stride, false, out))
            state.SkipWithError("libpng failed");
        benchmark::DoNotOptimize(out.data());
    }
}

void FramePngDecode_Ours(benchmark::State& state)
{
    const std::string data = encoded(make_frame(), img::image_format::png);
    img::image<img::BGRA<unsigned char>> frame(width, height, 4);
    for (auto _ : state) {
        std::istringstream in(data);
        img::gdiplus_read_bgra(in, frame);
        benchmark::DoNotOptimize(frame.data);
    }
}

void FramePngDecode_Direct(benchmark::State& state)
{
    const std::string data = encoded(make_frame(), img::image_format::png);
    img::image<img::BGRA<unsigned char>> frame(width, height, 4);
    for (auto _ : state) {
        if (!direct_png_decode(data, frame.data, frame.stride, false))
            state.SkipWithError("libpng failed");
        benchmark::DoNotOptimize(frame.data);
    }
}

void FrameJpegDecode_Ours(benchmark::State& state)
{
    const std::string data = encoded(make_frame(), img::image_format::jpeg);
    img::image<img::BGRA<unsigned char>> frame(width, height, 4);
    for (auto _ : state) {
        std::istringstream in(data);
        img::gdiplus_read_bgra(in, frame);
        benchmark::DoNotOptimize(frame.data);
    }
}

void FrameJpegDecode_Direct(benchmark::State& state)
{
    const std::string data = encoded(make_frame(), img::image_format::jpeg);
    img::image<img::BGRA<unsigned char>> frame(width, height, 4);
    for (auto _ : state) {
        direct_jpeg_decode(data, frame.data, frame.stride);
        benchmark::DoNotOptimize(frame.data);
    }
}

} // namespace

BENCHMARK(MaskPngEncode_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(MaskPngEncode_Direct)->Unit(benchmark::kMillisecond);
BENCHMARK(MaskPngDecode_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(MaskPngDecode_Direct)->Unit(benchmark::kMillisecond);
BENCHMARK(FramePngEncode_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(FramePngEncode_Direct)->Unit(benchmark::kMillisecond);
BENCHMARK(FramePngDecode_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(FramePngDecode_Direct)->Unit(benchmark::kMillisecond);
BENCHMARK(FrameJpegDecode_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(FrameJpegDecode_Direct)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
