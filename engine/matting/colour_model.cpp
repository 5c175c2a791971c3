#include "engine/matting/colour_model.h"

#include <algorithm>
#include <cmath>

#include "engine/matting/alpha_condition.h"

namespace trm::colour_model {

namespace {

using vec3 = std::array<double, 3>;
using mat3 = std::array<vec3, 3>;

std::array<float, 3> cross(const std::array<float, 3>& u, const std::array<float, 3>& v) noexcept
{
    return { u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0] };
}

float length_squared(const std::array<float, 3>& u) noexcept
{
    return u[0] * u[0] + u[1] * u[1] + u[2] * u[2];
}

vec3 colour_of(const img::BGRA<unsigned char>& pixel) noexcept
{
    return { static_cast<double>(pixel.b), static_cast<double>(pixel.g), static_cast<double>(pixel.r) };
}

double form(const vec3& u, const mat3& w, const vec3& v) noexcept
{
    double sum = 0.0;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            sum += u[i] * w[i][j] * v[j];
    return sum;
}

// The inverse of a 3 x 3 matrix, or false when its determinant is 0 or not
// a number.
bool invert(const mat3& m, mat3& out) noexcept
{
    const double c00 = m[1][1] * m[2][2] - m[1][2] * m[2][1];
    const double c01 = m[1][2] * m[2][0] - m[1][0] * m[2][2];
    const double c02 = m[1][0] * m[2][1] - m[1][1] * m[2][0];
    const double det = m[0][0] * c00 + m[0][1] * c01 + m[0][2] * c02;
    if (det == 0.0 || !std::isfinite(det))
        return false;
    const double k = 1.0 / det;
    out[0] = { c00 * k, (m[0][2] * m[2][1] - m[0][1] * m[2][2]) * k,
        (m[0][1] * m[1][2] - m[0][2] * m[1][1]) * k };
    out[1] = { c01 * k, (m[0][0] * m[2][2] - m[0][2] * m[2][0]) * k,
        (m[0][2] * m[1][0] - m[0][0] * m[1][2]) * k };
    out[2] = { c02 * k, (m[0][1] * m[2][0] - m[0][0] * m[2][1]) * k,
        (m[0][0] * m[1][1] - m[0][1] * m[1][0]) * k };
    return true;
}

// C = 255² Σ c cᵀ − 255² N B Bᵀ − 255 Σa (B Dᵀ + D Bᵀ) − Σa² D Dᵀ with
// D = F − B: the scatter of the window's colours about the fitted mix,
// Σ (255 r)(255 r)ᵀ with r = c − B − (a/255) D.
mat3 residual_scatter(const window_sums& s, const two_colour_fit& fit) noexcept
{
    static constexpr int product_index[3][3] = { { 0, 1, 2 }, { 1, 3, 4 }, { 2, 4, 5 } };
    const vec3& b = fit.background;
    vec3 d {};
    for (int i = 0; i < 3; ++i)
        d[i] = fit.foreground[i] - b[i];
    const double n = static_cast<double>(s.n);
    const double sa = static_cast<double>(s.a);
    const double saa = static_cast<double>(s.aa);
    mat3 c {};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            c[i][j] = 65025.0 * static_cast<double>(s.cc[product_index[i][j]]) - 65025.0 * n * b[i] * b[j]
                - 255.0 * sa * (b[i] * d[j] + d[i] * b[j]) - saa * d[i] * d[j];
    return c;
}

} // namespace

bool fit_two_colours(const window_sums& s, float c, two_colour_fit& out)
{
    const alpha_moments m = moments_of(s.n, s.a, s.aa);
    if (s.n == 0 || exceeds_condition(m, c))
        return false;
    // Exact: both products stay below 2^63 for the windows the stages accept.
    const std::int64_t det = m.p * m.q - m.r * m.r;
    if (det <= 0)
        return false;
    const double p = static_cast<double>(m.p);
    const double q = static_cast<double>(m.q);
    const double r = static_cast<double>(m.r);
    const double spread = std::sqrt((q - p) * (q - p) + 4.0 * r * r);
    const double low = p + q - spread;
    if (!(low > 0.0))
        return false;
    out.kappa = (p + q + spread) / low;
    const double k = 255.0 / static_cast<double>(det);
    for (int i = 0; i < 3; ++i) {
        const double sum = static_cast<double>(s.c[i]);
        const double alpha_sum = static_cast<double>(s.ac[i]);
        out.foreground[i] = k * ((p + r) * alpha_sum - 255.0 * r * sum);
        out.background[i] = k * (255.0 * q * sum - (q + r) * alpha_sum);
    }
    return true;
}

int alpha_from_planes(double p, double q, double kappa, float c)
{
    if (!std::isfinite(p) || !std::isfinite(q) || !std::isfinite(kappa))
        return -1;
    if (p * q <= 0.0) {
        if (p == q)
            return -1;
        const double t = std::fabs(p / (q - p));
        const float m = static_cast<float>((kappa - 1.0) / (static_cast<double>(c) - 1.0) * 0.5);
        if (t <= m)
            return 0;
        if (t >= 1.0f - m)
            return 255;
        const double v = 255.0 / (1.0 - 2.0 * static_cast<double>(m)) * (t - m) + 0.5;
        return std::clamp(static_cast<int>(v), 0, 255);
    }
    if (p == q)
        return 127;
    return q * q < p * p ? 255 : 0;
}

