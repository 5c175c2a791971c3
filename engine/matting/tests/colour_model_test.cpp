#include "engine/matting/colour_model.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

namespace {

using namespace trm::colour_model;
using colour = img::BGRA<unsigned char>;

// Foreground and background colours one ramp apart: D = F − B = (160, 0, −160).
constexpr colour foreground { 200, 50, 40, 255 };
constexpr colour background { 40, 50, 200, 0 };

window_sums sums_of(const std::vector<colour>& pixels)
{
    window_sums s;
    for (const colour& p : pixels) {
        const std::array<std::int64_t, 3> c { p.b, p.g, p.r };
        ++s.n;
        s.a += p.a;
        s.aa += p.a * p.a;
        for (int i = 0; i < 3; ++i) {
            s.c[i] += c[i];
            s.ac[i] += p.a * c[i];
        }
        s.cc[0] += c[0] * c[0];
        s.cc[1] += c[1] * c[0];
        s.cc[2] += c[2] * c[0];
        s.cc[3] += c[1] * c[1];
        s.cc[4] += c[2] * c[1];
        s.cc[5] += c[2] * c[2];
    }
    return s;
}

// Four foreground and four background pixels whose green varies by ±10
// about the pure colours.
window_sums split_window()
{
    std::vector<colour> pixels;
    for (int g : { 40, 60, 40, 60 }) {
        pixels.push_back({ foreground.b, static_cast<unsigned char>(g), foreground.r, 255 });
        pixels.push_back({ background.b, static_cast<unsigned char>(g), background.r, 0 });
    }
    return sums_of(pixels);
}

TEST(ColourModel, FitRecoversBothColoursAndTheConditionNumber)
{
    std::vector<colour> pixels(4, foreground);
    pixels.insert(pixels.end(), 5, background);
    two_colour_fit fit;
    ASSERT_TRUE(fit_two_colours(sums_of(pixels), 5.0f, fit));
    EXPECT_NEAR(fit.foreground[0], 200.0, 1e-9);
    EXPECT_NEAR(fit.foreground[1], 50.0, 1e-9);
    EXPECT_NEAR(fit.foreground[2], 40.0, 1e-9);
    EXPECT_NEAR(fit.background[0], 40.0, 1e-9);
    EXPECT_NEAR(fit.background[2], 200.0, 1e-9);
    EXPECT_NEAR(fit.kappa, 1.25, 1e-12);
    // The same window with a limit below its condition number: no fit.
    EXPECT_FALSE(fit_two_colours(sums_of(pixels), 1.2f, fit));
}

TEST(ColourModel, UniformAlphaHasNoFit)
{
    two_colour_fit fit;
    EXPECT_FALSE(fit_two_colours(sums_of(std::vector<colour>(9, foreground)), 100.0f, fit));
    EXPECT_FALSE(fit_two_colours(sums_of(std::vector<colour>(9, background)), 100.0f, fit));
    EXPECT_FALSE(fit_two_colours(window_sums {}, 100.0f, fit));
}

TEST(ColourModel, PlanesGiveARampThatNarrowsToAStepAsKappaReachesTheLimit)
{
    // x = B + t D: p = −t|D|, q = (1 − t)|D|.
    EXPECT_EQ(alpha_from_planes(-0.3, 0.7, 1.0, 5.0f), 77); // trunc(255 x 0.3 + 0.5)
    EXPECT_EQ(alpha_from_planes(-0.0, 1.0, 1.0, 5.0f), 0);
    EXPECT_EQ(alpha_from_planes(-1.0, 0.0, 1.0, 5.0f), 255);
    // κ = c: m = 0.5, a step at t = 0.5.
    EXPECT_EQ(alpha_from_planes(-0.49, 0.51, 5.0, 5.0f), 0);
    EXPECT_EQ(alpha_from_planes(-0.5, 0.5, 5.0, 5.0f), 0);
    EXPECT_EQ(alpha_from_planes(-0.51, 0.49, 5.0, 5.0f), 255);
    // κ = 3 of 5: m = 0.25, the ramp runs from t = 0.25 to 0.75.
    EXPECT_EQ(alpha_from_planes(-0.25, 0.75, 3.0, 5.0f), 0);
    EXPECT_EQ(alpha_from_planes(-0.5, 0.5, 3.0, 5.0f), 128);
    EXPECT_EQ(alpha_from_planes(-0.75, 0.25, 3.0, 5.0f), 255);
}

TEST(ColourModel, ColoursOutsideTheSlabTakeTheNearerSideAndTheMiddlePlaneGets127)
{
    EXPECT_EQ(alpha_from_planes(1.2, 0.2, 1.0, 5.0f), 255); // beyond F
    EXPECT_EQ(alpha_from_planes(-0.2, -1.2, 1.0, 5.0f), 0); // beyond B
    EXPECT_EQ(alpha_from_planes(0.4, 0.4, 1.0, 5.0f), 127);
    EXPECT_EQ(alpha_from_planes(0.0, 0.0, 1.0, 5.0f), -1);
    EXPECT_EQ(alpha_from_planes(std::nan(""), 0.5, 1.0, 5.0f), -1);
}

TEST(ColourModel, BothMethodsPlaceAColourOnTheLineFromBToF)
{
    const window_sums s = split_window();
    two_colour_fit fit;
    ASSERT_TRUE(fit_two_colours(s, 5.0f, fit));
    ASSERT_NEAR(fit.kappa, 1.0, 1e-12);
    const colour quarter { 80, 50, 160, 0 }; // B + D / 4
    EXPECT_EQ(alpha_spheres(quarter, fit, 5.0f), 64);
    EXPECT_EQ(alpha_ellipses(quarter, fit, s, 5.0f), 64);
    const colour beyond_background { 8, 50, 232, 0 }; // B − D / 5
    EXPECT_EQ(alpha_spheres(beyond_background, fit, 5.0f), 0);
    EXPECT_EQ(alpha_ellipses(beyond_background, fit, s, 5.0f), 0);
    const colour beyond_foreground { 232, 50, 8, 0 }; // F + D / 5
    EXPECT_EQ(alpha_spheres(beyond_foreground, fit, 5.0f), 255);
    EXPECT_EQ(alpha_ellipses(beyond_foreground, fit, s, 5.0f), 255);
}

TEST(ColourModel, SimpleMethodGives127OnTheMiddlePlaneFarFromTheLine)
{
    // x = (F + B) / 2 + 150 green: the principal direction is green itself,
    // across D, so both planes are equally far.
    two_colour_fit fit;
    fit.foreground = { 200.0, 50.0, 40.0 };
    fit.background = { 40.0, 50.0, 200.0 };
    fit.kappa = 1.0;
    EXPECT_EQ(alpha_spheres(colour { 120, 200, 120, 0 }, fit, 5.0f), 127);
}

TEST(ColourModel, ColourEqualToBothFittedColoursKeepsItsAlpha)
{
    two_colour_fit fit;
    fit.foreground = { 10.0, 20.0, 30.0 };
    fit.background = { 10.0, 20.0, 30.0 };
    EXPECT_EQ(alpha_spheres(colour { 10, 20, 30, 0 }, fit, 5.0f), -1);
    EXPECT_EQ(alpha_ellipses(colour { 10, 20, 30, 0 }, fit, split_window(), 5.0f), -1);
}

TEST(ColourModel, ComplexMethodSkipsAWindowWithoutResidualScatter)
{
    // Exact pure colours: the mix explains every pixel, the scatter is 0.
    std::vector<colour> pixels(4, foreground);
    pixels.insert(pixels.end(), 4, background);
    const window_sums s = sums_of(pixels);
    two_colour_fit fit;
    ASSERT_TRUE(fit_two_colours(s, 5.0f, fit));
    EXPECT_EQ(alpha_ellipses(colour { 80, 50, 160, 0 }, fit, s, 5.0f), -1);
}

TEST(ColourModel, PrincipalDirectionMatchesPowerIterationAndRefusesADoubleLargestRoot)
{
    const std::array<std::array<float, 3>, 3> a { { { 4.0f, 1.0f, 0.5f }, { 1.0f, 3.0f, 0.2f },
        { 0.5f, 0.2f, 1.0f } } };
    std::array<float, 3> n {};
    ASSERT_TRUE(principal_direction(a, n));
    std::array<double, 3> v { 1.0, 1.0, 1.0 };
    for (int k = 0; k < 200; ++k) {
        std::array<double, 3> next {};
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                next[i] += a[i][j] * v[j];
        const double length = std::sqrt(next[0] * next[0] + next[1] * next[1] + next[2] * next[2]);
        for (int i = 0; i < 3; ++i)
            v[i] = next[i] / length;
    }
    const double alignment = std::fabs(n[0] * v[0] + n[1] * v[1] + n[2] * v[2]);
    EXPECT_NEAR(alignment, 1.0, 1e-5);

    const std::array<std::array<float, 3>, 3> diagonal { { { 1.0f, 0.0f, 0.0f }, { 0.0f, 5.0f, 0.0f },
        { 0.0f, 0.0f, 2.0f } } };
    ASSERT_TRUE(principal_direction(diagonal, n));
    EXPECT_NEAR(std::fabs(n[1]), 1.0f, 1e-6f);

    const std::array<std::array<float, 3>, 3> double_root { { { 3.0f, 0.0f, 0.0f }, { 0.0f, 3.0f, 0.0f },
        { 0.0f, 0.0f, 1.0f } } };
    EXPECT_FALSE(principal_direction(double_root, n));
    EXPECT_FALSE(principal_direction({}, n));
}

} // namespace
