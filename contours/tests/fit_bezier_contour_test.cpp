#include "contours/fit_bezier_contour.h"

#include "contours/bezier_linear_system.h"
#include "contours/crack_outline.h"
#include "contours/tests/mask_helpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <stdexcept>

using namespace contours;
using namespace contours::testing;

namespace {

constexpr double kappa = 0.5522847498; // handle length of a quarter circle

// A closed four-node circle-like contour around (cx, cy), running the way
// traced outlines run (up the right side), so that its normals select the
// outline's steps.
std::vector<pointf> circle_contour(double cx, double cy, double r)
{
    const double h = kappa * r;
    auto p = [](double x, double y) { return pointf(float(x), float(y)); };
    return { p(cx + r, cy), p(cx + r, cy - h), p(cx + h, cy - r), p(cx, cy - r), p(cx - h, cy - r),
        p(cx - r, cy - h), p(cx - r, cy), p(cx - r, cy + h), p(cx - h, cy + r), p(cx, cy + r),
        p(cx + h, cy + r), p(cx + r, cy + h), p(cx + r, cy) };
}

crack_outline outline_of(const img::image<img::bit>& mask)
{
    crack_outline outline;
    longest_outline(mask, outline);
    return outline;
}

// The mean distance from the final samples to their outline targets.
double mean_residual(const outline_edge_index& index, const std::vector<pointf>& contour)
{
    std::vector<pointf> targets, samples;
    bezier_fit_settings none;
    std::vector<pointf> copy = contour;
    fit_bezier_contour(index, {}, none, copy, nullptr, nullptr, nullptr, &targets, &samples);
    double sum = 0.0;
    for (std::size_t i = 0; i < targets.size(); ++i)
        sum += std::hypot(targets[i].x - samples[i].x, targets[i].y - samples[i].y);
    return sum / double(targets.size());
}

const auto disc = ellipse_mask(120, 100, 60.0, 50.0, 30.0, 30.0);

} // namespace

TEST(FitBezierContour, RefitMovesAShiftedCircleOntoTheOutline)
{
    const outline_edge_index index(outline_of(disc));
    std::vector<pointf> contour = circle_contour(57.0, 52.0, 27.0);
    const double before = mean_residual(index, contour);
    bezier_fit_settings settings;
    settings.iterations = 50;
    settings.mode = 2;
    settings.model = 3;
    settings.preserve_segments = true;
    const std::vector<pointf> reference = contour;
    const std::vector<float> tractions(contour.size(), 0.2f);
    fit_bezier_contour(index, std::vector<unsigned>(4, smooth), settings, contour, &reference, &tractions,
        nullptr, nullptr, nullptr);
    const double after = mean_residual(index, contour);
    EXPECT_GT(before, 2.0);
    EXPECT_LT(after, 0.5);
    EXPECT_NEAR(contour[0].x, 90.0f, 1.0f);
    EXPECT_NEAR(contour[6].x, 30.0f, 1.0f);
    EXPECT_EQ(contour.front(), contour.back());
}

TEST(FitBezierContour, RelaxationMovesASmoothNodeWhoseInHandleLiesOnIt)
{
    // The smooth tie and the segment shape both hold node 1's in-handle on
    // the node: two rows saying one thing.
    const outline_edge_index index(outline_of(disc));
    std::vector<pointf> contour = circle_contour(58.0, 51.0, 28.0);
    contour[2] = contour[3];
    const double before = mean_residual(index, contour);
    bezier_fit_settings settings;
    settings.iterations = 20;
    settings.mode = 1;
    settings.preserve_segments = true;
    const std::vector<pointf> reference = contour;
    const std::vector<float> tractions(contour.size(), 0.2f);
    fit_bezier_contour(index, std::vector<unsigned>(4, smooth), settings, contour, &reference, &tractions,
        nullptr, nullptr, nullptr);
    const double after = mean_residual(index, contour);
    EXPECT_LT(after, before / 2.0);
    EXPECT_EQ(contour[2], contour[3]);
}

TEST(FitBezierContour, RelaxationWithSeparateSmoothNodesFitsACircle)
{
    const outline_edge_index index(outline_of(disc));
    std::vector<pointf> contour = circle_contour(60.0, 50.0, 26.0);
    const double before = mean_residual(index, contour);
    bezier_fit_settings settings;
    settings.iterations = 40;
    settings.mode = 1;
    fit_bezier_contour(index, std::vector<unsigned>(4, smooth_separate), settings, contour, nullptr, nullptr,
        nullptr, nullptr, nullptr);
    EXPECT_GT(before, 1.0);
    EXPECT_LT(mean_residual(index, contour), 0.5);
}

