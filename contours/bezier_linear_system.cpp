#include "contours/bezier_linear_system.h"

#include "contours/bezier_sampler.h"
#include "contours/fit_geometry.h"
#include "contours/lu.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace contours {

void linear_constraints::clear()
{
    m_rows.clear();
    std::fill(m_fixed.begin(), m_fixed.end(), false);
}

bool linear_constraints::all_fixed(std::initializer_list<unsigned> unknowns) const
{
    return std::all_of(unknowns.begin(), unknowns.end(), [this](unsigned k) { return m_fixed[k]; });
}

linear_constraints::row& linear_constraints::add_row()
{
    m_rows.push_back({ std::vector<double>(m_unknowns, 0.0), {} });
    return m_rows.back();
}

void linear_constraints::fix(unsigned k, pointd d)
{
    if (m_fixed[k])
        return;
    row& r = add_row();
    r.coefficients[k] = 1.0;
    r.value = d;
    m_fixed[k] = true;
    m_fixed_values[k] = d;
}

void linear_constraints::tie2(unsigned i, double a, unsigned j, double b)
{
    if (all_fixed({ i, j }))
        return;
    row& r = add_row();
    r.coefficients[i] += a;
    r.coefficients[j] += b;
}

void linear_constraints::tie3(unsigned i, double a, unsigned j, unsigned k, double c)
{
    if (all_fixed({ i, j, k }))
        return;
    row& r = add_row();
    r.coefficients[i] += a;
    r.coefficients[j] -= c;
    r.coefficients[k] += c;
}

void linear_constraints::tie4(unsigned i, double a, unsigned j, double b, unsigned k, unsigned l, double c)
{
    if (all_fixed({ i, j, k, l }))
        return;
    row& r = add_row();
    r.coefficients[i] += a;
    r.coefficients[j] += b;
    r.coefficients[k] -= c;
    r.coefficients[l] += c;
}

