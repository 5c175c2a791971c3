#include "contours/bezier_fit_term.h"

#include <gtest/gtest.h>

using namespace contours;

namespace {

// A node term of a free point and two free handles: parameters node x, y,
// in x, y, out x, y.
term_ptr free_node()
{
    return make_pair(
        make_free_point({}, {}), make_mirrored_pair(make_free_handle({}, {}), make_free_handle({}, {})));
}

} // namespace

TEST(BezierFitTerm, AtTheStartOfASegmentOnlyThePositionCounts)
{
    const term_ptr term = free_node();
    ASSERT_EQ(term->parameter_count(), 6u);
    double c[6];
    term->basis(0, segment_side::start, 0.0, c);
    EXPECT_EQ(std::vector<double>(c, c + 6), (std::vector<double> { 1, 0, 0, 0, 0, 0 }));
    term->basis(1, segment_side::end, 1.0, c);
    EXPECT_EQ(std::vector<double>(c, c + 6), (std::vector<double> { 0, 1, 0, 0, 0, 0 }));
}

TEST(BezierFitTerm, HandlesActOnTheirOwnSideWithTheCubicWeights)
{
    const term_ptr term = free_node();
    double c[6];
    // Start side at t: the out-handle weighs 3 t (1 - t)^2, the in-handle 0.
    term->basis(0, segment_side::start, 0.25, c);
    EXPECT_DOUBLE_EQ(c[0], (1 + 2 * 0.25) * 0.75 * 0.75);
    EXPECT_DOUBLE_EQ(c[2], 0.0);
    EXPECT_DOUBLE_EQ(c[4], 3 * 0.25 * 0.75 * 0.75);
    // End side: the in-handle weighs 3 t^2 (1 - t), the out-handle 0.
    term->basis(0, segment_side::end, 0.25, c);
    EXPECT_DOUBLE_EQ(c[0], (3 - 2 * 0.25) * 0.25 * 0.25);
    EXPECT_DOUBLE_EQ(c[2], 3 * 0.25 * 0.25 * 0.75);
    EXPECT_DOUBLE_EQ(c[4], 0.0);
}

TEST(BezierFitTerm, ConstantPartsSubtractTheirShareFromTheTarget)
{
    const term_ptr term = make_pair(make_constant_point({ 2.0, 4.0 }),
        make_mirrored_pair(make_zero_handle(), make_constant_handle({ 8.0, 0.0 })));
    EXPECT_EQ(term->parameter_count(), 0u);
    pointd target(0.0, 0.0);
    term->subtract_known(segment_side::start, 0.5, target);
    EXPECT_DOUBLE_EQ(target.x, -(0.5 * 2.0 + 0.375 * 8.0));
    EXPECT_DOUBLE_EQ(target.y, -0.5 * 4.0);
    // An out-handle constant on the end side subtracts nothing.
    pointd end(0.0, 0.0);
    make_constant_handle({ 8.0, 0.0 })->subtract_known(segment_side::end, 0.5, end);
    EXPECT_EQ(end, pointd(0.0, 0.0));
    term_value value;
    term->evaluate(nullptr, value);
    EXPECT_EQ(value.node, pointd(2.0, 4.0));
    EXPECT_EQ(value.in, pointd(0.0, 0.0));
    EXPECT_EQ(value.out, pointd(8.0, 0.0));
}

TEST(BezierFitTerm, TractionOneHalfDoublesTheWeightAndPullsToThePrior)
{
    const term_prior prior = term_prior::from_traction(0.5);
    EXPECT_TRUE(prior.present);
    EXPECT_DOUBLE_EQ(prior.kappa2, 1.0);
    EXPECT_FALSE(term_prior::from_traction(0.0).present);
    EXPECT_FALSE(term_prior::from_traction(1.0).present);

    const term_ptr point = make_free_point({ 3.0, 5.0 }, prior);
    double diagonal[2] = { 4.0, 0.0 };
    double rhs[2] = { 1.0, 1.0 };
    point->apply_prior(diagonal, rhs);
    EXPECT_DOUBLE_EQ(diagonal[0], 8.0);
    EXPECT_DOUBLE_EQ(rhs[0], 1.0 + 3.0 * 4.0);
    // A parameter that no sample touched is not pulled.
    EXPECT_DOUBLE_EQ(diagonal[1], 0.0);
    EXPECT_DOUBLE_EQ(rhs[1], 1.0);
}

TEST(BezierFitTerm, SharedPairsKeepTheHandlesOppositeInTheirRatio)
{
    // in-handle 1 long to the left, out-handle 3 long to the right.
    const std::vector<pointf> contour { { -1.0f, 0.0f }, { 0.0f, 0.0f }, { 3.0f, 0.0f } };
    const term_ptr pair = make_shared_free_pair(0, 1, 2, false, {}, {}, {});
    pair->load(contour);
    term_value value;
    const double u[2] = { 0.0, 2.0 };
    pair->evaluate(u, value);
    EXPECT_DOUBLE_EQ(value.in.y, -1.0);
    EXPECT_DOUBLE_EQ(value.out.y, 3.0);

    const term_ptr directed = make_shared_directed_pair(0, 1, 2, true, {}, {}, {});
    directed->load(contour);
    const double length = 2.0;
    directed->evaluate(&length, value);
    EXPECT_EQ(value.in, pointd(-2.0, 0.0));
    EXPECT_EQ(value.out, pointd(2.0, 0.0));
    double c[1];
    directed->basis(0, segment_side::end, 0.5, c);
    EXPECT_DOUBLE_EQ(c[0], -1.0 * 3 * 0.25 * 0.5);
}

TEST(BezierFitTerm, DirectedHandleFollowsTheCurrentDirection)
{
    std::vector<pointf> contour { { 1.0f, 1.0f }, { 1.0f, 4.0f } };
    const term_ptr handle = make_directed_handle(0, 1, { 0.0, 2.0 }, term_prior::from_traction(0.5));
    handle->load(contour);
    const double length = 5.0;
    term_value value;
    handle->evaluate(&length, value);
    EXPECT_EQ(value.out, pointd(0.0, 5.0));
    double diagonal = 2.0, rhs = 0.0;
    handle->apply_prior(&diagonal, &rhs);
    EXPECT_DOUBLE_EQ(rhs, 2.0 * 2.0);
    EXPECT_DOUBLE_EQ(diagonal, 4.0);
}
