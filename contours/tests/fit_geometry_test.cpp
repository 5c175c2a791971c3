#include "contours/fit_geometry.h"
#include "contours/lu.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace contours;

TEST(FitGeometry, BezierPointMatchesTheNodeAndHandleBasisExactlyAtDyadicParameters)
{
    const pointd p0(1.0, 2.0), p1(4.0, 7.0), p2(9.0, -3.0), p3(12.0, 5.0);
    EXPECT_EQ(bezier_point(p0, p1, p2, p3, 0.0), p0);
    EXPECT_EQ(bezier_point(p0, p1, p2, p3, 1.0), p3);
    // de Casteljau at 1/2: ((p0 + 3 p1 + 3 p2 + p3) / 8).
    EXPECT_EQ(bezier_point(p0, p1, p2, p3, 0.5), (p0 + p1 * 3.0 + p2 * 3.0 + p3) / 8.0);
    for (double t : { 0.125, 0.25, 0.375, 0.75 }) {
        const bezier_basis b(t);
        const pointd hermite = p0 * b.h0 + (p1 - p0) * b.b1 + (p2 - p3) * b.b2 + p3 * b.h1;
        const pointd direct = bezier_point(p0, p1, p2, p3, t);
        EXPECT_NEAR(hermite.x, direct.x, 1e-12);
        EXPECT_NEAR(hermite.y, direct.y, 1e-12);
    }
    EXPECT_EQ(bezier_derivative(p0, p1, p2, p3, 0.0), (p1 - p0) * 3.0);
    EXPECT_EQ(bezier_derivative(p0, p1, p2, p3, 1.0), (p3 - p2) * 3.0);
}

TEST(FitGeometry, SmoothRatioKeepsHandleLengthsAndSides)
{
    const std::vector<pointf> points { { 1.0f, 0.0f }, { 0.0f, 0.0f }, { 0.0f, 0.0f }, { -3.0f, 0.0f } };
    const handle_ratio opposite = smooth_ratio(points, 0, 1, 3, true);
    EXPECT_DOUBLE_EQ(opposite.a, -0.5);
    EXPECT_DOUBLE_EQ(opposite.b, 1.5);
    const handle_ratio unsigned_ratio = smooth_ratio(points, 0, 1, 3, false);
    EXPECT_DOUBLE_EQ(unsigned_ratio.a, 0.5);
    const handle_ratio zero = smooth_ratio(points, 1, 1, 2, true);
    EXPECT_DOUBLE_EQ(zero.a, -1.0);
    EXPECT_DOUBLE_EQ(zero.b, 1.0);
}

TEST(FitGeometry, DecomposeAndNormalise)
{
    const decomposition d = decompose({ 7.0, 1.0 }, { 1.0, 1.0 }, { 2.0, -1.0 });
    EXPECT_DOUBLE_EQ(d.alpha * 1.0 + d.beta * 2.0, 7.0);
    EXPECT_DOUBLE_EQ(d.alpha * 1.0 - d.beta * 1.0, 1.0);
    EXPECT_EQ(normalise({ 0.0, 0.0 }), pointd(1.0, 0.0));
    EXPECT_EQ(normalise({ std::nan(""), 1.0 }), pointd(1.0, 0.0));
    EXPECT_EQ(normalise({ 0.0, -4.0 }), pointd(0.0, -1.0));
}

TEST(Lu, SolvesRandomSystemsAndInverts)
{
    std::mt19937 random(3);
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    for (std::size_t n : { 1u, 2u, 5u, 17u }) {
        std::vector<double> a(n * n);
        for (double& x : a)
            x = value(random);
        std::vector<double> x(n), b(n, 0.0);
        for (double& v : x)
            v = value(random);
        for (std::size_t i = 0; i < n; ++i)
            for (std::size_t j = 0; j < n; ++j)
                b[i] += a[i * n + j] * x[j];
        std::vector<double> lu = a;
        std::vector<std::size_t> pivots;
        ASSERT_TRUE(lu_decompose(lu, n, pivots));
        lu_solve(lu, n, pivots, b.data());
        for (std::size_t i = 0; i < n; ++i)
            EXPECT_NEAR(b[i], x[i], 1e-9);
        std::vector<double> inverse = a;
        ASSERT_TRUE(invert(inverse, n));
        for (std::size_t i = 0; i < n; ++i)
            for (std::size_t j = 0; j < n; ++j) {
                double sum = 0.0;
                for (std::size_t k = 0; k < n; ++k)
                    sum += a[i * n + k] * inverse[k * n + j];
                EXPECT_NEAR(sum, i == j ? 1.0 : 0.0, 1e-9);
            }
    }
}

TEST(Lu, ReportsSingularAndNonFiniteMatrices)
{
    std::vector<double> singular { 1.0, 2.0, 2.0, 4.0 };
    std::vector<std::size_t> pivots;
    EXPECT_FALSE(lu_decompose(singular, 2, pivots));
    std::vector<double> zero(9, 0.0);
    EXPECT_FALSE(lu_decompose(zero, 3, pivots));
    std::vector<double> nan { 1.0, std::nan(""), 0.0, 1.0 };
    EXPECT_FALSE(lu_decompose(nan, 2, pivots));
}