namespace {

constexpr double float_epsilon = std::numeric_limits<float>::epsilon();

void build_constraints(linear_constraints& constraints, bool closed, unsigned nodes,
    const std::vector<unsigned>& kinds, const std::vector<pointf>& contour, bool preserve_segments,
    const std::vector<pointf>& reference, const std::vector<float>& tractions)
{
    constraints.clear();
    const unsigned d = constraints.unknowns();
    contour_shape shape(contour);
    shape.closed = closed;
    shape.nodes = nodes;
    auto fixed = [&](std::size_t j) { return tractions[j] >= 1.0f; };
    auto ref = [&](std::size_t j) { return pointd(reference[j]); };

    for (unsigned i = 0; i < nodes; ++i) {
        const unsigned node = 3 * i;
        const bool has_in = shape.has_in(i);
        const bool has_out = shape.has_out(i);
        const unsigned in = has_in ? static_cast<unsigned>(shape.in_index(i)) : 0;
        const unsigned out = node + 1;
        const unsigned kind = i < kinds.size() ? kinds[i] : corner;
        const bool in_fixed = has_in && fixed(in);
        const bool out_fixed = has_out && fixed(out);
        if (fixed(node))
            constraints.fix(node, ref(node));
        auto fix_in = [&] { constraints.fix(in, ref(in) - ref(node)); };
        auto fix_out = [&] { constraints.fix(out, ref(out) - ref(node)); };

        if (kind == handleless) {
            if (has_in)
                constraints.fix(in, {});
            if (has_out)
                constraints.fix(out, {});
        } else if (kind >= smooth_separate && kind <= symmetric) {
            if (!has_in || !has_out || (in_fixed && out_fixed)) {
                if (in_fixed)
                    fix_in();
                if (out_fixed)
                    fix_out();
            } else {
                handle_ratio ratio { -1.0, 1.0 };
                if (kind != symmetric)
                    ratio = smooth_ratio(contour, in, node, out, true);
                constraints.tie2(in, ratio.b, out, -ratio.a);
            }
        } else {
            if (in_fixed)
                fix_in();
            if (out_fixed)
                fix_out();
        }
    }

    if (!preserve_segments)
        return;
    for (unsigned k = 0; k < shape.segments(); ++k) {
        const unsigned s = 3 * k;
        const unsigned out = s + 1;
        const unsigned in = s + 2;
        const unsigned e_point = s + 3;
        const unsigned e = e_point % d;
        const pointd start(contour[s]);
        const pointd end(contour[e_point]);
        const pointd a = pointd(contour[out]) - start;
        const pointd b = pointd(contour[in]) - end;
        const pointd c = end - start;
        const double la = norm2(a);
        const double lb = norm2(b);
        const double lc = norm2(c);
        if (!(lc >= float_epsilon))
            continue;
        const double ac = cross(a, c);
        const double bc = cross(b, c);
        const bool a_on_chord = ac * ac <= float_epsilon * lc * la;
        const bool b_on_chord = bc * bc <= float_epsilon * lc * lb;
        if (a_on_chord) {
            if (float_epsilon * lc <= la)
                constraints.tie3(out, 1.0, s, e, -dot(a, c) / lc);
            else
                constraints.fix(out, {});
        }
        if (b_on_chord) {
            if (float_epsilon * lc <= lb)
                constraints.tie3(in, 1.0, s, e, -dot(b, c) / lc);
            else
                constraints.fix(in, {});
        }
        if (a_on_chord || b_on_chord)
            continue;
        const double ab = cross(a, b);
        if (ab * ab <= float_epsilon * la * lb) {
            // Parallel handles keep their signed length ratio: b = (a.b / |a|^2) a.
            const double p = dot(a, b);
            constraints.tie2(out, p / std::sqrt(la), in, -std::abs(p) / std::sqrt(lb));
        } else {
            const decomposition chord = decompose(c, a, b);
            constraints.tie4(out, chord.alpha, in, chord.beta, s, e, -1.0);
        }
    }
}

// out = a * b for n x n row-major matrices.
void multiply_matrix(
    const std::vector<double>& a, const std::vector<double>& b, std::vector<double>& out, std::size_t n)
{
    out.assign(n * n, 0.0);
    for (std::size_t i = 0; i < n; ++i) {
        double* row = &out[i * n];
        for (std::size_t k = 0; k < n; ++k) {
            const double f = a[i * n + k];
            if (f == 0.0)
                continue;
            const double* brow = &b[k * n];
            for (std::size_t j = 0; j < n; ++j)
                row[j] += f * brow[j];
        }
    }
}

// out = a * v for an n x n row-major matrix.
void multiply_vector(
    const std::vector<double>& a, const std::vector<double>& v, std::vector<double>& out, std::size_t n)
{
    out.assign(n, 0.0);
    for (std::size_t i = 0; i < n; ++i) {
        double sum = 0.0;
        for (std::size_t j = 0; j < n; ++j)
            sum += a[i * n + j] * v[j];
        out[i] = sum;
    }
}

bool finite(const std::vector<double>& v)
{
    return std::all_of(v.begin(), v.end(), [](double x) { return std::isfinite(x); });
}

} // namespace

bezier_linear_system::bezier_linear_system(bool closed, unsigned nodes, const std::vector<unsigned>& kinds,
    const std::vector<pointf>& contour, bool preserve_segments, const std::vector<pointf>& reference,
    const std::vector<float>& tractions)
    : m_closed(closed)
    , m_nodes(nodes)
    , m_unknowns(closed ? 3 * nodes : 3 * nodes - 2)
    , m_matrix(std::size_t(m_unknowns) * m_unknowns, 0.0)
    , m_rhs_x(m_unknowns, 0.0)
    , m_rhs_y(m_unknowns, 0.0)
    , m_constraints(m_unknowns)
{
    rebuild_constraints(kinds, contour, preserve_segments, reference, tractions);
}

void bezier_linear_system::rebuild_constraints(const std::vector<unsigned>& kinds,
    const std::vector<pointf>& contour, bool preserve_segments, const std::vector<pointf>& reference,
    const std::vector<float>& tractions)
{
    build_constraints(
        m_constraints, m_closed, m_nodes, kinds, contour, preserve_segments, reference, tractions);
    prepare_constraints();
}

