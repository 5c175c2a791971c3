#pragma once

#include "contours/point.h"

#include <memory>
#include <vector>

namespace contours {

// Side of a segment at which a node stands: the segment starts at the node
// (its out-handle acts) or ends at it (its in-handle acts).
enum class segment_side { start = 0, end = 1 };

// What a node term evaluates to: the node and both handle offsets.
struct term_value {
    pointd node;
    pointd in;
    pointd out;
};

// A prior that pulls a part's parameters towards a reference: present only
// when the traction w of the point lies strictly between 0 and 1, with
// kappa2 = (w / (1 - w))^2 and the weight 1 + kappa2.
struct term_prior {
    bool present = false;
    double kappa2 = 0.0;

    // The prior for traction w, absent unless 0 < w < 1.
    static term_prior from_traction(double w);
};

// One node of the parameterised least-squares step, or one part of it (the
// node's position, a handle, or both handles at once). Every part depends
// linearly on a few scalar parameters of its own; a node term lays its parts'
// parameters end to end. The defaults describe a part without parameters that
// contributes nothing.
class bezier_fit_term {
public:
    virtual ~bezier_fit_term() = default;

    virtual unsigned parameter_count() const { return 0; }
    // Removes the contribution of the parameterless parts from a sample's
    // target at parameter t of a segment at whose `side` this node stands.
    virtual void subtract_known(segment_side side, double t, pointd& target) const;
    // The derivatives of the sample point's coordinate (0 x, 1 y) with
    // respect to each parameter, written to coefficients[0 .. count).
    virtual void basis(int coordinate, segment_side side, double t, double* coefficients) const;
    // For each parameter with a prior: rhs += target * diagonal, then
    // diagonal *= 1 + kappa2.
    virtual void apply_prior(double* diagonal, double* rhs) const;
    virtual void evaluate(const double* parameters, term_value& value) const;
    // Rereads directions and length ratios from the current contour.
    virtual void load(const std::vector<pointf>& contour);
};

using term_ptr = std::shared_ptr<bezier_fit_term>;

// Parts. Handle parts are written as out-handles; `mirrored_pair` turns the
// first of its parts into an in-handle.
term_ptr make_constant_point(pointd p);
term_ptr make_free_point(pointd prior_point, term_prior prior);
term_ptr make_zero_handle();
term_ptr make_constant_handle(pointd offset);
term_ptr make_free_handle(pointd prior_offset, term_prior prior);
// A handle along the current direction of contour[handle] - contour[node]
// with a free length.
term_ptr make_directed_handle(std::size_t node, std::size_t handle, pointd prior_offset, term_prior prior);
// Both handles from one vector U: in = a U, out = b U. With `symmetric`,
// (a, b) = (-1, 1); otherwise they follow the current length ratio.
term_ptr make_shared_free_pair(std::size_t in, std::size_t node, std::size_t out, bool symmetric,
    pointd prior_in, pointd prior_out, term_prior prior);
// Both handles from one length along the current handle direction.
term_ptr make_shared_directed_pair(std::size_t in, std::size_t node, std::size_t out, bool symmetric,
    pointd prior_in, pointd prior_out, term_prior prior);
term_ptr make_handleless();

// Composites: the second part takes the parameters after the first's.
term_ptr make_pair(term_ptr first, term_ptr second);
// As make_pair, but the first part is evaluated from the other end of the
// segment (opposite side, 1 - t), which makes an out-handle formula serve as
// the in-handle.
term_ptr make_mirrored_pair(term_ptr in_part, term_ptr out_part);

} // namespace contours
