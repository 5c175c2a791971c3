#include "engine/motion/motion_models.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <vector>

namespace {

using trm::affine_motion;
using trm::motion_model;
using trm::motion_segmentation;

struct pair_spec {
    double x;
    double y;
    int dx;
    int dy;
};

// Segments with the given centroids (current) and absolute displacements,
// split between base and current displacement.
motion_segmentation pairs(const std::vector<pair_spec>& specs)
{
    motion_segmentation s;
    for (const pair_spec& p : specs) {
        trm::motion_segment seg;
        seg.count = 1;
        seg.centroid = { p.x, p.y };
        seg.base = { p.dx / 2, p.dy / 2 };
        seg.displacement = { p.dx - p.dx / 2, p.dy - p.dy / 2 };
        s.segments.push_back(seg);
    }
    s.centroids_current = true;
    return s;
}

// The pairs that `m` makes of grid points spaced `step` apart (chosen so that
// the displacements are whole numbers).
motion_segmentation moved_grid(const affine_motion& m, double step)
{
    std::vector<pair_spec> specs;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 3; ++j) {
            const double x = step * (i + 3);
            const double y = step * (j + 2);
            const affine_motion::point q = m.apply(x, y);
            specs.push_back(
                { x, y, static_cast<int>(std::lround(q.x - x)), static_cast<int>(std::lround(q.y - y)) });
        }
    return pairs(specs);
}

void expect_motion(const affine_motion& got, const affine_motion& want, double tolerance)
{
    EXPECT_NEAR(got.x, want.x, tolerance);
    EXPECT_NEAR(got.y, want.y, tolerance);
    EXPECT_NEAR(got.xx, want.xx, tolerance);
    EXPECT_NEAR(got.xy, want.xy, tolerance);
    EXPECT_NEAR(got.yx, want.yx, tolerance);
    EXPECT_NEAR(got.yy, want.yy, tolerance);
}

TEST(MotionModels, EveryModelRecoversACommonShift)
{
    motion_segmentation s = moved_grid({ 3.0, -2.0, 1.0, 0.0, 0.0, 1.0 }, 10.0);
    for (motion_model m :
        { motion_model::affine, motion_model::translation, motion_model::rigid, motion_model::rigid_zoom }) {
        affine_motion out { 9, 9, 9, 9, 9, 9 };
        std::ostringstream log;
        trm::match_point_sets(s, out, m, log);
        expect_motion(out, { 3.0, -2.0, 1.0, 0.0, 0.0, 1.0 }, 1e-9);
        EXPECT_EQ(log.str().rfind("Matching point sets with ", 0), 0u);
    }
}

// cos and sin of 40/41 and 9/41 keep grid points 41 apart on whole pixels.
TEST(MotionModels, RigidModelsRecoverTurnAndZoom)
{
    const double c = 40.0 / 41.0;
    const double sn = 9.0 / 41.0;
    const affine_motion turn { 5.0, -7.0, c, sn, -sn, c };
    motion_segmentation s = moved_grid(turn, 41.0);
    affine_motion out;
    std::ostringstream log;
    trm::match_point_sets(s, out, motion_model::rigid, log);
    expect_motion(out, turn, 1e-9);
    trm::match_point_sets(s, out, motion_model::rigid_zoom, log);
    expect_motion(out, turn, 1e-9);

    const affine_motion zoom { 5.0, -7.0, 2 * c, 2 * sn, -2 * sn, 2 * c };
    motion_segmentation zs = moved_grid(zoom, 41.0);
    trm::match_point_sets(zs, out, motion_model::rigid_zoom, log);
    expect_motion(out, zoom, 1e-9);
    // Without zoom, the direction of the zoomed turn.
    trm::match_point_sets(zs, out, motion_model::rigid, log);
    EXPECT_NEAR(out.xx, c, 1e-9);
    EXPECT_NEAR(out.xy, sn, 1e-9);
}

TEST(MotionModels, AffineModelRecoversAGeneralMotion)
{
    const affine_motion m { 2.0, -3.0, 1.1, 0.2, -0.1, 0.9 };
    motion_segmentation s = moved_grid(m, 10.0);
    affine_motion out;
    std::ostringstream log;
    trm::match_point_sets(s, out, motion_model::affine, log);
    expect_motion(out, m, 1e-9);
    EXPECT_NE(log.str().find("x(t+1) = "), std::string::npos);
}

