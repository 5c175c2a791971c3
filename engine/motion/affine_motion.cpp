#include "engine/motion/affine_motion.h"

#include <climits>
#include <cmath>
#include <cstdint>
#include <ostream>

#include "engine/common/thread_pool.h"
#include "foundation/image/blit.h"

namespace trm {

namespace {

const char* const no_motion_line = "singular or non-finite motion treated as no motion";

bool finite(const affine_motion& m) noexcept
{
    return std::isfinite(m.x) && std::isfinite(m.y) && std::isfinite(m.xx) && std::isfinite(m.xy)
        && std::isfinite(m.yx) && std::isfinite(m.yy);
}

// The inverse, or false when the motion has none that is finite.
bool try_inverse(const affine_motion& m, affine_motion& out) noexcept
{
    if (!m.is_regular())
        return false;
    const double det = m.xx * m.yy - m.yx * m.xy;
    const affine_motion i { (m.xy * m.y - m.x * m.yy) / det, (m.yx * m.x - m.xx * m.y) / det, m.yy / det,
        -m.xy / det, -m.yx / det, m.xx / det };
    if (!finite(i))
        return false;
    out = i;
    return true;
}

// The nearest whole position of a source coordinate: halves round up.
double nearest(double s) noexcept
{
    const double f = std::floor(s);
    return s - f >= 0.5 ? f + 1.0 : f;
}

// Target bit (x, y) takes source bit (x - tx, y - ty), cleared outside the
// source. Offsets beyond either image's size leave the target clear, so the
// blit's coordinates stay far from the int limits.
void translate(const img::image<img::bit>& source, img::image<img::bit>& target, int tx, int ty)
{
    target.fill(false);
    const std::int64_t reach_x = static_cast<std::int64_t>(source.width) + target.width;
    const std::int64_t reach_y = static_cast<std::int64_t>(source.height) + target.height;
    if (std::llabs(tx) >= reach_x || std::llabs(ty) >= reach_y)
        return;
    img::blit_or(
        target, tx, ty, static_cast<int>(source.width), static_cast<int>(source.height), source, 0, 0);
}

void warp_general(const affine_motion& i, const img::image<img::bit>& source, img::image<img::bit>& target)
{
    const double width = static_cast<double>(source.width);
    const double height = static_cast<double>(source.height);
    // Rows are independent: bands of them on the engine's threads.
    parallel_rows(target.height, [&](unsigned y0, unsigned y1) {
        for (unsigned y = y0; y < y1; ++y) {
            const affine_motion::point start = i.apply(0.0, static_cast<double>(y));
            unsigned char* out = target.row(y);
            unsigned char byte = 0;
            for (unsigned x = 0; x < target.width; ++x) {
                // Each position from the row's start, never by adding up steps:
                // summed steps drift by many ulps over a wide row and pick the
                // wrong pixel near halves.
                const double u = nearest(start.x + x * i.xx);
                const double v = nearest(start.y + x * i.yx);
                // Compared as doubles first: a position far outside never reaches
                // an integer conversion.
                if (u >= 0.0 && u < width && v >= 0.0 && v < height) {
                    const unsigned su_i = static_cast<unsigned>(u);
                    const unsigned sv_i = static_cast<unsigned>(v);
                    if (source.row(sv_i)[su_i >> 3] & (0x80u >> (su_i & 7)))
                        byte = static_cast<unsigned char>(byte | (0x80u >> (x & 7)));
                }
                if ((x & 7) == 7) {
                    out[x >> 3] = byte;
                    byte = 0;
                }
            }
            if (target.width & 7)
                out[target.width >> 3] = byte;
        }
    });
}

} // namespace

affine_motion::point affine_motion::apply(double u, double v) const noexcept
{
    return { u * xx + v * xy + x, u * yx + v * yy + y };
}

bool affine_motion::is_regular() const noexcept
{
    if (!finite(*this))
        return false;
    const double det = xx * yy - yx * xy;
    return det != 0.0 && std::isfinite(det);
}

affine_motion affine_motion::inverse(std::ostream& log) const
{
    affine_motion i;
    if (!try_inverse(*this, i)) {
        log << no_motion_line << std::endl;
        return affine_motion();
    }
    return i;
}

bool affine_motion::integer_translation(int_point* translation) const noexcept
{
    const double tolerance = 2.220446049250313e-15;
    if (!(std::fabs(xx - 1.0) <= tolerance && std::fabs(xy) <= tolerance && std::fabs(yx) <= tolerance
            && std::fabs(yy - 1.0) <= tolerance))
        return false;
    // Rounded half up also for negative offsets (truncation would turn -3
    // into -2 and miss every negative whole translation).
    const double tx = std::floor(x + 0.5);
    const double ty = std::floor(y + 0.5);
    if (!(std::fabs(x - tx) <= tolerance && std::fabs(y - ty) <= tolerance))
        return false;
    if (tx < INT_MIN || tx > INT_MAX || ty < INT_MIN || ty > INT_MAX)
        return false;
    if (translation)
        *translation = { static_cast<int>(tx), static_cast<int>(ty) };
    return true;
}

void warp_mask(const affine_motion& m, const img::image<img::bit>& source, img::image<img::bit>& target,
    std::ostream& log)
{
    affine_motion::int_point t {};
    if (m.integer_translation(&t)) {
        if (t.x == 0 && t.y == 0) {
            target = source;
        } else if (&source == &target) {
            const img::image<img::bit> copy(source);
            translate(copy, target, t.x, t.y);
        } else {
            translate(source, target, t.x, t.y);
        }
        return;
    }
    affine_motion i;
    if (!try_inverse(m, i)) {
        log << no_motion_line << std::endl;
        target = source;
        return;
    }
    if (&source == &target) {
        const img::image<img::bit> copy(source);
        warp_general(i, copy, target);
        return;
    }
    warp_general(i, source, target);
}

} // namespace trm
