#include "contours/bezier_parameter_system.h"

#include "contours/bezier_linear_system.h"
#include "contours/bezier_sampler.h"
#include "contours/lu.h"

#include <algorithm>
#include <cmath>

namespace contours {

namespace {

struct term_builder {
    const std::vector<pointf>& contour;
    const std::vector<pointf>& reference;
    const std::vector<pointf>* prior;
    const std::vector<float>* tractions;

    double traction(std::size_t j) const { return tractions ? (*tractions)[j] : 0.0; }
    bool fixed(std::size_t j) const { return traction(j) >= 1.0; }
    term_prior prior_for(double w) const
    {
        return prior && tractions ? term_prior::from_traction(w) : term_prior {};
    }
    pointd offset(const std::vector<pointf>& points, std::size_t handle, std::size_t node) const
    {
        return pointd(points[handle]) - pointd(points[node]);
    }
    pointd prior_offset(std::size_t handle, std::size_t node) const
    {
        return prior ? offset(*prior, handle, node) : pointd {};
    }

    term_ptr position(std::size_t node) const
    {
        if (fixed(node))
            return make_constant_point(pointd(reference[node]));
        const pointd p = prior ? pointd((*prior)[node]) : pointd {};
        return make_free_point(p, prior_for(traction(node)));
    }