TEST(FitBezierContour, HandlelessNodesKeepTheirHandlesOnTheNode)
{
    const outline_edge_index index(outline_of(disc));
    std::vector<pointf> contour = circle_contour(60.0, 50.0, 26.0);
    bezier_fit_settings settings;
    settings.iterations = 10;
    settings.mode = 1;
    fit_bezier_contour(index, std::vector<unsigned>(4, handleless), settings, contour, nullptr, nullptr,
        nullptr, nullptr, nullptr);
    for (std::size_t i = 0; i + 1 < contour.size(); i += 3) {
        EXPECT_EQ(contour[i + 1], contour[i]);
        EXPECT_EQ(contour[i == 0 ? contour.size() - 2 : i - 1], contour[i]);
    }
}

TEST(FitBezierContour, FullyFixedContourAndZeroIterationsLeaveItUnchanged)
{
    const outline_edge_index index(outline_of(disc));
    const std::vector<pointf> start = circle_contour(57.0, 52.0, 27.0);
    bezier_fit_settings settings;
    settings.iterations = 20;
    settings.mode = 2;
    settings.model = 3;
    std::vector<pointf> contour = start;
    const std::vector<float> fixed(start.size(), 1.0f);
    fit_bezier_contour(index, std::vector<unsigned>(4, smooth), settings, contour, &start, &fixed, nullptr,
        nullptr, nullptr);
    EXPECT_EQ(contour, start);

    settings.iterations = 0;
    std::vector<pointf> targets { { 1.0f, 1.0f } }, samples;
    fit_bezier_contour(index, std::vector<unsigned>(4, smooth), settings, contour, nullptr, nullptr, nullptr,
        &targets, &samples);
    EXPECT_EQ(contour, start);
    EXPECT_GE(targets.size(), 16u);
    EXPECT_EQ(targets.size(), samples.size());
}

TEST(FitBezierContour, OpenContourKeepsTheNodesAfterItsLastAnchor)
{
    const outline_edge_index index(outline_of(disc));
    // Open, four nodes up the disc's right side; node 1 fully fixed.
    std::vector<pointf> contour { { 84, 70 }, { 86, 66 }, { 87, 63 }, { 88, 60 }, { 88, 55 }, { 88, 50 },
        { 88, 45 }, { 88, 40 }, { 87, 35 }, { 85, 30 } };
    const std::vector<pointf> start = contour;
    std::vector<float> tractions(contour.size(), 0.0f);
    tractions[2] = tractions[3] = tractions[4] = 1.0f;
    bezier_fit_settings settings;
    settings.iterations = 10;
    settings.mode = 1;
    fit_bezier_contour(index, std::vector<unsigned>(4, corner), settings, contour, &start, &tractions,
        nullptr, nullptr, nullptr);
    for (std::size_t i = 3; i < contour.size(); ++i)
        EXPECT_EQ(contour[i], start[i]) << i;
    EXPECT_NE(contour[0], start[0]);
}

TEST(FitBezierContour, DegenerateContoursNeverTurnNonFinite)
{
    const outline_edge_index index(outline_of(disc));
    bezier_fit_settings settings;
    settings.iterations = 5;
    settings.mode = 2;
    for (unsigned model = 0; model < 4; ++model) {
        settings.model = model;
        settings.preserve_segments = true;
        std::vector<pointf> contour(13, pointf(40.0f, 40.0f));
        const std::vector<pointf> prior = contour;
        const std::vector<float> tractions(contour.size(), 0.5f);
        fit_bezier_contour(index, std::vector<unsigned>(4, smooth), settings, contour, &prior, &tractions,
            nullptr, nullptr, nullptr);
        EXPECT_TRUE(all_finite(contour)) << "model " << model;
    }
}

TEST(FitBezierContour, MalformedContoursAreRefused)
{
    const outline_edge_index index(outline_of(disc));
    bezier_fit_settings settings;
    settings.iterations = 5;
    std::vector<pointf> contour = circle_contour(60.0, 50.0, 26.0);
    contour[4].x = std::numeric_limits<float>::infinity();
    const std::vector<pointf> broken = contour;
    EXPECT_THROW(
        fit_bezier_contour(index, {}, settings, contour, nullptr, nullptr, nullptr, nullptr, nullptr),
        std::runtime_error);
    EXPECT_EQ(contour, broken);
    std::vector<pointf> short_contour(5, pointf(1.0f, 1.0f));
    EXPECT_THROW(
        fit_bezier_contour(index, {}, settings, short_contour, nullptr, nullptr, nullptr, nullptr, nullptr),
        std::runtime_error);
    std::vector<pointf> good = circle_contour(60.0, 50.0, 26.0);
    const std::vector<float> wrong_size(3, 0.0f);
    EXPECT_THROW(fit_bezier_contour(index, {}, settings, good, &good, &wrong_size, nullptr, nullptr, nullptr),
        std::runtime_error);
}

TEST(FitBezierContour, TractionsAboveOneHoldNodesInThePrealignment)
{
    const outline_edge_index index(outline_of(disc));
    std::vector<pointf> contour = circle_contour(57.0, 52.0, 27.0);
    const std::vector<pointf> prior = contour;
    std::vector<float> tractions(contour.size(), 0.0f);
    tractions[0] = tractions[12] = 1.5f;
    bezier_fit_settings settings;
    settings.iterations = 10;
    settings.mode = 0;
    settings.model = 0;
    fit_bezier_contour(index, std::vector<unsigned>(4, corner), settings, contour, &prior, &tractions,
        nullptr, nullptr, nullptr);
    EXPECT_EQ(contour[0], prior[0]);
    EXPECT_NE(contour[6], prior[6]);
}

