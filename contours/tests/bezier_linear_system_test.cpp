#include "contours/bezier_linear_system.h"

#include "contours/fit_geometry.h"

#include <gtest/gtest.h>

#include <random>

using namespace contours;

namespace {

// A closed contour of four nodes whose segments show every segment-shape
// case: handles on the chord, parallel handles pointing the same way and
// opposite ways, a zero-length handle and a general pair.
const std::vector<pointf> shapes {
    { 0.0f, 0.0f },
    { 3.0f, 0.0f },
    { 7.0f, 0.0f }, // straight: handles on the chord
    { 10.0f, 0.0f },
    { 12.0f, 1.0f },
    { 12.0f, 9.0f }, // parallel, the same way
    { 10.0f, 8.0f },
    { 10.0f, 8.0f },
    { 4.0f, 11.0f }, // zero-length out-handle
    { 0.0f, 10.0f },
    { -2.0f, 7.0f },
    { -1.0f, 2.0f }, // general
    { 0.0f, 0.0f },
};

// A smooth closed contour: opposite handles of unequal lengths at every node.
const std::vector<pointf> smooth_shape {
    { 10.0f, 0.0f },
    { 13.0f, 0.0f },
    { 20.0f, 6.0f },
    { 20.0f, 10.0f },
    { 20.0f, 15.0f },
    { 15.0f, 20.0f },
    { 10.0f, 20.0f },
    { 8.0f, 20.0f },
    { 0.0f, 14.0f },
    { 0.0f, 10.0f },
    { 0.0f, 7.0f },
    { 6.0f, 0.0f },
    { 10.0f, 0.0f },
};

pointd unknown_value(const std::vector<pointf>& contour, unsigned j)
{
    const unsigned node = 3 * ((j + 1) / 3) % (static_cast<unsigned>(contour.size()) - 1);
    if (j % 3 == 0)
        return pointd(contour[j]);
    return pointd(contour[j]) - pointd(contour[j % 3 == 1 ? j - 1 : node]);
}

void expect_rows_hold(const linear_constraints& constraints, const std::vector<pointf>& contour)
{
    for (std::size_t r = 0; r < constraints.rows().size(); ++r) {
        const auto& row = constraints.rows()[r];
        pointd sum;
        for (unsigned j = 0; j < constraints.unknowns(); ++j)
            sum += unknown_value(contour, j) * row.coefficients[j];
        EXPECT_NEAR(sum.x, row.value.x, 1e-4) << "row " << r;
        EXPECT_NEAR(sum.y, row.value.y, 1e-4) << "row " << r;
    }
}

} // namespace

TEST(BezierLinearSystem, SegmentShapeAndSmoothConstraintsHoldAtTheContourTheyCameFrom)
{
    const std::vector<float> free(shapes.size(), 0.0f);
    const bezier_linear_system corners(true, 4, std::vector<unsigned>(4, corner), shapes, true, shapes, free);
    EXPECT_EQ(corners.constraint_count(), 5u);
    expect_rows_hold(corners.constraints(), shapes);
    for (unsigned kind : { smooth, smooth_separate, corner }) {
        const bezier_linear_system system(
            true, 4, std::vector<unsigned>(4, kind), smooth_shape, true, smooth_shape, free);
        expect_rows_hold(system.constraints(), smooth_shape);
    }
}

TEST(BezierLinearSystem, FixedPointsAreFixedOnceAndRedundantRowsSkipped)
{
    std::vector<float> tractions(shapes.size(), 1.0f);
    const std::vector<unsigned> kinds(4, corner);
    const bezier_linear_system system(true, 4, kinds, shapes, true, shapes, tractions);
    // Every unknown fixed by its own row; no segment row on top.
    EXPECT_EQ(system.constraint_count(), system.unknowns());
}

TEST(BezierLinearSystem, SymmetricNodeTiesOppositeHandlesWhateverTheirLengths)
{
    const std::vector<float> free(shapes.size(), 0.0f);
    const std::vector<unsigned> kinds { symmetric, corner, corner, corner };
    const bezier_linear_system system(true, 4, kinds, shapes, false, shapes, free);
    ASSERT_EQ(system.constraint_count(), 1u);
    const auto& row = system.constraints().rows()[0].coefficients;
    EXPECT_DOUBLE_EQ(row[11], 1.0); // in-handle of node 0
    EXPECT_DOUBLE_EQ(row[1], 1.0); // out-handle of node 0
}

