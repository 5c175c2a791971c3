#include "contours/motion_estimators.h"

#include <cmath>

namespace contours {

namespace {

// Relative size below which a centred second moment counts as zero: the
// samples then do not determine the model.
constexpr double degenerate_ratio = 1e-12;

std::optional<motion_map> finite_or_none(const motion_map& map)
{
    const double all = map.m00 + map.m01 + map.m10 + map.m11 + map.translation.x + map.translation.y;
    if (!std::isfinite(all))
        return std::nullopt;
    return map;
}

// The translation that completes a linear part L: mean q - L mean p.
motion_map with_centred_translation(motion_map map, pointd sum_p, pointd sum_q, double weight)
{
    map.translation = (sum_q - map.linear(sum_p)) / weight;
    return map;
}

// A rotation and scaling [[a, -b], [b, a]] completed by its translation.
std::optional<motion_map> turn_and_scale(double a, double b, pointd sum_p, pointd sum_q, double weight)
{
    motion_map map;
    map.m00 = a;
    map.m01 = -b;
    map.m10 = b;
    map.m11 = a;
    return finite_or_none(with_centred_translation(map, sum_p, sum_q, weight));
}

} // namespace

void translation_estimator::add(pointd p, pointd q, double weight)
{
    m_weight += weight;
    m_shift += (q - p) * weight;
}

std::optional<motion_map> translation_estimator::solve() const
{
    if (!(m_weight > 0.0))
        return std::nullopt;
    motion_map map;
    map.translation = m_shift / m_weight;
    return finite_or_none(map);
}

void rigid_estimator::add(pointd p, pointd q, double weight)
{
    m_weight += weight;
    m_p += p * weight;
    m_q += q * weight;
    m_dot += weight * dot(p, q);
    m_cross += weight * (p.y * q.x - p.x * q.y);
}

double rigid_estimator::centred_dot() const
{
    return m_dot - dot(m_p, m_q) / m_weight;
}

double rigid_estimator::centred_cross() const
{
    return m_cross - (m_p.y * m_q.x - m_p.x * m_q.y) / m_weight;
}

std::optional<motion_map> rigid_estimator::solve() const
{
    if (!(m_weight > 0.0))
        return std::nullopt;
    const double c = centred_dot();
    const double s = centred_cross();
    const double length = std::hypot(c, s);
    if (!(length > 0.0))
        return std::nullopt;
    const double theta = std::atan2(-s / length, c / length);
    return turn_and_scale(std::cos(theta), std::sin(theta), m_p, m_q, m_weight);
}

void similarity_estimator::add(pointd p, pointd q, double weight)
{
    rigid_estimator::add(p, q, weight);
    m_pp += weight * norm2(p);
}

std::optional<motion_map> similarity_estimator::solve() const
{
    if (!(m_weight > 0.0))
        return std::nullopt;
    const double spread = m_pp - norm2(m_p) / m_weight;
    if (!(spread > degenerate_ratio * m_pp))
        return std::nullopt;
    return turn_and_scale(centred_dot() / spread, -centred_cross() / spread, m_p, m_q, m_weight);
}

void affine_estimator::add(pointd p, pointd q, double weight)
{
    m_weight += weight;
    m_p += p * weight;
    m_q += q * weight;
    m_xx += weight * p.x * p.x;
    m_yy += weight * p.y * p.y;
    m_xy += weight * p.x * p.y;
    m_xqx += weight * p.x * q.x;
    m_xqy += weight * p.x * q.y;
    m_yqx += weight * p.y * q.x;
    m_yqy += weight * p.y * q.y;
}

std::optional<motion_map> affine_estimator::solve() const
{
    if (!(m_weight > 0.0))
        return std::nullopt;
    const double w = m_weight;
    const double cxx = m_xx - m_p.x * m_p.x / w;
    const double cyy = m_yy - m_p.y * m_p.y / w;
    const double cxy = m_xy - m_p.x * m_p.y / w;
    const double kxx = m_xqx - m_p.x * m_q.x / w;
    const double kyx = m_yqx - m_p.y * m_q.x / w;
    const double kxy = m_xqy - m_p.x * m_q.y / w;
    const double kyy = m_yqy - m_p.y * m_q.y / w;
    const double det = cxx * cyy - cxy * cxy;
    // det / (cxx cyy) is 1 minus the squared correlation of x and y: near 0
    // the samples lie on one line and the map across it is not determined.
    if (!(det > degenerate_ratio * cxx * cyy) || !(cxx > 0.0) || !(cyy > 0.0))
        return std::nullopt;
    const double d = 1.0 / det;
    motion_map map;
    map.m00 = (kxx * cyy - kyx * cxy) * d;
    map.m01 = (kyx * cxx - kxx * cxy) * d;
    map.m10 = (kxy * cyy - kyy * cxy) * d;
    map.m11 = (kyy * cxx - kxy * cxy) * d;
    return finite_or_none(with_centred_translation(map, m_p, m_q, w));
}

} // namespace contours