TEST(FitBezierContour, FreeHandlesBetweenFixedNodesAreFittedAcrossTheClosingPoint)
{
    const outline_edge_index index(outline_of(disc));
    std::vector<pointf> contour = circle_contour(60.0, 50.0, 30.0);
    for (std::size_t i = 0; i < contour.size(); ++i)
        if (i % 3 != 0)
            contour[i] = contour[i] * 0.9 + pointf(6.0f, 5.0f);
    const std::vector<pointf> prior = contour;
    std::vector<float> tractions(contour.size(), 0.0f);
    for (std::size_t i = 0; i < contour.size(); i += 3)
        tractions[i] = 1.0f;
    bezier_fit_settings settings;
    settings.iterations = 10;
    settings.mode = 1;
    fit_bezier_contour(index, std::vector<unsigned>(4, corner), settings, contour, &prior, &tractions,
        nullptr, nullptr, nullptr);
    for (std::size_t i = 0; i < contour.size(); ++i) {
        if (i % 3 == 0)
            EXPECT_EQ(contour[i], prior[i]) << i;
        else
            EXPECT_NE(contour[i], prior[i]) << i;
    }
    EXPECT_LT(mean_residual(index, contour), 0.5);
}

TEST(FitBezierContour, SamplingOfHugeContoursStopsAtTheSmallestInterval)
{
    const outline_edge_index index(outline_of(disc));
    std::vector<pointf> contour = circle_contour(0.0, 0.0, 1e9);
    bezier_fit_settings settings;
    std::vector<pointf> targets, samples;
    fit_bezier_contour(index, {}, settings, contour, nullptr, nullptr, nullptr, &targets, &samples);
    EXPECT_EQ(samples.size(), 4u * 65536u);
}

TEST(FitBezierContour, RandomKindsFlagsAndTractionsKeepContoursFiniteAndFixedPointsInPlace)
{
    const outline_edge_index index(outline_of(disc));
    std::mt19937 rng(49);
    std::uniform_real_distribution<double> jitter(-6.0, 6.0);
    const float traction_choices[] = { -1.0f, 0.0f, 0.3f, 0.9f, 1.0f, 2.0f };
    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE(round);
        // A wobbly closed contour of 1 to 8 nodes, or an open piece of it.
        const unsigned nodes = rng() % 8 + 1;
        std::vector<pointf> contour;
        for (unsigned i = 0; i < 3 * nodes; ++i) {
            const double a = 6.283185307179586 * (double(i) / (3 * nodes));
            contour.emplace_back(float(60.0 + 28.0 * std::cos(a) + jitter(rng)),
                float(50.0 - 28.0 * std::sin(a) + jitter(rng)));
        }
        contour.push_back(contour.front());
        if (nodes >= 2 && rng() % 3 == 0)
            contour.resize(3 * std::size_t(nodes) - 2);
        if (rng() % 10 == 0)
            std::fill(contour.begin() + 1, contour.end(), contour.front()); // all points on one spot
        const bool closed = contour.front() == contour.back();
        const unsigned n = closed ? nodes : static_cast<unsigned>(contour.size() / 3 + 1);

        std::vector<unsigned> kinds(n), flags(n);
        for (unsigned i = 0; i < n; ++i) {
            kinds[i] = rng() % 5;
            flags[i] = rng() % 4;
        }
        std::vector<float> tractions(contour.size());
        for (float& t : tractions)
            t = traction_choices[rng() % 6];
        if (closed)
            tractions.back() = tractions.front();
        const std::vector<pointf> prior = contour;

        bezier_fit_settings settings;
        settings.iterations = static_cast<int>(rng() % 12);
        settings.mode = rng() % 4;
        settings.model = rng() % 5;
        settings.preserve_segments = rng() % 2 == 0;
        settings.sample_step = rng() % 2 == 0 ? 1.5f : 4.0f;
        const bool with_prior = rng() % 4 != 0;
        std::vector<pointf> targets, samples;
        fit_bezier_contour(index, kinds, settings, contour, with_prior ? &prior : nullptr,
            with_prior ? &tractions : nullptr, rng() % 2 ? &flags : nullptr, &targets, &samples);

        ASSERT_EQ(contour.size(), prior.size());
        ASSERT_TRUE(all_finite(contour));
        if (closed) {
            EXPECT_EQ(contour.front(), contour.back());
        }
        EXPECT_EQ(targets.size(), samples.size());
        for (unsigned i = 0; with_prior && i < n; ++i) {
            if (tractions[3 * std::size_t(i)] >= 1.0f) {
                EXPECT_EQ(contour[3 * std::size_t(i)], prior[3 * std::size_t(i)]) << "node " << i;
            }
        }
    }
}