TEST(BezierLinearSystem, FitsTheSamplesOfAKnownContourExactly)
{
    const std::vector<float> free(shapes.size(), 0.0f);
    const std::vector<unsigned> kinds(4, corner);
    bezier_linear_system system(true, 4, kinds, shapes, false, shapes, free);
    for (unsigned k = 0; k < 4; ++k)
        for (int i = 0; i < 16; ++i) {
            const double t = i / 16.0;
            const std::size_t s = 3 * k;
            system.add_sample(k, t,
                bezier_point(pointd(shapes[s]), pointd(shapes[s + 1]), pointd(shapes[s + 2]),
                    pointd(shapes[s + 3]), t));
        }
    std::vector<pointf> contour(shapes.size(), pointf(5.0f, 5.0f));
    ASSERT_TRUE(system.solve(contour, nullptr, nullptr));
    for (std::size_t i = 0; i < shapes.size(); ++i) {
        EXPECT_NEAR(contour[i].x, shapes[i].x, 1e-4) << i;
        EXPECT_NEAR(contour[i].y, shapes[i].y, 1e-4) << i;
    }
}

TEST(BezierLinearSystem, TractionPullsOnlyWhereSamplesGaveWeight)
{
    const std::vector<float> free(shapes.size(), 0.0f);
    const std::vector<unsigned> kinds(4, corner);
    bezier_linear_system system(true, 4, kinds, shapes, false, shapes, free);
    system.add_traction(0, { 9.0, 9.0 }, 0.5);
    std::vector<pointf> contour = shapes;
    // Nothing sampled: the matrix stays zero, the solve fails and leaves the
    // contour as it was.
    EXPECT_FALSE(system.solve(contour, nullptr, nullptr));
    EXPECT_EQ(contour, shapes);
}

TEST(BezierLinearSystem, SingleNodeContourClosesOnItself)
{
    const std::vector<pointf> loop { { 0.0f, 0.0f }, { 10.0f, 0.0f }, { 10.0f, 10.0f }, { 0.0f, 0.0f } };
    const std::vector<float> free(loop.size(), 0.0f);
    bezier_linear_system system(true, 1, { corner }, loop, false, loop, free);
    EXPECT_EQ(system.unknowns(), 3u);
    for (int i = 0; i <= 16; ++i) {
        const double t = i / 16.0;
        system.add_sample(
            0, t, bezier_point(pointd(loop[0]), pointd(loop[1]), pointd(loop[2]), pointd(loop[3]), t));
    }
    std::vector<pointf> contour { { 1.0f, 1.0f }, { 2.0f, 2.0f }, { 3.0f, 3.0f }, { 1.0f, 1.0f } };
    ASSERT_TRUE(system.solve(contour, nullptr, nullptr));
    EXPECT_NEAR(contour[1].x, 10.0f, 1e-4);
    EXPECT_NEAR(contour[2].y, 10.0f, 1e-4);
    EXPECT_EQ(contour.front(), contour.back());
}

namespace {

// Samples every segment of the contour at 16 parameters with targets on
// the contour itself.
void sample_on_contour(bezier_linear_system& system, const std::vector<pointf>& contour, unsigned segments)
{
    for (unsigned k = 0; k < segments; ++k)
        for (int i = 0; i <= 16; ++i) {
            const double t = i / 16.0;
            const std::size_t s = 3 * k;
            system.add_sample(k, t,
                bezier_point(pointd(contour[s]), pointd(contour[s + 1]), pointd(contour[s + 2]),
                    pointd(contour[s + 3]), t));
        }
}

void expect_contour_near(const std::vector<pointf>& contour, const std::vector<pointf>& expected)
{
    ASSERT_EQ(contour.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_NEAR(contour[i].x, expected[i].x, 1e-3) << i;
        EXPECT_NEAR(contour[i].y, expected[i].y, 1e-3) << i;
    }
}

} // namespace

