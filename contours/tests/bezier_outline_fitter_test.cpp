#include "contours/bezier_outline_fitter.h"

#include "contours/fit_geometry.h"
#include "contours/tests/mask_helpers.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace contours;
using namespace contours::testing;

namespace {

crack_outline outline_of(const img::image<img::bit>& mask)
{
    crack_outline outline;
    longest_outline(mask, outline);
    return outline;
}

// The largest distance from the contour's curves to the nearest outline
// vertex or step midpoint.
double worst_distance(const std::vector<pointf>& contour, const crack_outline& outline)
{
    double worst = 0.0;
    for (std::size_t s = 0; s + 3 < contour.size(); s += 3)
        for (int i = 0; i <= 32; ++i) {
            const pointd p = bezier_point(pointd(contour[s]), pointd(contour[s + 1]), pointd(contour[s + 2]),
                pointd(contour[s + 3]), i / 32.0);
            double best = 1e9;
            for (std::size_t k = 1; k < outline.size(); ++k) {
                const pointd a(vertex_x(outline[k - 1]), vertex_y(outline[k - 1]));
                const pointd b(vertex_x(outline[k]), vertex_y(outline[k]));
                best = std::min({ best, std::hypot(p.x - a.x, p.y - a.y),
                    std::hypot(p.x - (a.x + b.x) / 2, p.y - (a.y + b.y) / 2) });
            }
            worst = std::max(worst, best);
        }
    return worst;
}

} // namespace

TEST(BezierOutlineFitter, SettingsAreValidatedWhenSet)
{
    bezier_outline_fitter fitter;
    fitter_settings s;
    s.smoothness = std::nanf("");
    s.iterations = 0;
    s.tolerance = -1.0f;
    s.sampling_ratio = 0.0f;
    s.node_limit = 0;
    fitter.set_settings(s);
    EXPECT_EQ(fitter.settings().smoothness, 0.0f);
    EXPECT_EQ(fitter.settings().iterations, 1u);
    EXPECT_EQ(fitter.settings().tolerance, 0.0f);
    EXPECT_FLOAT_EQ(fitter.settings().sampling_ratio, 0.1f);
    EXPECT_EQ(fitter.settings().node_limit, 1u);
    s.iterations = 1000000;
    s.tolerance = 11.0f;
    s.sampling_ratio = std::nanf("");
    s.node_limit = 1000;
    fitter.set_settings(s);
    EXPECT_EQ(fitter.settings().iterations, 100000u);
    EXPECT_EQ(fitter.settings().tolerance, 10.0f);
    EXPECT_FLOAT_EQ(fitter.settings().sampling_ratio, 0.1f);
    EXPECT_EQ(fitter.settings().node_limit, 100u);
}

TEST(BezierOutlineFitter, SinglePixelMakesOneNodeLoopingFromItsCorner)
{
    bezier_outline_fitter fitter;
    fitter.set_outline(outline_of(mask_from_rows({ "....", "..#.", "...." })));
    EXPECT_EQ(fitter.vertex_count(), 4u);
    std::vector<unsigned> nodes;
    fitter.choose_nodes(nodes);
    EXPECT_EQ(nodes, (std::vector<unsigned> { 0, 4 }));
    std::vector<pointf> contour;
    fitter.fit(contour);
    ASSERT_EQ(contour.size(), 4u);
    EXPECT_EQ(contour.front(), pointf(2.0f, 1.0f));
    EXPECT_EQ(contour.back(), contour.front());
    EXPECT_TRUE(all_finite(contour));
}

TEST(BezierOutlineFitter, ShortOutlinesGetAThirdOfTheirVerticesAsNodes)
{
    bezier_outline_fitter fitter;
    fitter_settings s;
    s.node_limit = 7;
    fitter.set_settings(s);
    fitter.set_outline(outline_of(mask_from_rows({ "....", ".##.", ".##.", "...." })));
    std::vector<unsigned> nodes;
    fitter.choose_nodes(nodes);
    EXPECT_EQ(nodes, (std::vector<unsigned> { 0, 4, 8 }));
    std::vector<unsigned> kinds;
    fitter.node_kinds(nodes, kinds);
    EXPECT_EQ(kinds, (std::vector<unsigned> { 1, 1 }));
}

TEST(BezierOutlineFitter, FitsAnEllipseWithinAPixel)
{
    const crack_outline outline = outline_of(ellipse_mask(200, 160, 100.0, 80.0, 70.0, 45.0));
    bezier_outline_fitter fitter;
    fitter.set_settings({});
    fitter.set_outline(outline);
    std::vector<pointf> contour;
    fitter.fit(contour);
    ASSERT_EQ(contour.size(), 22u);
    EXPECT_EQ(contour.front(), contour.back());
    EXPECT_LT(worst_distance(contour, outline), 1.0);
}

TEST(BezierOutlineFitter, StraightRunGetsHandlesOnItsLine)
{
    const crack_outline outline
        = outline_of(mask_from_rows({ "............", ".##########.", "............" }));
    bezier_outline_fitter fitter;
    fitter.set_settings({});
    fitter.set_outline(outline);
    // The run along the bottom edge: vertices (1, 2) to (11, 2).
    std::vector<pointf> contour;
    fitter.fit_cubic_to_run(1, 11, contour);
    ASSERT_EQ(contour.size(), 3u);
    EXPECT_NEAR(contour[0].y, 2.0f, 1e-4f);
    EXPECT_NEAR(contour[1].y, 2.0f, 1e-4f);
    EXPECT_EQ(contour[2], pointf(11.0f, 2.0f));
}
