#include "contours/bezier_outline_fitter.h"

#include "contours/fit_geometry.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace contours {

namespace {

float clamped(float value, float low, float high)
{
    if (!(value >= low))
        return low;
    return std::min(value, high);
}

struct handles_fit {
    pointd p1;
    pointd p2;
    double error;
};

struct run_sample {
    std::int64_t position; // the outline vertex that starts the sample's step
    pointd point;
};

// Least squares for the inner control points of a cubic with fixed ends
// through samples at t_j = j h. False when the samples cannot determine
// them.
bool solve_inner_handles(
    const std::vector<run_sample>& samples, double h, pointd p0, pointd p3, handles_fit& fit)
{
    double c11 = 0.0, c12 = 0.0, c22 = 0.0, q = 0.0;
    pointd x1, x2;
    for (std::size_t j = 1; j + 1 < samples.size(); ++j) {
        const double t = double(j) * h;
        const double u = 1.0 - t;
        const double b1 = u * u * t;
        const double b2 = u * t * t;
        const pointd r = samples[j].point - (p0 * (u * u * u) + p3 * (t * t * t));
        c11 += b1 * b1;
        c12 += b1 * b2;
        c22 += b2 * b2;
        x1 += r * b1;
        x2 += r * b2;
        q += norm2(r);
    }
    const double det = c11 * c22 - c12 * c12;
    if (!(det > std::numeric_limits<double>::epsilon() * c11 * c22))
        return false;
    fit.p1 = (x1 * c22 - x2 * c12) / (3.0 * det);
    fit.p2 = (x2 * c11 - x1 * c12) / (3.0 * det);
    fit.error = std::max(0.0, q - 3.0 * (dot(fit.p1, x1) + dot(fit.p2, x2)));
    return std::isfinite(fit.p1.x + fit.p1.y + fit.p2.x + fit.p2.y);
}

} // namespace

void outline_fitter::set_outline(const crack_outline& outline)
{
    m_count = outline.empty() ? 0 : static_cast<unsigned>(outline.size() - 1);
    m_vertices.resize(2 * std::size_t(m_count));
    for (unsigned i = 0; i < m_count; ++i) {
        const pointf v(static_cast<float>(vertex_x(outline[i])), static_cast<float>(vertex_y(outline[i])));
        m_vertices[i] = v;
        m_vertices[m_count + i] = v;
    }
}

void bezier_outline_fitter::set_settings(const fitter_settings& settings)
{
    m_settings = settings;
    if (!(settings.smoothness >= 0.0f))
        m_settings.smoothness = 0.0f;
    m_settings.iterations = std::clamp(settings.iterations, 1u, 100000u);
    m_settings.tolerance = clamped(settings.tolerance, 0.0f, 10.0f);
    m_settings.sampling_ratio = clamped(settings.sampling_ratio, 0.1f, 10.0f);
    m_settings.node_limit = std::clamp(settings.node_limit, 1u, 100u);
}

float bezier_outline_fitter::choose_nodes(std::vector<unsigned>& node_indices)
{
    const std::uint64_t n = m_count;
    const std::uint64_t k = std::max<std::uint64_t>(1, std::min<std::uint64_t>(n / 3, m_settings.node_limit));
    node_indices.clear();
    for (std::uint64_t i = 0; i < k; ++i)
        node_indices.push_back(static_cast<unsigned>(n * i / k));
    node_indices.push_back(static_cast<unsigned>(n));
    return 0.0f;
}

void bezier_outline_fitter::node_kinds(
    const std::vector<unsigned>& node_indices, std::vector<unsigned>& kinds)
{
    const std::size_t nodes = node_indices.empty() ? 0 : node_indices.size() - 1;
    kinds.assign(nodes, m_settings.smoothness > 0.0f ? 1u : 0u);
}

void bezier_outline_fitter::fit_cubic_to_run(
    unsigned first, unsigned last, std::vector<pointf>& contour) const
{
    auto v = [this](std::int64_t i) { return pointd(m_vertices[static_cast<std::size_t>(i)]); };
    const std::int64_t m = std::int64_t(last) - first + 1;
    const pointd p0 = v(first);
    const pointd p3 = v(last);
    pointf p1 = v(first + m / 3).to_float();
    pointf p2 = v(first + 2 * m / 3).to_float();

    const std::int64_t s = static_cast<std::int64_t>(double(m - 4) * m_settings.sampling_ratio + 5.0);
    const double h = 1.0 / double(s - 1);
    std::vector<run_sample> samples(static_cast<std::size_t>(s));
    samples.front() = { first, p0 };
    samples.back() = { std::int64_t(last) - 1, p3 };
    for (std::int64_t j = 1; j + 1 < s; ++j) {
        const double tau = double(j) * h * double(m - 1) + first;
        const std::int64_t index = static_cast<std::int64_t>(tau);
        const pointd a = v(index);
        samples[static_cast<std::size_t>(j)] = { index, a + (v(index + 1) - a) * (tau - double(index)) };
    }
    const double threshold = double(s - 2) * m_settings.tolerance;

    for (unsigned iteration = 0; iteration < m_settings.iterations; ++iteration) {
        handles_fit fit;
        if (!solve_inner_handles(samples, h, p0, p3, fit))
            break;
        p1 = fit.p1.to_float();
        p2 = fit.p2.to_float();
        const pointd c1(p1);
        const pointd c2(p2);

        // Slide each inner sample along the outline to where the curve's
        // normal through B(t) crosses it, trying steps backward and forward
        // in turn, nearest first.
        for (std::int64_t j = 1; j + 1 < s; ++j) {
            const double t = double(j) * h;
            const pointd b = bezier_point(p0, c1, c2, p3, t);
            const pointd d = bezier_derivative(p0, c1, c2, p3, t);
            const pointd normal(d.y, -d.x);
            run_sample& sample = samples[static_cast<std::size_t>(j)];
            const std::int64_t p = sample.position;
            auto crossing = [&](std::int64_t start) {
                const pointd a = v(start);
                const pointd step = v(start + 1) - a;
                const double denominator = step.y * normal.x - step.x * normal.y;
                if (std::abs(denominator) < std::numeric_limits<float>::epsilon())
                    return false;
                const double u = ((b.y - a.y) * normal.x - (b.x - a.x) * normal.y) / denominator;
                if (u < -0.001 || u > 1.001)
                    return false;
                sample = { start, a + step * u };
                return true;
            };
            for (std::int64_t k = 0; p - k >= first || p + k + 1 <= last; ++k) {
                if (p - k >= first && crossing(p - k))
                    break;
                if (k >= 1 && p + k + 1 <= last && crossing(p + k))
                    break;
            }
        }
        if (fit.error <= threshold)
            break;
    }
    contour.push_back(p1);
    contour.push_back(p2);
    contour.push_back(p3.to_float());
}

void bezier_outline_fitter::fit(std::vector<pointf>& contour)
{
    contour.clear();
    // A closed crack outline has at least 4 distinct vertices; fewer cannot
    // make runs of at least 4 vertices.
    if (m_count < 3)
        return;
    std::vector<unsigned> nodes;
    choose_nodes(nodes);
    contour.reserve(3 * (nodes.size() - 1) + 1);
    contour.push_back(m_vertices[0]);
    for (std::size_t i = 0; i + 1 < nodes.size(); ++i)
        fit_cubic_to_run(nodes[i], nodes[i + 1], contour);
}

} // namespace contours