bool principal_direction(const std::array<std::array<float, 3>, 3>& a, std::array<float, 3>& direction)
{
    const float mean = (a[0][0] + a[1][1] + a[2][2]) / 3.0f;
    const float k00 = a[0][0] - mean;
    const float k11 = a[1][1] - mean;
    const float k22 = a[2][2] - mean;
    const float k01 = a[0][1];
    const float k02 = a[0][2];
    const float k12 = a[1][2];
    // a − mean·I has the characteristic t³ − 3q t − 2r with q = tr(K²)/6 and
    // r = det(K)/2; its roots are 2√q cos(θ + 2πk/3), cos 3θ = r / q^(3/2).
    const float q = (k00 * k00 + k11 * k11 + k22 * k22 + 2.0f * (k01 * k01 + k02 * k02 + k12 * k12)) / 6.0f;
    const float r
        = (k00 * (k11 * k22 - k12 * k12) - k01 * (k01 * k22 - k12 * k02) + k02 * (k01 * k12 - k11 * k02))
        / 2.0f;
    const float q3 = q * q * q;
    float lambda = mean;
    if (r * r + 1.1920929e-6f * q3 >= q3) {
        // cos 3θ = ±1: a double root and a single one.
        const float s = std::cbrt(r);
        lambda = std::max(mean + 2.0f * s, mean - s);
    } else {
        const float ratio = std::clamp(r / (q * std::sqrt(q)), -1.0f, 1.0f);
        lambda = mean + 2.0f * std::sqrt(q) * std::cos(std::acos(ratio) / 3.0f);
    }
    if (!std::isfinite(lambda))
        return false;

    std::array<std::array<float, 3>, 3> rows = a;
    for (int i = 0; i < 3; ++i)
        rows[i][i] -= lambda;
    const std::array<float, 3> candidates[3]
        = { cross(rows[0], rows[1]), cross(rows[0], rows[2]), cross(rows[1], rows[2]) };
    int longest = 0;
    for (int i = 1; i < 3; ++i)
        if (length_squared(candidates[i]) > length_squared(candidates[longest]))
            longest = i;
    const float length = std::sqrt(length_squared(candidates[longest]));
    if (!(length > 0.0f) || !std::isfinite(length))
        return false;
    for (int i = 0; i < 3; ++i)
        direction[i] = candidates[longest][i] / length;
    return true;
}

int alpha_spheres(const img::BGRA<unsigned char>& pixel, const two_colour_fit& fit, float c)
{
    const vec3 x = colour_of(pixel);
    std::array<float, 3> df {};
    std::array<float, 3> db {};
    for (int i = 0; i < 3; ++i) {
        df[i] = static_cast<float>(x[i] - fit.foreground[i]);
        db[i] = static_cast<float>(x[i] - fit.background[i]);
    }
    std::array<std::array<float, 3>, 3> scatter {};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            scatter[i][j] = df[i] * df[j] + db[i] * db[j];
    std::array<float, 3> n {};
    if (!principal_direction(scatter, n))
        return -1;
    const float p = -(n[0] * db[0] + n[1] * db[1] + n[2] * db[2]);
    const float q = -(n[0] * df[0] + n[1] * df[1] + n[2] * df[2]);
    return alpha_from_planes(p, q, fit.kappa, c);
}

int alpha_ellipses(
    const img::BGRA<unsigned char>& pixel, const two_colour_fit& fit, const window_sums& s, float c)
{
    mat3 scatter = residual_scatter(s, fit);
    const double trace = scatter[0][0] + scatter[1][1] + scatter[2][2];
    if (!(trace > 0.0) || !std::isfinite(trace))
        return -1;
    for (int i = 0; i < 3; ++i)
        scatter[i][i] += 0.001 * trace;
    mat3 w {};
    if (!invert(scatter, w))
        return -1;

    const vec3 x = colour_of(pixel);
    vec3 df {};
    vec3 db {};
    for (int i = 0; i < 3; ++i) {
        df[i] = x[i] - fit.foreground[i];
        db[i] = x[i] - fit.background[i];
    }
    const double a = form(df, w, df);
    const double g = form(df, w, db);
    const double e = form(db, w, db);
    const double half = (a + e) / 2.0;
    const double root = std::sqrt((a - e) / 2.0 * ((a - e) / 2.0) + g * g);
    const double lambda = std::fabs(half + root) >= std::fabs(half - root) ? half + root : half - root;
    // Two forms of the eigenvector of [[a, g], [g, e]]; the longer is the
    // better conditioned.
    double u0 = g;
    double u1 = lambda - a;
    if ((lambda - e) * (lambda - e) + g * g > u0 * u0 + u1 * u1) {
        u0 = lambda - e;
        u1 = g;
    }
    vec3 n {};
    for (int i = 0; i < 3; ++i)
        n[i] = u0 * df[i] + u1 * db[i];
    const double nn = form(n, w, n);
    if (!(nn > 0.0) || !std::isfinite(nn))
        return -1;
    return alpha_from_planes(-form(db, w, n) / nn, -form(df, w, n) / nn, fit.kappa, c);
}

} // namespace trm::colour_model