    // A handle on its own, written as an out-handle.
    term_ptr single_handle(std::size_t handle, std::size_t node, bool directed) const
    {
        if (fixed(handle))
            return make_constant_handle(offset(reference, handle, node));
        const term_prior p = prior_for(traction(handle));
        if (directed)
            return make_directed_handle(node, handle, prior_offset(handle, node), p);
        return make_free_handle(prior_offset(handle, node), p);
    }
};

} // namespace

void bezier_parameter_system::build(bool closed, unsigned nodes, const std::vector<unsigned>& kinds,
    const std::vector<pointf>& contour, const std::vector<pointf>* prior, const std::vector<float>* tractions,
    const std::vector<unsigned>* flags)
{
    m_closed = closed;
    m_nodes = nodes;
    contour_shape shape(contour);
    shape.closed = closed;
    shape.nodes = nodes;
    const term_builder b { contour, prior && tractions ? *prior : contour, prior, tractions };

    m_terms.clear();
    m_offsets.clear();
    m_count = 0;
    for (unsigned i = 0; i < nodes; ++i) {
        const std::size_t node = 3 * std::size_t(i);
        const bool has_in = shape.has_in(i);
        const bool has_out = shape.has_out(i);
        const std::size_t in = has_in ? shape.in_index(i) : node;
        const std::size_t out = node + 1;
        const unsigned kind = i < kinds.size() ? kinds[i] : corner;
        const unsigned flag = flags ? (*flags)[i] : 0;
        const bool in_flagged = (flag & in_keep_direction) != 0;
        const bool out_flagged = (flag & out_keep_direction) != 0;
        const bool in_fixed = has_in && b.fixed(in);
        const bool out_fixed = has_out && b.fixed(out);

        term_ptr handles;
        if (kind == handleless) {
            handles = make_handleless();
        } else if ((kind == smooth || kind == symmetric) && has_in && has_out && !(in_fixed && out_fixed)) {
            const double w = 0.5 * (b.traction(in) + b.traction(out));
            const bool is_symmetric = kind == symmetric;
            const pointd prior_in = b.prior_offset(in, node);
            const pointd prior_out = b.prior_offset(out, node);
            if (in_flagged || out_flagged)
                handles = make_shared_directed_pair(
                    in, node, out, is_symmetric, prior_in, prior_out, b.prior_for(w));
            else
                handles
                    = make_shared_free_pair(in, node, out, is_symmetric, prior_in, prior_out, b.prior_for(w));
        } else {
            // Corners, separate smooth nodes, smooth nodes with both handles
            // fixed and smooth nodes at an open end: each handle by itself.
            const bool separate = kind == smooth_separate || kind == smooth || kind == symmetric;
            const bool at_end = !has_in || !has_out;
            auto directed = [&](bool flagged) { return flagged || (separate && !at_end); };
            term_ptr in_part = has_in ? b.single_handle(in, node, directed(in_flagged)) : make_zero_handle();
            term_ptr out_part
                = has_out ? b.single_handle(out, node, directed(out_flagged)) : make_zero_handle();
            handles = make_mirrored_pair(in_part, out_part);
        }
        m_terms.push_back(make_pair(b.position(node), handles));
        m_offsets.push_back(m_count);
        m_count += m_terms.back()->parameter_count();
    }
    m_matrix.assign(std::size_t(m_count) * m_count, 0.0);
    m_rhs.assign(m_count, 0.0);
    m_scratch.assign(m_count, 0.0);
    load(contour);
}

void bezier_parameter_system::load(const std::vector<pointf>& contour)
{
    for (const term_ptr& term : m_terms)
        term->load(contour);
}

void bezier_parameter_system::add_sample(unsigned segment, double t, pointd target)
{
    const unsigned start = segment;
    const unsigned end = (segment + 1) % m_nodes;
    const bezier_fit_term& s = *m_terms[start];
    const bezier_fit_term& e = *m_terms[end];
    s.subtract_known(segment_side::start, t, target);
    e.subtract_known(segment_side::end, t, target);

    const unsigned s_offset = m_offsets[start];
    const unsigned e_offset = m_offsets[end];
    const unsigned s_count = s.parameter_count();
    const unsigned e_count = e.parameter_count();
    // A term has at most six parameters: a free point and two free handles.
    double s_coefficients[6];
    double e_coefficients[6];
    const std::size_t n = m_count;
    for (int c = 0; c < 2; ++c) {
        // The derivatives gathered by parameter index; the start and end
        // terms are one when the contour has a single node.
        unsigned idx[12];
        double value[12];
        unsigned count = 0;
        s.basis(c, segment_side::start, t, s_coefficients);
        e.basis(c, segment_side::end, t, e_coefficients);
        for (unsigned k = 0; k < s_count; ++k) {
            idx[count] = s_offset + k;
            value[count++] = s_coefficients[k];
        }
        for (unsigned k = 0; k < e_count; ++k) {
            if (end == start) {
                value[k] += e_coefficients[k];
                continue;
            }
            idx[count] = e_offset + k;
            value[count++] = e_coefficients[k];
        }
        const double q = c == 0 ? target.x : target.y;
        for (unsigned p = 0; p < count; ++p) {
            if (value[p] == 0.0)
                continue;
            for (unsigned r = 0; r <= p; ++r) {
                const unsigned i = std::max(idx[p], idx[r]);
                const unsigned j = std::min(idx[p], idx[r]);
                m_matrix[i * n + j] += value[p] * value[r];
            }
            m_rhs[idx[p]] += value[p] * q;
        }
    }
}

bool bezier_parameter_system::step(std::vector<pointf>& contour)
{
    const std::size_t n = m_count;
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = i + 1; j < n; ++j)
            m_matrix[i * n + j] = m_matrix[j * n + i];
    for (std::size_t i = 0; i < n; ++i)
        m_scratch[i] = m_matrix[i * n + i];
    for (std::size_t k = 0; k < m_terms.size(); ++k)
        m_terms[k]->apply_prior(m_scratch.data() + m_offsets[k], m_rhs.data() + m_offsets[k]);
    for (std::size_t i = 0; i < n; ++i)
        m_matrix[i * n + i] = m_scratch[i];

    std::vector<std::size_t> pivots;
    bool solved = lu_decompose(m_matrix, n, pivots);
    if (solved) {
        lu_solve(m_matrix, n, pivots, m_rhs.data());
        contour_shape shape(contour);
        shape.closed = m_closed;
        shape.nodes = m_nodes;
        std::vector<pointf> result = contour;
        for (unsigned i = 0; i < m_nodes; ++i) {
            term_value value;
            m_terms[i]->evaluate(m_rhs.data() + m_offsets[i], value);
            const std::size_t node = 3 * std::size_t(i);
            result[node] = value.node.to_float();
            if (shape.has_in(i))
                result[shape.in_index(i)] = (value.node + value.in).to_float();
            if (shape.has_out(i))
                result[node + 1] = (value.node + value.out).to_float();
        }
        if (m_closed)
            result.back() = result.front();
        solved = all_finite(result);
        if (solved)
            contour.swap(result);
    }
    std::fill(m_matrix.begin(), m_matrix.end(), 0.0);
    std::fill(m_rhs.begin(), m_rhs.end(), 0.0);
    return solved;
}

} // namespace contours
