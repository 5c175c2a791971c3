#pragma once

#include "contours/point.h"

#include <vector>

namespace contours {

// Node kinds of a contour fit.
enum node_kind : unsigned {
    corner = 0, // handles independent
    smooth_separate = 1, // smooth; in the parameterised step each handle keeps its direction
    smooth = 2, // handles kept opposite with their current length ratio
    symmetric = 3, // handles kept opposite and of equal length
    handleless = 4, // both handles pinned onto the node
};

// Linear equality constraints on the unknowns of the linear model: rows of D
// coefficients with a right-hand side (dx, dy) applied alike to x and y, and
// the set of unknowns already fixed. Rows whose unknowns are all fixed
// already are redundant and skipped; other rows implied by earlier ones are
// kept here and left out by the solve of bezier_linear_system.
class linear_constraints {
public:
    struct row {
        std::vector<double> coefficients;
        pointd value;
    };

    explicit linear_constraints(unsigned unknowns = 0)
        : m_unknowns(unknowns)
        , m_fixed(unknowns, false)
        , m_fixed_values(unknowns)
    {
    }

    void clear();
    // V[k] = d.
    void fix(unsigned k, pointd d);
    // a V[i] + b V[j] = 0.
    void tie2(unsigned i, double a, unsigned j, double b);
    // a V[i] - c V[j] + c V[k] = 0.
    void tie3(unsigned i, double a, unsigned j, unsigned k, double c);
    // a V[i] + b V[j] - c V[k] + c V[l] = 0.
    void tie4(unsigned i, double a, unsigned j, double b, unsigned k, unsigned l, double c);

    bool fixed(unsigned k) const { return m_fixed[k]; }
    // The value a fixed unknown is held at.
    pointd fixed_value(unsigned k) const { return m_fixed_values[k]; }
    const std::vector<row>& rows() const { return m_rows; }
    unsigned unknowns() const { return m_unknowns; }

private:
    bool all_fixed(std::initializer_list<unsigned> unknowns) const;
    row& add_row();

    unsigned m_unknowns;
    std::vector<bool> m_fixed;
    std::vector<pointd> m_fixed_values;
    std::vector<row> m_rows;
};

// The linear least-squares model of a Bezier contour: D two-dimensional
// unknowns (node positions and handle offsets, unknown j standing for contour
// point j), normal equations gathered from samples, traction terms towards a
// prior contour, and linear constraints for node kinds and segment shapes.
// x and y are two systems sharing one matrix.
class bezier_linear_system {
public:
    // Sizes the system for the contour and builds the constraints from it.
    // `reference` gives the values of fixed points; `tractions` (one per
    // point) decide which are fixed (>= 1). Both have the contour's size.
    bezier_linear_system(bool closed, unsigned nodes, const std::vector<unsigned>& kinds,
        const std::vector<pointf>& contour, bool preserve_segments, const std::vector<pointf>& reference,
        const std::vector<float>& tractions);

    // One sample on segment k at t with its target.
    void add_sample(unsigned segment, double t, pointd target);
    // Pulls unknown j towards `prior` in proportion to the data weight on it,
    // when 0 < w < 1.
    void add_traction(unsigned j, pointd prior, double w);
    void rebuild_constraints(const std::vector<unsigned>& kinds, const std::vector<pointf>& contour,
        bool preserve_segments, const std::vector<pointf>& reference, const std::vector<float>& tractions);

    // Solves the constrained normal equations (with traction terms towards
    // `prior` by `tractions` when both are given) and writes the solution into
    // the contour; then clears the gathered sums. Constraint rows implied by
    // others are dropped, so consistent constraints never make the system
    // singular. Returns false, leaving the contour unchanged, when the
    // samples leave an unknown undetermined or the solution is not finite.
    bool solve(
        std::vector<pointf>& contour, const std::vector<pointf>* prior, const std::vector<float>* tractions);

    unsigned unknowns() const { return m_unknowns; }
    unsigned constraint_count() const { return static_cast<unsigned>(m_constraints.rows().size()); }
    // The number of independent constraint rows (rows implied by others up
    // to rounding are not counted); equal to the unknowns when the
    // constraints alone decide every unknown.
    unsigned constraint_rank() const { return static_cast<unsigned>(m_rank); }
    const linear_constraints& constraints() const { return m_constraints; }

private:
    unsigned index(unsigned point) const { return point % m_unknowns; }
    void prepare_constraints();
    void clear_sums();

    bool m_closed;
    unsigned m_nodes;
    unsigned m_unknowns;
    std::vector<double> m_matrix; // D x D, lower triangle gathered
    std::vector<double> m_rhs_x;
    std::vector<double> m_rhs_y;
    linear_constraints m_constraints;

    // Derived from the constraints C V = d once per rebuild.
    bool m_constraints_usable = true;
    std::size_t m_rank = 0;
    std::vector<double> m_projector; // I - C^T (C C^T)^-1 C over independent rows
    std::vector<double> m_ctc; // C^T C
    std::vector<double> m_ctd_x, m_ctd_y; // C^T d
    std::vector<double> m_x0_x, m_x0_y; // C^T (C C^T)^-1 d
};

} // namespace contours
