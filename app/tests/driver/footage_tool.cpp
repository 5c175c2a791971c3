// Footage for the tests that drive the whole program, and a reader of what
// the program writes:
//
//   footage_tool write AVI TRUTH_FOLDER [FRAMES]
//       writes an uncompressed AVI (24 bits, 25 frames per second, 320 x 240)
//       of a textured disc moving over a textured background, through our
//       own AVI writer; beside it, per frame, the picture (frame_NNN.ppm) and
//       the disc's exact pixels (shape_NNN.pgm, 255 inside, 0 outside).
//   footage_tool decode AVI OUT_FOLDER
//       decodes every frame with the codec library's own demuxer and
//       decoders (the reference reader, not ours) into OUT_FOLDER/NNN.ppm and
//       prints "frames COUNT WIDTH HEIGHT".
//
// The pictures are deterministic: every run writes the same bytes.

#include "platform/tests/avi_samples.h"
#include "platform/video/avi_writer.h"
#include "platform/video/video_compressor.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr unsigned kWidth = 320;
constexpr unsigned kHeight = 240;
constexpr int kRadius = 34;

// The disc's centre on frame `i`: it moves right and a little down.
void DiscCentre(int i, double& x, double& y)
{
    x = 96.0 + 5.0 * i;
    y = 104.0 + 2.0 * i;
}

bool InsideDisc(int i, unsigned x, unsigned y)
{
    double cx = 0;
    double cy = 0;
    DiscCentre(i, cx, cy);
    const double dx = double(x) + 0.5 - cx;
    const double dy = double(y) + 0.5 - cy;
    return dx * dx + dy * dy <= double(kRadius) * kRadius;
}

// A grain value in [-1, 1] from integer coordinates (a hash, so that the
// texture is the same on every machine).
double Grain(int x, int y, std::uint32_t seed)
{
    std::uint32_t h = std::uint32_t(x) * 0x8DA6B343u ^ std::uint32_t(y) * 0xD8163841u ^ seed * 0xCB1AB31Fu;
    h ^= h >> 13;
    h *= 0x5BD1E995u;
    h ^= h >> 15;
    return double(h & 0xFFFF) / 32767.5 - 1.0;
}

// Texture of cells of 6 pixels plus fine grain: detail a motion estimate
// can lock on to.
double Texture(int x, int y, std::uint32_t seed)
{
    const int cx = x >= 0 ? x / 6 : (x - 5) / 6;
    const int cy = y >= 0 ? y / 6 : (y - 5) / 6;
    return 0.7 * Grain(cx, cy, seed) + 0.3 * Grain(x, y, seed + 1);
}

std::uint8_t Clamp(double v)
{
    return std::uint8_t(v < 0 ? 0 : v > 255 ? 255 : std::lround(v));
}

// Frame `i` as RGB, top row first.
std::vector<std::uint8_t> Picture(int i)
{
    std::vector<std::uint8_t> rgb(std::size_t(kWidth) * kHeight * 3);
    double cx = 0;
    double cy = 0;
    DiscCentre(i, cx, cy);
    for (unsigned y = 0; y < kHeight; ++y)
        for (unsigned x = 0; x < kWidth; ++x) {
            std::uint8_t* p = &rgb[(std::size_t(y) * kWidth + x) * 3];
            if (InsideDisc(i, x, y)) {
                // The disc's texture moves with it.
                const double t = Texture(int(x - std::lround(cx)), int(y - std::lround(cy)), 7);
                p[0] = Clamp(225 + 25 * t);
                p[1] = Clamp(140 + 30 * t);
                p[2] = Clamp(40 + 20 * t);
            } else {
                const double t = Texture(int(x), int(y), 3);
                p[0] = Clamp(70 + 30 * t);
                p[1] = Clamp(110 + 35 * t);
                p[2] = Clamp(125 + 35 * t);
            }
        }
    return rgb;
}

bool WritePnm(const std::string& path, const char* magic, unsigned channels,
    const std::vector<std::uint8_t>& data, unsigned width, unsigned height)
{
    std::ofstream out(path, std::ios::binary);
    out << magic << "\n" << width << " " << height << "\n255\n";
    out.write(
        reinterpret_cast<const char*>(data.data()), std::streamsize(std::size_t(width) * height * channels));
    return bool(out);
}