TEST(BezierLinearSystem, DependentRowsOfASmoothNodeWithItsInHandleOnTheNodeStillSolve)
{
    // Node 1's in-handle lies on the node: the smooth tie holds it there and
    // the segment shape fixes it there again.
    std::vector<pointf> contour = smooth_shape;
    contour[2] = contour[3];
    const std::vector<float> free(contour.size(), 0.0f);
    bezier_linear_system system(true, 4, std::vector<unsigned>(4, smooth), contour, true, contour, free);
    ASSERT_GT(system.constraint_count(), system.constraint_rank());
    sample_on_contour(system, contour, 4);
    std::vector<pointf> solved = contour;
    ASSERT_TRUE(system.solve(solved, nullptr, nullptr));
    expect_contour_near(solved, contour);
}

TEST(BezierLinearSystem, DependentRowsOfThreeHeldCollinearNodesStillSolve)
{
    // An open contour of three held nodes on one line with straight
    // segments: the segment rows repeat what the held nodes imply.
    const std::vector<pointf> line { { 0.0f, 0.0f }, { 2.0f, 1.0f }, { 6.0f, 3.0f }, { 8.0f, 4.0f },
        { 12.0f, 6.0f }, { 14.0f, 7.0f }, { 16.0f, 8.0f } };
    std::vector<float> tractions(line.size(), 0.0f);
    for (std::size_t i = 0; i < line.size(); i += 3)
        tractions[i] = 1.0f;
    bezier_linear_system system(false, 3, std::vector<unsigned>(3, smooth), line, true, line, tractions);
    ASSERT_GT(system.constraint_count(), system.constraint_rank());
    sample_on_contour(system, line, 2);
    std::vector<pointf> solved = line;
    ASSERT_TRUE(system.solve(solved, nullptr, nullptr));
    expect_contour_near(solved, line);
}

TEST(BezierLinearSystem, ConstraintsTakenFromTheContourAlwaysSolveBackToIt)
{
    // Small integer coordinates make handles on nodes, handles on chords,
    // parallel handles and collinear nodes common.
    std::mt19937 random(23);
    for (int round = 0; round < 2000; ++round) {
        const unsigned nodes = random() % 4 + 2;
        const bool closed = random() % 2 == 0;
        const std::size_t points = closed ? 3 * nodes + 1 : 3 * nodes - 2;
        std::vector<pointf> contour(points);
        for (pointf& p : contour)
            p = pointf(float(random() % 5), float(random() % 5));
        if (closed)
            contour.back() = contour.front();
        // Node kinds whose ties the contour meets: smooth nodes get opposite
        // handles (one may have length 0), symmetric ones equal opposite
        // handles, handleless ones handles on the node.
        std::vector<unsigned> kinds(nodes);
        for (unsigned i = 0; i < nodes; ++i) {
            kinds[i] = random() % 5;
            const bool has_in = closed || i > 0;
            const bool has_out = closed || i + 1 < nodes;
            const std::size_t node = 3 * i;
            const std::size_t in = i == 0 ? points - 2 : node - 1;
            if (kinds[i] == handleless) {
                if (has_in)
                    contour[in] = contour[node];
                if (has_out)
                    contour[node + 1] = contour[node];
            }
            if (kinds[i] == corner || kinds[i] == handleless || !has_in || !has_out)
                continue;
            const pointf out = contour[node + 1] - contour[node];
            const float scale = kinds[i] == symmetric ? 1.0f : float(random() % 3);
            contour[in] = contour[node] - out * scale;
        }
        if (closed)
            contour.back() = contour.front();
        std::vector<float> tractions(points);
        for (float& t : tractions)
            t = random() % 3 == 0 ? 1.0f : 0.0f;
        bezier_linear_system system(closed, nodes, kinds, contour, true, contour, tractions);
        sample_on_contour(system, contour, closed ? nodes : nodes - 1);
        std::vector<pointf> solved = contour;
        SCOPED_TRACE(round);
        ASSERT_TRUE(system.solve(solved, nullptr, nullptr));
        expect_contour_near(solved, contour);
    }
}