// Centroids on one line (affine) or at one place (rigid models) give the
// translation fit, and no pairs no motion: nothing that is not finite.
TEST(MotionModels, DegeneratePointSetsFallBackToTranslationOrNoMotion)
{
    std::vector<pair_spec> line;
    for (int i = 0; i < 12; ++i)
        line.push_back({ 10.0 + 3 * i, 20.0 + 2 * i, 4, 1 });
    motion_segmentation collinear = pairs(line);
    affine_motion out;
    std::ostringstream log;
    trm::match_point_sets(collinear, out, motion_model::affine, log);
    expect_motion(out, { 4.0, 1.0, 1.0, 0.0, 0.0, 1.0 }, 1e-9);
    EXPECT_NE(log.str().find("degenerate for the affine motion"), std::string::npos);

    motion_segmentation same_place = pairs(std::vector<pair_spec>(12, { 30.0, 40.0, -2, 5 }));
    for (motion_model m : { motion_model::rigid, motion_model::rigid_zoom, motion_model::affine }) {
        out = affine_motion { 9, 9, 9, 9, 9, 9 };
        trm::match_point_sets(same_place, out, m, log);
        expect_motion(out, { -2.0, 5.0, 1.0, 0.0, 0.0, 1.0 }, 1e-9);
    }

    // Targets all at one place: the turn has no direction.
    std::vector<pair_spec> collapse;
    for (int i = 0; i < 12; ++i)
        collapse.push_back({ 10.0 * i, 5.0 * (i % 3), -10 * i, -5 * (i % 3) });
    motion_segmentation collapsed = pairs(collapse);
    for (motion_model m : { motion_model::rigid, motion_model::affine }) {
        trm::match_point_sets(collapsed, out, m, log);
        EXPECT_TRUE(std::isfinite(out.x) && std::isfinite(out.y));
        EXPECT_EQ(out.xx, 1.0);
        EXPECT_EQ(out.xy, 0.0);
    }

    motion_segmentation none;
    none.centroids_current = true;
    for (motion_model m :
        { motion_model::affine, motion_model::translation, motion_model::rigid, motion_model::rigid_zoom }) {
        out = affine_motion { 9, 9, 9, 9, 9, 9 };
        trm::match_point_sets(none, out, m, log);
        EXPECT_EQ(out, affine_motion());
    }
}

TEST(MotionModels, ModelsOutsideTheTableLeaveTheMotionAndTheLogAlone)
{
    motion_segmentation s = moved_grid({ 3.0, -2.0, 1.0, 0.0, 0.0, 1.0 }, 10.0);
    for (int model : { 1, 5, -1 }) {
        affine_motion out { 7, 7, 7, 7, 7, 7 };
        std::ostringstream log;
        trm::match_point_sets(s, out, static_cast<motion_model>(model), log);
        EXPECT_EQ(out, (affine_motion { 7, 7, 7, 7, 7, 7 }));
        EXPECT_TRUE(log.str().empty());
    }
}

// Seeding rounds half away from zero and clamps into the window; segments
// without a window, and every segment for a motion that is not finite, keep
// their displacement.
TEST(MotionModels, SeedingRoundsHalvesAwayFromZeroAndClampsIntoTheWindow)
{
    motion_segmentation s = pairs({ { 10.0, 10.0, 0, 0 }, { 20.0, 10.0, 0, 0 }, { 30.0, 10.0, 0, 0 } });
    for (trm::motion_segment& seg : s.segments) {
        seg.scores.resize(7, 7, 0.0);
        seg.origin = { 3, 3 };
        seg.base = { 0, 0 };
        seg.displacement = { 1, 1 };
    }
    s.segments[1].base = { 1, 0 };
    s.segments[2].scores.clear();

    trm::seed_displacements(s, { 2.5, -2.5, 1.0, 0.0, 0.0, 1.0 });
    EXPECT_EQ(s.segments[0].displacement, (trm::int_offset { 3, -3 }));
    EXPECT_EQ(s.segments[1].displacement, (trm::int_offset { 2, -3 }));
    EXPECT_EQ(s.segments[2].displacement, (trm::int_offset { 1, 1 }));

    trm::seed_displacements(s, { 40.0, -9.0, 1.0, 0.0, 0.0, 1.0 });
    EXPECT_EQ(s.segments[0].displacement, (trm::int_offset { 3, -3 }));
    EXPECT_EQ(s.segments[1].displacement, (trm::int_offset { 3, -3 }));

    trm::seed_displacements(s, affine_motion());
    EXPECT_EQ(s.segments[0].displacement, (trm::int_offset { 0, 0 }));
    EXPECT_EQ(s.segments[1].displacement, (trm::int_offset { -1, 0 }));

    trm::seed_displacements(s, { NAN, 0.0, 1.0, 0.0, 0.0, 1.0 });
    EXPECT_EQ(s.segments[1].displacement, (trm::int_offset { -1, 0 }));
}

TEST(MotionModels, LogFormShowsTheLinearPartOnlyWhenThereIsOne)
{
    std::ostringstream identity;
    identity << trm::displacement_polynomial(affine_motion());
    EXPECT_EQ(identity.str(), "x(t+1) =            0 + x\ny(t+1) =            0 + y\n");

    std::ostringstream shift;
    shift << trm::displacement_polynomial({ 3.0, -2.5, 1.0, 0.0, 0.0, 1.0 });
    EXPECT_EQ(shift.str(), "x(t+1) =            3 + x\ny(t+1) =         -2.5 + y\n");

    std::ostringstream turn;
    turn << trm::displacement_polynomial({ 1.0, 2.0, 1.0, 0.5, -0.5, 1.0 });
    EXPECT_EQ(turn.str(),
        "x(t+1) =            1 + x + " + std::string(11, ' ') + "0 * x + " + std::string(9, ' ')
            + "0.5 * y\ny(t+1) =            2 + y + " + std::string(8, ' ') + "-0.5 * x + "
            + std::string(11, ' ') + "0 * y\n");
}

} // namespace
