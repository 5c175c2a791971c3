#pragma once

// A synthetic video frame for tests and benchmarks of the engine: a textured
// background and a textured object with a curved (smooth, non-convex)
// outline, the object placed by an affine motion, with its exact mask.
// Deterministic: the same arguments give the same pixels on every machine.

#include <cmath>
#include <cstdint>

#include "engine/motion/affine_motion.h"
#include "foundation/image/image.h"

namespace trm::testing {

struct synthetic_scene {
    img::image<img::BGRA<unsigned char>> frame;
    // Set where the object covers the pixel centre.
    img::image<img::bit> object;
};

namespace detail {

inline double lattice(std::int64_t x, std::int64_t y, std::uint32_t seed)
{
    std::uint64_t h = static_cast<std::uint64_t>(x) * 0x9E3779B97F4A7C15ull
        ^ static_cast<std::uint64_t>(y) * 0xC2B2AE3D27D4EB4Full ^ (static_cast<std::uint64_t>(seed) << 32);
    h ^= h >> 29;
    h *= 0xBF58476D1CE4E5B9ull;
    h ^= h >> 32;
    return static_cast<double>(h & 0xFFFFFF) / 16777216.0;
}

// Smooth value noise in [0, 1) with features about `scale` pixels wide.
inline double noise(double x, double y, double scale, std::uint32_t seed)
{
    const double u = x / scale;
    const double v = y / scale;
    const double fu = std::floor(u);
    const double fv = std::floor(v);
    const auto ix = static_cast<std::int64_t>(fu);
    const auto iy = static_cast<std::int64_t>(fv);
    const double tu = (u - fu) * (u - fu) * (3 - 2 * (u - fu));
    const double tv = (v - fv) * (v - fv) * (3 - 2 * (v - fv));
    const double top = lattice(ix, iy, seed) * (1 - tu) + lattice(ix + 1, iy, seed) * tu;
    const double bottom = lattice(ix, iy + 1, seed) * (1 - tu) + lattice(ix + 1, iy + 1, seed) * tu;
    return top * (1 - tv) + bottom * tv;
}

inline unsigned char channel(double value)
{
    return static_cast<unsigned char>(std::lround(std::fmin(255.0, std::fmax(0.0, value))));
}

// A texture of two noise scales around a base colour.
inline img::BGRA<unsigned char> texture(
    double x, double y, const double (&base)[3], double amplitude, std::uint32_t seed)
{
    const double coarse = noise(x, y, 23.0, seed) - 0.5;
    const double fine = noise(x, y, 4.0, seed + 7) - 0.5;
    const double grain = lattice(static_cast<std::int64_t>(std::floor(x)),
                             static_cast<std::int64_t>(std::floor(y)), seed + 13)
        - 0.5;
    const double shade = amplitude * (coarse + 0.6 * fine + 0.25 * grain);
    return { channel(base[0] + shade), channel(base[1] + 0.8 * shade), channel(base[2] + 0.6 * shade), 255 };
}

} // namespace detail

// The object's outline in its own coordinates: a blob around (cx, cy) whose
// radius varies smoothly with the angle (three lobes and a dent).
inline bool inside_object(double u, double v, double cx, double cy, double radius)
{
    const double dx = u - cx;
    const double dy = v - cy;
    const double angle = std::atan2(dy, dx);
    const double r = radius * (1.0 + 0.18 * std::sin(3.0 * angle) + 0.08 * std::cos(5.0 * angle + 1.0));
    return dx * dx + dy * dy < r * r;
}

// A turn by `angle` radians about the centre of a width x height frame,
// then a shift by (dx, dy) pixels.
inline affine_motion turn_and_shift(unsigned width, unsigned height, double angle, double dx, double dy)
{
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    const double cx = width / 2.0;
    const double cy = height / 2.0;
    return { cx - c * cx + s * cy + dx, cy - s * cx - c * cy + dy, c, -s, s, c };
}

// Frame k of the tracking-quality scenes: the object turned by k·0.4 degrees
// and scaled by 1 + k·0.003 about the frame centre, then shifted by
// k·(1.2, -0.6) pixels.
inline affine_motion turn_grow_and_shift(unsigned width, unsigned height, int k)
{
    const double angle = k * 0.4 * 3.14159265358979 / 180.0;
    const double scale = 1.0 + k * 0.003;
    const double cx = width / 2.0;
    const double cy = height / 2.0;
    affine_motion m;
    m.xx = scale * std::cos(angle);
    m.xy = -scale * std::sin(angle);
    m.yx = scale * std::sin(angle);
    m.yy = scale * std::cos(angle);
    m.x = cx - (m.xx * cx + m.xy * cy) + k * 1.2;
    m.y = cy - (m.yx * cx + m.yy * cy) - k * 0.6;
    return m;
}

// A width x height frame whose object (centred, radius a quarter of the
// smaller side in its own coordinates) is placed by `motion`: a frame pixel
// (x, y) shows the object point motion⁻¹(x, y). The background does not move.
// Pixels on the outline mix the two textures by their covered share (2 x 2
// samples), as a camera's would; the mask holds the pixels whose centre the
// object covers.
inline synthetic_scene make_scene(
    unsigned width, unsigned height, const affine_motion& motion = {}, std::uint32_t seed = 1)
{
    const double background_colour[3] = { 96.0, 140.0, 110.0 };
    const double object_colour[3] = { 92.0, 122.0, 135.0 };
    const double cx = width / 2.0;
    const double cy = height / 2.0;
    const double radius = (width < height ? width : height) / 4.0;
    const double det = motion.xx * motion.yy - motion.yx * motion.xy;
    // A frame position in the object's own coordinates.
    const auto object_point = [&](double fx, double fy, double& u, double& v) {
        const double px = fx - motion.x;
        const double py = fy - motion.y;
        u = (motion.yy * px - motion.xy * py) / det;
        v = (-motion.yx * px + motion.xx * py) / det;
    };

    synthetic_scene scene { img::image<img::BGRA<unsigned char>>(width, height, 4),
        img::image<img::bit>(width, height, 4) };
    scene.object.fill(false);
    for (unsigned y = 0; y < height; ++y) {
        img::BGRA<unsigned char>* row = scene.frame.row(y);
        for (unsigned x = 0; x < width; ++x) {
            double u = 0;
            double v = 0;
            object_point(x + 0.5, y + 0.5, u, v);
            const bool centre = inside_object(u, v, cx, cy, radius);
            scene.object.at(x, y) = centre;
            int covered = 0;
            for (double sy : { 0.25, 0.75 })
                for (double sx : { 0.25, 0.75 }) {
                    double su = 0;
                    double sv = 0;
                    object_point(x + sx, y + sy, su, sv);
                    covered += inside_object(su, sv, cx, cy, radius);
                }
            const img::BGRA<unsigned char> inner = detail::texture(u, v, object_colour, 120.0, seed + 100);
            const img::BGRA<unsigned char> outer = detail::texture(x, y, background_colour, 110.0, seed);
            const double share = covered / 4.0;
            const auto mix = [share](unsigned char a, unsigned char b) {
                return detail::channel(share * a + (1.0 - share) * b);
            };
            row[x] = { mix(inner.b, outer.b), mix(inner.g, outer.g), mix(inner.r, outer.r), 255 };
        }
    }
    return scene;
}

} // namespace trm::testing
