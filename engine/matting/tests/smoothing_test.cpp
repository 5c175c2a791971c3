#include "engine/matting/smoothing.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>
#include <string>

#include "engine/tests/synthetic_scene.h"

namespace {

using colour_image = img::image<img::BGRA<unsigned char>>;
using smooth_method = void (*)(colour_image&, const trm::smoothing_options&, std::ostream&);

// Foreground colour left of column 10 (alpha 255), background from column 12
// (alpha 0); column 10 is three quarters foreground (alpha 255), column 11
// one quarter (alpha 0).
colour_image blended_edge(unsigned width, unsigned height)
{
    colour_image im(width, height, 4);
    for (unsigned y = 0; y < height; ++y)
        for (unsigned x = 0; x < width; ++x) {
            // Foreground (200, 50, 40), background (40, 50, 200).
            const int share = x < 10 ? 4 : x == 10 ? 3 : x == 11 ? 1 : 0;
            const unsigned char b = static_cast<unsigned char>(40 + 40 * share);
            const unsigned char r = static_cast<unsigned char>(200 - 40 * share);
            im.row(y)[x] = { b, 50, r, static_cast<unsigned char>(x <= 10 ? 255 : 0) };
        }
    return im;
}

struct method_case {
    smooth_method run;
    const char* name;
};

const method_case methods[]
    = { { trm::smooth_spheres, "Smooth-A & Despill" }, { trm::smooth_ellipses, "Smooth-B & Despill" } };

TEST(Smoothing, CrispAlphaWithoutOutlineHasAnEmptyBand)
{
    for (const method_case& m : methods)
        for (unsigned char alpha : { 0, 255 }) {
            colour_image im(9, 6, 4);
            im.fill(img::BGRA<unsigned char> { 10, 20, 30, alpha });
            const colour_image before(im);
            std::ostringstream log;
            m.run(im, {}, log);
            EXPECT_EQ(log.str(), std::string(m.name) + "\npass 1/7: checked = 0, alpha changes = 0\n");
            for (unsigned y = 0; y < 6; ++y)
                for (unsigned x = 0; x < 9; ++x)
                    ASSERT_EQ(im.row(y)[x], before.row(y)[x]);
        }
}

TEST(Smoothing, MixedPixelsTakeAlphasBetweenTheirNeighboursAndOnlyAlphaChanges)
{
    // In units of D = F − B from B, column 10 has colour 0.75 and column 11
    // 0.25; the band is those two columns. Column 10's window (alphas 1, 1,
    // 0 at colours 1, 0.75, 0.25) fits F = 0.875, B = 0.25, so t = 0.8; its
    // κ is 2, m = 1/8, and the ramp gives 255 / 0.75 x (0.8 − 0.125) + 0.5 =
    // 230. Column 11's window (1, 0, 0 at 0.75, 0.25, 0) fits F = 0.75,
    // B = 0.125: t = 0.2, giving 26. Both lie on a rounding boundary.
    for (const method_case& m : methods) {
        colour_image im = blended_edge(24, 6);
        const colour_image before(im);
        trm::smoothing_options o;
        o.passes = 1;
        std::ostringstream log;
        m.run(im, o, log);
        for (unsigned y = 0; y < 6; ++y) {
            for (unsigned x = 0; x < 24; ++x) {
                const img::BGRA<unsigned char>& p = im.row(y)[x];
                const img::BGRA<unsigned char>& q = before.row(y)[x];
                ASSERT_TRUE(p.b == q.b && p.g == q.g && p.r == q.r) << m.name;
                if (x < 10) {
                    ASSERT_EQ(p.a, 255) << m.name << " " << x << "," << y;
                }
                if (x > 11) {
                    ASSERT_EQ(p.a, 0) << m.name << " " << x << "," << y;
                }
            }
            EXPECT_NEAR(im.row(y)[10].a, 230, 1) << m.name;
            EXPECT_NEAR(im.row(y)[11].a, 26, 1) << m.name;
        }
        EXPECT_EQ(log.str(), std::string(m.name) + "\npass 1/1: checked = 12, alpha changes = 12\n");
    }
}

TEST(Smoothing, PassesStopAtTheLimitOrWhenNothingChanges)
{
    const trm::testing::synthetic_scene scene = trm::testing::make_scene(64, 48);
    for (const method_case& m : methods) {
        colour_image im = scene.frame;
        for (unsigned y = 0; y < 48; ++y)
            for (unsigned x = 0; x < 64; ++x)
                im.row(y)[x].a = scene.object.at(x, y) ? 255 : 0;
        trm::smoothing_options o;
        o.passes = 2;
        o.quiet = false;
        std::ostringstream log;
        m.run(im, o, log);
        EXPECT_NE(log.str().find("pass 2/2: checked = "), std::string::npos) << log.str();
        EXPECT_EQ(log.str().find("pass 3/"), std::string::npos);

        o.quiet = true;
        std::ostringstream quiet;
        m.run(im, o, quiet);
        EXPECT_EQ(quiet.str(), "");
    }
}

TEST(Smoothing, TinyFramesWithClippedWindowsAreHandled)
{
    for (const method_case& m : methods) {
        for (unsigned width : { 1u, 2u, 3u }) {
            colour_image im(width, 2, 4);
            for (unsigned x = 0; x < width; ++x) {
                im.row(0)[x] = { 200, 50, 40, 255 };
                im.row(1)[x] = { 40, 50, 200, 0 };
            }
            trm::smoothing_options o;
            o.window_half_size = 3;
            o.max_condition_number = 100.0f;
            std::ostringstream log;
            ASSERT_NO_THROW(m.run(im, o, log)) << m.name << " " << width;
        }
    }
}

TEST(Smoothing, OptionsOutOfRangeAreRefused)
{
    colour_image im = blended_edge(16, 4);
    std::ostringstream log;
    for (const method_case& m : methods) {
        trm::smoothing_options o;
        o.max_condition_number = 0.5f;
        EXPECT_THROW(m.run(im, o, log), std::runtime_error);
        o = {};
        o.window_half_size = -1;
        EXPECT_THROW(m.run(im, o, log), std::runtime_error);
        o = {};
        o.window_half_size = 101;
        EXPECT_THROW(m.run(im, o, log), std::runtime_error);
    }
}

} // namespace
