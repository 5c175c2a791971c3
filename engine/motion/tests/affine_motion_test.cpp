#include "engine/motion/affine_motion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <sstream>

#include "engine/tests/mask_test_support.h"

namespace {

using mask = img::image<img::bit>;
using trm::affine_motion;
using trm::testing::random_mask;
using trm::testing::rows_of;

TEST(AffineMotion, InverseUndoesTheMotion)
{
    const affine_motion m { 5.0, -3.0, 2.0, 0.5, -1.0, 1.5 };
    std::ostringstream log;
    const affine_motion i = m.inverse(log);
    const affine_motion::point p = m.apply(7.25, -2.5);
    const affine_motion::point back = i.apply(p.x, p.y);
    EXPECT_NEAR(back.x, 7.25, 1e-12);
    EXPECT_NEAR(back.y, -2.5, 1e-12);
    EXPECT_TRUE(log.str().empty());
}

TEST(AffineMotion, SingularOrNonFiniteMotionHasTheIdentityAsInverseAndSaysSo)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const affine_motion bad[] = {
        { 1.0, 2.0, 1.0, 2.0, 2.0, 4.0 }, // determinant 0
        { 0, 0, 0, 0, 0, 0 }, { nan, 0, 1, 0, 0, 1 }, { 0, 0, inf, 0, 0, 1 },
        { 0, 0, 1e-200, 0, 0, 1e-200 }, // inverse not finite
    };
    for (const affine_motion& m : bad) {
        std::ostringstream log;
        EXPECT_EQ(m.inverse(log), affine_motion());
        EXPECT_NE(log.str().find("no motion"), std::string::npos);
    }
}

TEST(AffineMotion, IntegerTranslationToleratesTenEpsilons)
{
    affine_motion::int_point t { 0, 0 };
    EXPECT_TRUE((affine_motion { 2.0000000000000004, -3.0, 1, 0, 0, 1 }.integer_translation(&t)));
    EXPECT_EQ(t.x, 2);
    EXPECT_EQ(t.y, -3);
    EXPECT_FALSE((affine_motion { 2.1, 0, 1, 0, 0, 1 }.integer_translation()));
    EXPECT_FALSE((affine_motion { 2, 0, 1, 1e-14, 0, 1 }.integer_translation()));
    // Whole numbers beyond int are no integer translation (never converted).
    EXPECT_FALSE((affine_motion { 1e12, 0, 1, 0, 0, 1 }.integer_translation()));
    EXPECT_FALSE(
        (affine_motion { std::numeric_limits<double>::quiet_NaN(), 0, 1, 0, 0, 1 }.integer_translation()));
}

TEST(WarpMask, IdentityCopiesTheMaskWithItsSize)
{
    std::mt19937 random(3);
    const mask s = random_mask(21, 9, 0.5, random);
    mask t(4, 4, 4);
    std::ostringstream log;
    trm::warp_mask(affine_motion(), s, t, log);
    EXPECT_EQ(rows_of(t), rows_of(s));
}

TEST(WarpMask, IntegerShiftMovesTheMaskAndClearsTheUncoveredBorder)
{
    std::mt19937 random(5);
    const mask s = trm::testing::filled_mask(20, 10, true);
    mask t(20, 10, 4);
    std::ostringstream log;
    trm::warp_mask(affine_motion { 3.0, -2.0, 1, 0, 0, 1 }, s, t, log);
    for (unsigned y = 0; y < 10; ++y)
        for (unsigned x = 0; x < 20; ++x)
            EXPECT_EQ(static_cast<bool>(t.at(x, y)), x >= 3 && y < 8) << x << "," << y;

    const mask r = random_mask(20, 10, 0.5, random);
    mask same = r;
    trm::warp_mask(affine_motion { -4.0, 1.0, 1, 0, 0, 1 }, same, same, log);
    for (unsigned y = 0; y < 10; ++y)
        for (unsigned x = 0; x < 20; ++x) {
            const bool inside = x + 4 < 20 && y >= 1;
            EXPECT_EQ(static_cast<bool>(same.at(x, y)), inside && r.at(x + 4, y - 1)) << x << "," << y;
        }
    EXPECT_TRUE(log.str().empty());
}