std::string Numbered(const std::string& folder, const std::string& stem, int i, const char* extension)
{
    char name[32];
    std::snprintf(name, sizeof name, "%03d", i);
    return folder + "/" + stem + name + extension;
}

int Write(const std::string& path, const std::string& truth, int frames)
{
    platform::avi_writer writer;
    platform::AVISTREAMINFO info;
    info.fccType = platform::streamtypeVIDEO;
    info.fccHandler = platform::mmioFOURCC('D', 'I', 'B', ' ');
    info.dwScale = 1;
    info.dwRate = 25;
    const std::uint32_t stride = (kWidth * 3 + 3) / 4 * 4;
    info.dwSuggestedBufferSize = stride * kHeight;
    int error = writer.open(path);
    if (error == 0)
        error = writer.create_stream(info, std::int32_t(kWidth), std::int32_t(kHeight));
    if (error == 0)
        error = writer.set_format(platform::testing::bitmap_format(
            std::int32_t(kWidth), std::int32_t(kHeight), 24, platform::BI_RGB));
    for (int i = 0; error == 0 && i < frames; ++i) {
        const std::vector<std::uint8_t> rgb = Picture(i);
        // Bottom-up BGR rows, each padded to four bytes.
        std::vector<std::uint8_t> sample(std::size_t(stride) * kHeight, 0);
        std::vector<std::uint8_t> shape(std::size_t(kWidth) * kHeight);
        for (unsigned y = 0; y < kHeight; ++y)
            for (unsigned x = 0; x < kWidth; ++x) {
                const std::uint8_t* p = &rgb[(std::size_t(y) * kWidth + x) * 3];
                std::uint8_t* q = &sample[std::size_t(kHeight - 1 - y) * stride + x * 3];
                q[0] = p[2];
                q[1] = p[1];
                q[2] = p[0];
                shape[std::size_t(y) * kWidth + x] = InsideDisc(i, x, y) ? 255 : 0;
            }
        error = writer.write(sample.data(), std::uint32_t(sample.size()), platform::AVIIF_KEYFRAME);
        if (error == 0
            && (!WritePnm(Numbered(truth, "frame_", i, ".ppm"), "P6", 3, rgb, kWidth, kHeight)
                || !WritePnm(Numbered(truth, "shape_", i, ".pgm"), "P5", 1, shape, kWidth, kHeight))) {
            std::cerr << "footage_tool: cannot write into " << truth << "\n";
            return 1;
        }
    }
    if (error == 0)
        error = writer.close();
    if (error != 0) {
        std::cerr << "footage_tool: writing " << path << " failed (error " << error << ")\n";
        return 1;
    }
    return 0;
}

int Decode(const std::string& path, const std::string& folder)
{
    unsigned width = 0;
    unsigned height = 0;
    std::vector<std::vector<std::uint8_t>> frames;
    try {
        frames = platform::testing::reference_decode(path, &width, &height);
    } catch (const std::exception& e) {
        std::cerr << "footage_tool: " << path << ": " << e.what() << "\n";
        return 1;
    }
    for (std::size_t i = 0; i < frames.size(); ++i) {
        std::vector<std::uint8_t> rgb(std::size_t(width) * height * 3);
        for (std::size_t p = 0; p < std::size_t(width) * height; ++p) {
            rgb[p * 3] = frames[i][p * 4 + 2];
            rgb[p * 3 + 1] = frames[i][p * 4 + 1];
            rgb[p * 3 + 2] = frames[i][p * 4];
        }
        if (!WritePnm(Numbered(folder, "", int(i), ".ppm"), "P6", 3, rgb, width, height)) {
            std::cerr << "footage_tool: cannot write into " << folder << "\n";
            return 1;
        }
    }
    std::cout << "frames " << frames.size() << " " << width << " " << height << std::endl;
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() >= 3 && args[0] == "write")
        return Write(args[1], args[2], args.size() >= 4 ? std::stoi(args[3]) : 12);
    if (args.size() == 3 && args[0] == "decode")
        return Decode(args[1], args[2]);
    std::cerr << "usage: footage_tool write AVI TRUTH_FOLDER [FRAMES] | decode AVI OUT_FOLDER\n";
    return 2;
}
