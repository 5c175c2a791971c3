#include "engine/motion/motion_models.h"

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <ostream>

namespace trm {

namespace {

// Spreads and determinants below this share of their scale count as zero:
// the centroids are then degenerate for the model.
constexpr double degenerate_share = 1e-9;

// Sums over the point pairs: products of the float coordinates formed in
// double precision.
struct pair_sums {
    double dx = 0.0; // Σ(qx − px), differences formed in float
    double dy = 0.0;
    double qx = 0.0;
    double qy = 0.0;
    double px = 0.0;
    double py = 0.0;
    double px2 = 0.0;
    double py2 = 0.0;
    double pxpy = 0.0;
    double pxqx = 0.0;
    double qypx = 0.0;
    double pyqx = 0.0;
    double qypy = 0.0;
    double dot = 0.0; // Σ(px·qx + qy·py)
    double cross = 0.0; // Σ(py·qx − qy·px)
    double p2 = 0.0; // Σ(px² + py²)
    std::uint32_t n = 0;

    void add(float fpx, float fpy, float fqx, float fqy) noexcept
    {
        const double x = fpx;
        const double y = fpy;
        const double u = fqx;
        const double v = fqy;
        dx += fqx - fpx;
        dy += fqy - fpy;
        qx += u;
        qy += v;
        px += x;
        py += y;
        px2 += x * x;
        py2 += y * y;
        pxpy += x * y;
        pxqx += x * u;
        qypx += v * x;
        pyqx += y * u;
        qypy += v * y;
        dot += x * u + v * y;
        cross += y * u - v * x;
        p2 += x * x + y * y;
        ++n;
    }
};

bool finite(const affine_motion& m) noexcept
{
    return std::isfinite(m.x) && std::isfinite(m.y) && std::isfinite(m.xx) && std::isfinite(m.xy)
        && std::isfinite(m.yx) && std::isfinite(m.yy);
}

const char* model_name(motion_model model) noexcept
{
    switch (model) {
    case motion_model::affine:
        return "affine";
    case motion_model::translation:
        return "translation";
    case motion_model::rigid:
        return "rigid";
    case motion_model::rigid_zoom:
        return "rigid+zoom";
    default:
        return nullptr;
    }
}

// False when there are no pairs.
bool fit_translation(const pair_sums& s, affine_motion& m) noexcept
{
    const double w = 1.0 / static_cast<double>(s.n);
    m = { w * s.dx, w * s.dy, 1.0, 0.0, 0.0, 1.0 };
    return finite(m);
}

// Rotation (and with `zoom` a uniform scale) plus translation; false when the
// source points are all at one place or the targets carry no direction.
bool fit_rigid(const pair_sums& s, bool zoom, affine_motion& m) noexcept
{
    const double w = 1.0 / static_cast<double>(s.n);
    const double spread = s.p2 - (s.px * s.px + s.py * s.py) * w;
    const double c = s.dot - (s.py * s.qy + s.px * s.qx) * w;
    const double sn = s.cross - (s.py * s.qx - s.px * s.qy) * w;
    const double length = std::hypot(c, sn);
    if (!(spread > degenerate_share * s.p2) || !(length > degenerate_share * spread))
        return false;
    double a = 0.0;
    double b = 0.0;
    if (zoom) {
        const double k = 1.0 / spread;
        a = c * k;
        b = sn * k;
    } else {
        a = c / length;
        b = sn / length;
    }
    m = { (s.qx - a * s.px - b * s.py) * w, (b * s.px + s.qy - a * s.py) * w, a, b, -b, a };
    return finite(m);
}

// Ordinary least squares of q on p; false when the source points lie on one
// line (or nearly so).
bool fit_affine(const pair_sums& s, affine_motion& m) noexcept
{
    const double w = 1.0 / static_cast<double>(s.n);
    const double a = s.px2 - s.px * s.px * w;
    const double b = s.py2 - s.py * s.py * w;
    const double cxy = s.pxpy - s.py * s.px * w;
    const double det = b * a - cxy * cxy;
    if (!(a > degenerate_share * s.px2) || !(b > degenerate_share * s.py2)
        || !(det > degenerate_share * a * b))
        return false;
    const double k = 1.0 / det;
    const double u = s.pxqx - s.px * s.qx * w;
    const double v = s.pyqx - s.py * s.qx * w;
    const double u2 = s.qypx - s.qy * s.px * w;
    const double v2 = s.qypy - s.qy * s.py * w;
    m.xx = (u * b - v * cxy) * k;
    m.xy = (v * a - u * cxy) * k;
    m.yx = (u2 * b - v2 * cxy) * k;
    m.yy = (v2 * a - u2 * cxy) * k;
    m.x = (s.qx - m.xx * s.px - m.xy * s.py) * w;
    m.y = (s.qy - m.yx * s.px - m.yy * s.py) * w;
    // Targets on one line give a singular motion, which has no inverse for
    // the warp.
    return m.is_regular();
}

// Half away from zero.
double round_half_away(double v) noexcept
{
    return v >= 0.0 ? std::trunc(v + 0.5) : std::trunc(v - 0.5);
}

} // namespace

void match_point_sets(
    motion_segmentation& segmentation, affine_motion& out, motion_model model, std::ostream& log)
{
    const char* name = model_name(model);
    if (!name)
        return;
    log << "Matching point sets with " << name << " motion...\n";
    pair_sums sums;
    for (const motion_segment& s : segmentation.segments) {
        const double dx = s.displacement.x + s.base.x;
        const double dy = s.displacement.y + s.base.y;
        sums.add(static_cast<float>(s.centroid.x), static_cast<float>(s.centroid.y),
            static_cast<float>(s.centroid.x + dx), static_cast<float>(s.centroid.y + dy));
    }
    affine_motion m;
    bool fitted = false;
    switch (model) {
    case motion_model::affine:
        fitted = fit_affine(sums, m);
        break;
    case motion_model::rigid:
        fitted = fit_rigid(sums, false, m);
        break;
    case motion_model::rigid_zoom:
        fitted = fit_rigid(sums, true, m);
        break;
    default:
        fitted = fit_translation(sums, m);
        break;
    }
    if (!fitted && model != motion_model::translation) {
        log << "point sets are degenerate for the " << name << " motion, translation fitted instead"
            << std::endl;
        fitted = fit_translation(sums, m);
    }
    if (!fitted) {
        log << "no point pairs, no motion" << std::endl;
        m = affine_motion();
    }
    out = m;
    log << displacement_polynomial(out) << std::endl;
}

void seed_displacements(motion_segmentation& segmentation, const affine_motion& motion)
{
    segmentation.update_centroids();
    for (motion_segment& s : segmentation.segments) {
        if (s.scores.empty())
            continue;
        const affine_motion::point moved = motion.apply(s.centroid.x, s.centroid.y);
        const double wanted_x = round_half_away(moved.x - s.centroid.x);
        const double wanted_y = round_half_away(moved.y - s.centroid.y);
        if (!std::isfinite(wanted_x) || !std::isfinite(wanted_y))
            continue;
        // Clamped as doubles, so that no far-off value reaches an integer.
        const double column
            = std::clamp(wanted_x - s.base.x + s.origin.x, 0.0, double(s.scores.columns() - 1));
        const double row = std::clamp(wanted_y - s.base.y + s.origin.y, 0.0, double(s.scores.rows() - 1));
        s.displacement = { static_cast<int>(column) - s.origin.x, static_cast<int>(row) - s.origin.y };
    }
}

displacement_polynomial::displacement_polynomial(const affine_motion& m)
    : c { static_cast<float>(m.x), static_cast<float>(m.xx - 1.0), static_cast<float>(m.xy), 0.0f, 0.0f, 0.0f,
        static_cast<float>(m.y), static_cast<float>(m.yx), static_cast<float>(m.yy - 1.0), 0.0f, 0.0f, 0.0f }
{
}

std::ostream& operator<<(std::ostream& out, const displacement_polynomial& p)
{
    const float* c = p.c;
    const bool quadratic = c[3] != 0 || c[4] != 0 || c[5] != 0 || c[9] != 0 || c[10] != 0 || c[11] != 0;
    const bool linear = quadratic || c[1] != 0 || c[2] != 0 || c[7] != 0 || c[8] != 0;
    const auto row = [&](const char* name, const float* r) {
        out << name << " = " << std::setw(12) << r[0] << " + " << name[0];
        if (linear)
            out << " + " << std::setw(12) << r[1] << " * x + " << std::setw(12) << r[2] << " * y";
        if (quadratic)
            out << " + " << std::setw(12) << r[3] << " * x*x + " << std::setw(12) << r[4] << " * x*y + "
                << std::setw(12) << r[5] << " * y*y";
    };
    row("x(t+1)", c);
    out << p.separator;
    row("y(t+1)", c + 6);
    return out << std::endl;
}

} // namespace trm