void bezier_linear_system::prepare_constraints()
{
    const std::size_t n = m_unknowns;
    const auto& rows = m_constraints.rows();
    m_constraints_usable = true;
    m_rank = 0;
    if (rows.empty())
        return;

    // Rows implied by others (a handle both tied to its node and fixed
    // there, segment rows repeating what held nodes already say) would make
    // C C^T singular. So the rows are made orthonormal in order by modified
    // Gram-Schmidt, each one twice against the rows kept before it, and a
    // row whose remainder is below `dependent` of its length is dropped:
    // the kept rows Q span the same space, P = I - Q^T Q, and the least
    // norm solution of Q V = e is x0 = Q^T e. For rows that are independent
    // this is I - C^T (C C^T)^-1 C and C^T (C C^T)^-1 d.
    constexpr double dependent = 1e-6;
    std::vector<double> q;
    std::vector<pointd> e;
    q.reserve(rows.size() * n);
    std::vector<double> v(n);
    for (const linear_constraints::row& r : rows) {
        v = r.coefficients;
        pointd w = r.value;
        double length2 = 0.0;
        for (double c : v)
            length2 += c * c;
        for (int pass = 0; pass < 2; ++pass)
            for (std::size_t j = 0; j < m_rank; ++j) {
                const double* qj = &q[j * n];
                double f = 0.0;
                for (std::size_t k = 0; k < n; ++k)
                    f += v[k] * qj[k];
                if (f == 0.0)
                    continue;
                for (std::size_t k = 0; k < n; ++k)
                    v[k] -= f * qj[k];
                w -= e[j] * f;
            }
        double rest2 = 0.0;
        for (double c : v)
            rest2 += c * c;
        if (!(rest2 > dependent * dependent * length2))
            continue;
        const double scale = 1.0 / std::sqrt(rest2);
        for (double c : v)
            q.push_back(c * scale);
        e.push_back(w * scale);
        ++m_rank;
    }

    m_projector.assign(n * n, 0.0);
    m_x0_x.assign(n, 0.0);
    m_x0_y.assign(n, 0.0);
    for (std::size_t j = 0; j < m_rank; ++j) {
        const double* qj = &q[j * n];
        for (std::size_t i = 0; i < n; ++i) {
            if (qj[i] == 0.0)
                continue;
            double* row = &m_projector[i * n];
            for (std::size_t k = 0; k < n; ++k)
                row[k] -= qj[i] * qj[k];
            m_x0_x[i] += qj[i] * e[j].x;
            m_x0_y[i] += qj[i] * e[j].y;
        }
    }
    for (std::size_t i = 0; i < n; ++i)
        m_projector[i * n + i] += 1.0;

    // C^T C and C^T d over all rows: rows implied by others add nothing
    // that the kept ones do not already demand.
    m_ctc.assign(n * n, 0.0);
    m_ctd_x.assign(n, 0.0);
    m_ctd_y.assign(n, 0.0);
    for (const linear_constraints::row& r : rows) {
        const std::vector<double>& c = r.coefficients;
        for (std::size_t i = 0; i < n; ++i) {
            if (c[i] == 0.0)
                continue;
            for (std::size_t k = 0; k < n; ++k)
                m_ctc[i * n + k] += c[i] * c[k];
            m_ctd_x[i] += c[i] * r.value.x;
            m_ctd_y[i] += c[i] * r.value.y;
        }
    }
    m_constraints_usable = finite(m_projector) && finite(m_x0_x) && finite(m_x0_y);
}

void bezier_linear_system::add_sample(unsigned segment, double t, pointd target)
{
    const bezier_basis basis(t);
    const unsigned s = 3 * segment;
    unsigned idx[4] = { s, s + 1, s + 2, index(s + 3) };
    double w[4] = { basis.h0, basis.b1, basis.b2, basis.h1 };
    unsigned count = 4;
    if (idx[3] == idx[0]) {
        w[0] += w[3];
        count = 3;
    }
    const std::size_t n = m_unknowns;
    for (unsigned p = 0; p < count; ++p) {
        for (unsigned q = 0; q <= p; ++q) {
            const unsigned i = std::max(idx[p], idx[q]);
            const unsigned j = std::min(idx[p], idx[q]);
            m_matrix[i * n + j] += w[p] * w[q];
        }
        m_rhs_x[idx[p]] += w[p] * target.x;
        m_rhs_y[idx[p]] += w[p] * target.y;
    }
}

void bezier_linear_system::add_traction(unsigned j, pointd prior, double w)
{
    if (!(w > 0.0 && w < 1.0))
        return;
    const double kappa = w / (1.0 - w);
    const double k2 = kappa * kappa;
    double& diagonal = m_matrix[std::size_t(j) * m_unknowns + j];
    m_rhs_x[j] += k2 * diagonal * prior.x;
    m_rhs_y[j] += k2 * diagonal * prior.y;
    diagonal *= 1.0 + k2;
}

