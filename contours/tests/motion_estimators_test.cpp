#include "contours/motion_estimators.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using namespace contours;

namespace {

const pointd square[] = { { 0.0, 0.0 }, { 4.0, 0.0 }, { 4.0, 3.0 }, { 0.0, 3.0 }, { 1.0, 2.0 } };

template <class Estimator> Estimator gathered(const motion_map& truth)
{
    Estimator estimator;
    for (pointd p : square)
        estimator.add(p, truth(p), 1.0);
    return estimator;
}

void expect_map(const motion_map& map, const motion_map& truth)
{
    for (pointd p : square) {
        EXPECT_NEAR(map(p).x, truth(p).x, 1e-9);
        EXPECT_NEAR(map(p).y, truth(p).y, 1e-9);
    }
}

} // namespace

TEST(MotionEstimators, RigidFindsAQuarterTurnAboutTheOrigin)
{
    rigid_estimator estimator;
    for (pointd p : square)
        estimator.add(p, { -p.y, p.x }, 1.0);
    const auto map = estimator.solve();
    ASSERT_TRUE(map);
    EXPECT_NEAR(std::atan2(map->m10, map->m00), std::numbers::pi / 2, 1e-12);
    EXPECT_NEAR(map->translation.x, 0.0, 1e-12);
    EXPECT_NEAR(map->translation.y, 0.0, 1e-12);
}

TEST(MotionEstimators, EachModelRecoversAMotionOfItsKind)
{
    motion_map shift;
    shift.translation = { 2.5, -1.0 };
    expect_map(*gathered<translation_estimator>(shift).solve(), shift);

    motion_map turn;
    turn.m00 = turn.m11 = std::cos(0.3);
    turn.m10 = std::sin(0.3);
    turn.m01 = -turn.m10;
    turn.translation = { 7.0, 1.0 };
    expect_map(*gathered<rigid_estimator>(turn).solve(), turn);

    motion_map similar = turn;
    similar.m00 *= 1.5;
    similar.m01 *= 1.5;
    similar.m10 *= 1.5;
    similar.m11 *= 1.5;
    expect_map(*gathered<similarity_estimator>(similar).solve(), similar);

    motion_map shear;
    shear.m00 = 1.2;
    shear.m01 = 0.4;
    shear.m10 = -0.1;
    shear.m11 = 0.9;
    shear.translation = { -3.0, 2.0 };
    expect_map(*gathered<affine_estimator>(shear).solve(), shear);
}

TEST(MotionEstimators, DegenerateSumsGiveNoMap)
{
    EXPECT_FALSE(translation_estimator().solve());
    rigid_estimator single;
    single.add({ 1.0, 1.0 }, { 2.0, 2.0 }, 1.0);
    EXPECT_FALSE(single.solve());
    similarity_estimator same_point;
    same_point.add({ 1.0, 1.0 }, { 2.0, 2.0 }, 1.0);
    same_point.add({ 1.0, 1.0 }, { 3.0, 2.0 }, 1.0);
    EXPECT_FALSE(same_point.solve());
    affine_estimator line;
    for (int i = 0; i < 5; ++i)
        line.add({ double(i), 2.0 * i }, { double(i), 0.0 }, 1.0);
    EXPECT_FALSE(line.solve());
    translation_estimator zero_weight;
    zero_weight.add({ 0.0, 0.0 }, { 1.0, 1.0 }, 0.0);
    EXPECT_FALSE(zero_weight.solve());
}
