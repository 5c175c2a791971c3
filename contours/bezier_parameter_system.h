#pragma once

#include "contours/bezier_fit_term.h"
#include "contours/point.h"

#include <vector>

namespace contours {

// Node flags of a contour fit: the handle keeps its current direction and is
// moved only by the parameterised step, which changes its length.
enum node_flag : unsigned { in_keep_direction = 1, out_keep_direction = 2 };

// The reparameterised least-squares step: every node is a term whose parts
// (position, in-handle, out-handle) depend on a few scalar parameters chosen
// by its kind, tractions and flags, so that shapes the linear model can only
// approximate (handles kept on their direction, opposite handles with a fixed
// length ratio) hold exactly. x and y share one system.
class bezier_parameter_system {
public:
    // Makes one term per node. `prior` and `tractions` (one per point) may be
    // null; a point with traction >= 1 is fixed at the prior (or at its
    // current place without one), one between 0 and 1 is pulled towards the
    // prior. `flags` (one per node) may be null.
    void build(bool closed, unsigned nodes, const std::vector<unsigned>& kinds,
        const std::vector<pointf>& contour, const std::vector<pointf>* prior,
        const std::vector<float>* tractions, const std::vector<unsigned>* flags);
    // Rereads handle directions and length ratios from the current contour.
    void load(const std::vector<pointf>& contour);
    void add_sample(unsigned segment, double t, pointd target);
    // Solves for the parameters and writes the nodes and handles into the
    // contour; clears the gathered sums. Returns false, leaving the contour
    // unchanged, when the system is singular or its solution not finite.
    bool step(std::vector<pointf>& contour);

    unsigned parameter_count() const { return m_count; }

private:
    bool m_closed = true;
    unsigned m_nodes = 0;
    std::vector<term_ptr> m_terms;
    std::vector<unsigned> m_offsets;
    unsigned m_count = 0;
    std::vector<double> m_matrix;
    std::vector<double> m_rhs;
    std::vector<double> m_scratch;
};

} // namespace contours