void bezier_linear_system::clear_sums()
{
    std::fill(m_matrix.begin(), m_matrix.end(), 0.0);
    std::fill(m_rhs_x.begin(), m_rhs_x.end(), 0.0);
    std::fill(m_rhs_y.begin(), m_rhs_y.end(), 0.0);
}

bool bezier_linear_system::solve(
    std::vector<pointf>& contour, const std::vector<pointf>* prior, const std::vector<float>* tractions)
{
    const std::size_t n = m_unknowns;
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = i + 1; j < n; ++j)
            m_matrix[i * n + j] = m_matrix[j * n + i];

    if (prior && tractions) {
        contour_shape shape(contour);
        shape.closed = m_closed;
        shape.nodes = m_nodes;
        const std::vector<pointf>& p = *prior;
        const std::vector<float>& w = *tractions;
        for (unsigned i = 0; i < m_nodes; ++i) {
            const std::size_t node = 3 * std::size_t(i);
            const pointd centre(p[node]);
            if (shape.has_in(i)) {
                const std::size_t in = shape.in_index(i);
                add_traction(static_cast<unsigned>(in), pointd(p[in]) - centre, w[in]);
            }
            add_traction(static_cast<unsigned>(node), centre, w[node]);
            if (shape.has_out(i))
                add_traction(static_cast<unsigned>(node + 1), pointd(p[node + 1]) - centre, w[node + 1]);
        }
    }

    bool solved = m_constraints_usable;
    std::vector<double> a;
    std::vector<double> rx = m_rhs_x;
    std::vector<double> ry = m_rhs_y;
    if (solved && !m_constraints.rows().empty()) {
        // (P A P + C^T C) V = P (r - A x0) + C^T d
        std::vector<double> ap;
        multiply_matrix(m_matrix, m_projector, ap, n);
        multiply_matrix(m_projector, ap, a, n);
        for (std::size_t i = 0; i < n * n; ++i)
            a[i] += m_ctc[i];
        std::vector<double> ax;
        std::vector<double> projected;
        for (int c = 0; c < 2; ++c) {
            std::vector<double>& r = c == 0 ? rx : ry;
            multiply_vector(m_matrix, c == 0 ? m_x0_x : m_x0_y, ax, n);
            for (std::size_t i = 0; i < n; ++i)
                r[i] -= ax[i];
            multiply_vector(m_projector, r, projected, n);
            const std::vector<double>& ctd = c == 0 ? m_ctd_x : m_ctd_y;
            for (std::size_t i = 0; i < n; ++i)
                r[i] = projected[i] + ctd[i];
        }
    } else {
        a = m_matrix;
    }

    std::vector<std::size_t> pivots;
    solved = solved && lu_decompose(a, n, pivots);
    if (solved) {
        lu_solve(a, n, pivots, rx.data());
        lu_solve(a, n, pivots, ry.data());
        solved = finite(rx) && finite(ry);
        // The projected solve meets the fixed values only up to rounding,
        // which grows with the system's condition; fixed points must stay
        // exactly where they are held.
        for (unsigned k = 0; solved && k < n; ++k)
            if (m_constraints.fixed(k)) {
                rx[k] = m_constraints.fixed_value(k).x;
                ry[k] = m_constraints.fixed_value(k).y;
            }
    }
    if (solved) {
        contour_shape shape(contour);
        shape.closed = m_closed;
        shape.nodes = m_nodes;
        std::vector<pointf> result = contour;
        for (unsigned i = 0; i < m_nodes; ++i) {
            const std::size_t node = 3 * std::size_t(i);
            const pointd centre(rx[node], ry[node]);
            result[node] = centre.to_float();
            if (shape.has_in(i)) {
                const std::size_t in = shape.in_index(i);
                result[in] = (centre + pointd(rx[in], ry[in])).to_float();
            }
            if (shape.has_out(i))
                result[node + 1] = (centre + pointd(rx[node + 1], ry[node + 1])).to_float();
        }
        if (m_closed)
            result.back() = result.front();
        solved = all_finite(result);
        if (solved)
            contour.swap(result);
    }
    clear_sums();
    return solved;
}

} // namespace contours