TEST(WarpMask, RotationTakesTheNearestSourcePixelOrClears)
{
    std::mt19937 random(13);
    const mask s = random_mask(40, 30, 0.5, random);
    const double a = 0.5;
    const affine_motion m { 10.0, -5.0, std::cos(a), -std::sin(a), std::sin(a), std::cos(a) };
    mask t(45, 35, 4);
    std::ostringstream log;
    trm::warp_mask(m, s, t, log);
    std::ostringstream unused;
    const affine_motion i = m.inverse(unused);
    int checked = 0;
    for (unsigned y = 0; y < t.height; ++y) {
        for (unsigned x = 0; x < t.width; ++x) {
            const affine_motion::point p = i.apply(x, y);
            const double fu = p.x - std::floor(p.x);
            const double fv = p.y - std::floor(p.y);
            // Skip rounding ties, where the last bits of the sums decide.
            if (std::fabs(fu - 0.5) < 1e-9 || std::fabs(fv - 0.5) < 1e-9)
                continue;
            const double u = std::floor(p.x + 0.5);
            const double v = std::floor(p.y + 0.5);
            const bool inside = u >= 0 && v >= 0 && u < s.width && v < s.height;
            const bool expected = inside && s.at(static_cast<unsigned>(u), static_cast<unsigned>(v));
            EXPECT_EQ(static_cast<bool>(t.at(x, y)), expected) << x << "," << y;
            ++checked;
        }
    }
    EXPECT_GT(checked, 1500);
}

// A small scale on a wide mask: every source position is exact to far below
// a pixel, so each target pixel away from a rounding tie picks the nearest
// source pixel, at the row's end as at its start.
TEST(WarpMask, WideMaskPicksTheNearestSourcePixelAcrossTheWholeRow)
{
    std::mt19937 random(29);
    const mask s = random_mask(8192, 3, 0.5, random);
    const double scale = 1.0 + 0.49 / 4096.0;
    const affine_motion m { 0.75, 0.0, scale, 0.0, 0.0, 1.0 };
    mask t(8192, 3, 4);
    std::ostringstream log;
    trm::warp_mask(m, s, t, log);
    long checked = 0;
    long wrong = 0;
    for (unsigned y = 0; y < t.height; ++y) {
        for (unsigned x = 0; x < t.width; ++x) {
            const long double u = (static_cast<long double>(x) - 0.75L) / static_cast<long double>(scale);
            const long double f = u - std::floor(u);
            if (std::fabs(f - 0.5L) < 1e-9L)
                continue;
            const long double nearest = std::floor(u + 0.5L);
            const bool inside = nearest >= 0 && nearest < s.width;
            const bool expected = inside && s.at(static_cast<unsigned>(nearest), y);
            ++checked;
            if (static_cast<bool>(t.at(x, y)) != expected)
                ++wrong;
        }
    }
    EXPECT_GT(checked, 24000);
    EXPECT_EQ(wrong, 0);
}

TEST(WarpMask, SingularMotionCopiesTheMaskAndSaysSo)
{
    std::mt19937 random(17);
    const mask s = random_mask(16, 8, 0.5, random);
    const affine_motion singular[] = {
        { 0, 0, 0, 0, 0, 0 },
        { 1.5, 0, 2, 1, 4, 2 },
        { std::numeric_limits<double>::quiet_NaN(), 0, 1, 0, 0, 1 },
        { 0.5, 0, std::numeric_limits<double>::infinity(), 0, 0, 1 },
    };
    for (const affine_motion& m : singular) {
        mask t(3, 3, 4);
        std::ostringstream log;
        trm::warp_mask(m, s, t, log);
        EXPECT_EQ(rows_of(t), rows_of(s));
        EXPECT_NE(log.str().find("no motion"), std::string::npos);
    }
}

TEST(WarpMask, MotionFarOutsideClearsTheTarget)
{
    const mask s = trm::testing::filled_mask(16, 8, true);
    std::ostringstream log;
    for (const affine_motion& m : { affine_motion { 1e12, 0, 0.99, 0.01, -0.01, 0.99 },
             affine_motion { -2e9, 3e9, 1, 0, 0, 1 }, affine_motion { 2147483000.0, 0, 1, 0, 0, 1 } }) {
        mask t(16, 8, 4);
        trm::warp_mask(m, s, t, log);
        EXPECT_EQ(t.count(), 0u);
    }
}

} // namespace
