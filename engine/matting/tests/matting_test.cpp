#include "engine/matting/matting.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <stdexcept>
#include <string>

#include "engine/masks/morphology.h"
#include "engine/tests/mask_test_support.h"
#include "engine/tests/synthetic_scene.h"

namespace {

using colour_image = img::image<img::BGRA<unsigned char>>;
using grey_image = img::image<unsigned char>;
using mask = img::image<img::bit>;
using trm::testing::filled_mask;
using trm::testing::mask_from_rows;

colour_image uniform(unsigned width, unsigned height)
{
    colour_image im(width, height, 4);
    im.fill(img::BGRA<unsigned char> { 80, 120, 160, 255 });
    return im;
}

mask left_of(unsigned width, unsigned height, unsigned edge)
{
    mask m = filled_mask(width, height, false);
    for (unsigned y = 0; y < height; ++y)
        for (unsigned x = 0; x < edge; ++x)
            m.at(x, y) = true;
    return m;
}

trm::matting_options tight(int passes)
{
    trm::matting_options o;
    o.erode_steps = 1;
    o.dilate_steps = 1;
    o.window_half_size = 1;
    o.passes = passes;
    o.max_condition_number = 5.0f;
    return o;
}

TEST(Matting, MaskWithoutOutlineGivesAPlainMatteAfterOneQuietPass)
{
    const colour_image im = uniform(12, 9);
    for (bool value : { true, false }) {
        grey_image matte;
        std::ostringstream log;
        trm::spatial_matting(im, filled_mask(12, 9, value), matte, {}, log);
        ASSERT_EQ(matte.width, 12u);
        ASSERT_EQ(matte.height, 9u);
        for (unsigned y = 0; y < 9; ++y)
            for (unsigned x = 0; x < 12; ++x)
                ASSERT_EQ(matte.row(y)[x], value ? 255 : 0);
        EXPECT_EQ(log.str(), "Spatial Kestrova(R) matting...\npass 1/100: checked = 0, alpha changes = 0\n");
    }
}

TEST(Matting, UniformColourLeavesThePositionFitWhichIsTheWindowMean)
{
    // No colour varies, so the colour terms drop out with their zero
    // singular values; fitting alpha linearly in x and y over a full 3 x 3
    // window gives the window mean at its centre: 2/3 and 1/3 of 255.
    const colour_image im = uniform(20, 8);
    grey_image matte;
    std::ostringstream log;
    trm::spatial_matting(im, left_of(20, 8, 10), matte, tight(1), log);
    for (unsigned y = 0; y < 8; ++y) {
        EXPECT_EQ(matte.row(y)[8], 255);
        EXPECT_EQ(matte.row(y)[9], 170) << y;
        EXPECT_EQ(matte.row(y)[10], 85) << y;
        EXPECT_EQ(matte.row(y)[11], 0);
    }
    EXPECT_EQ(log.str(), "Spatial Kestrova(R) matting...\npass 1/1: checked = 16, alpha changes = 16\n");
}

TEST(Matting, MatteLinearInColourAndPositionIsAFixedPoint)
{
    // Red equals the matte; green and blue are noise. Every window's fit is
    // exact, so no pixel changes.
    std::mt19937 random(3);
    std::uniform_int_distribution<int> noise(0, 255);
    colour_image im(9, 7, 4);
    grey_image matte(9, 7, 4);
    for (unsigned y = 0; y < 7; ++y)
        for (unsigned x = 0; x < 9; ++x) {
            const unsigned char a = static_cast<unsigned char>(30 * x);
            matte.row(y)[x] = a;
            im.row(y)[x] = { static_cast<unsigned char>(noise(random)),
                static_cast<unsigned char>(noise(random)), a, 255 };
        }
    const mask none = filled_mask(9, 7, false);
    mask update = filled_mask(9, 7, true);
    trm::matting_options o = tight(5);
    o.max_condition_number = 100.0f;
    std::ostringstream log;
    trm::matting_passes(im, matte, none, none, update, o, log);
    for (unsigned y = 0; y < 7; ++y)
        for (unsigned x = 0; x < 9; ++x)
            EXPECT_EQ(matte.row(y)[x], 30 * x) << x << "," << y;
    EXPECT_NE(log.str().find("pass 1/5: checked = 63, alpha changes = 0\n"), std::string::npos) << log.str();
}

TEST(Matting, FixedForegroundAndBackgroundKeepTheirValuesAndTheBandTurnsSoft)
{
    const trm::testing::synthetic_scene scene = trm::testing::make_scene(96, 80);
    trm::matting_options o = tight(7);
    grey_image matte;
    std::ostringstream log;
    trm::spatial_matting(scene.frame, scene.object, matte, o, log);

    mask inside;
    trm::erode4_n(inside, scene.object, 1);
    mask reach;
    trm::dilate4_n(reach, scene.object, 1);
    unsigned soft = 0;
    for (unsigned y = 0; y < 80; ++y)
        for (unsigned x = 0; x < 96; ++x) {
            const int a = matte.row(y)[x];
            if (inside.at(x, y))
                ASSERT_EQ(a, 255) << x << "," << y;
            else if (!reach.at(x, y))
                ASSERT_EQ(a, 0) << x << "," << y;
            else if (a != 0 && a != 255)
                ++soft;
        }
    EXPECT_GT(soft, 20u);
    EXPECT_EQ(log.str().rfind("Spatial Kestrova(R) matting...\npass 1/7: checked = ", 0), 0u);
    EXPECT_NE(log.str().find("pass 3/7: checked = "), std::string::npos) << log.str();
}

TEST(Matting, DegenerateAndClippedWindowsGiveValuesInRange)
{
    struct shape {
        unsigned width;
        unsigned height;
        int half;
    };
    std::mt19937 random(11);
    for (const shape s : { shape { 1, 1, 1 }, shape { 5, 1, 1 }, shape { 1, 6, 2 }, shape { 2, 2, 1 },
             shape { 4, 4, 10 }, shape { 7, 3, 0 } }) {
        colour_image im(s.width, s.height, 4);
        std::uniform_int_distribution<int> value(0, 255);
        for (unsigned y = 0; y < s.height; ++y)
            for (unsigned x = 0; x < s.width; ++x)
                im.row(y)[x]
                    = { static_cast<unsigned char>(value(random)), static_cast<unsigned char>(value(random)),
                          static_cast<unsigned char>(value(random)), 255 };
        const mask m = trm::testing::random_mask(s.width, s.height, 0.5, random);
        trm::matting_options o;
        o.erode_steps = 0;
        o.dilate_steps = 0;
        o.window_half_size = s.half;
        o.passes = 10;
        o.max_condition_number = 50.0f;
        grey_image matte;
        std::ostringstream log;
        ASSERT_NO_THROW(trm::spatial_matting(im, m, matte, o, log)) << s.width << "x" << s.height;
        ASSERT_EQ(matte.width, s.width);
        ASSERT_EQ(matte.height, s.height);
    }
}

TEST(Matting, SizesThatDoNotAgreeAndOptionsOutOfRangeAreRefused)
{
    const colour_image im = uniform(10, 8);
    grey_image matte;
    std::ostringstream log;
    EXPECT_THROW(trm::spatial_matting(im, filled_mask(10, 7, true), matte, {}, log), std::runtime_error);
    trm::matting_options o;
    o.max_condition_number = 1.0f;
    EXPECT_THROW(trm::spatial_matting(im, filled_mask(10, 8, true), matte, o, log), std::runtime_error);
    o = {};
    o.window_half_size = 101;
    EXPECT_THROW(trm::spatial_matting(im, filled_mask(10, 8, true), matte, o, log), std::runtime_error);

    grey_image good(10, 8, 4);
    const mask fixed = filled_mask(10, 8, false);
    const mask short_fixed = filled_mask(10, 9, false);
    mask update = filled_mask(10, 8, true);
    mask short_update = filled_mask(9, 8, true);
    grey_image short_matte(10, 9, 4);
    EXPECT_THROW(trm::matting_passes(im, short_matte, fixed, fixed, update, {}, log), std::runtime_error);
    EXPECT_THROW(trm::matting_passes(im, good, short_fixed, fixed, update, {}, log), std::runtime_error);
    EXPECT_THROW(trm::matting_passes(im, good, fixed, short_fixed, update, {}, log), std::runtime_error);
    EXPECT_THROW(trm::matting_passes(im, good, fixed, fixed, short_update, {}, log), std::runtime_error);
    try {
        trm::spatial_matting(im, filled_mask(3, 3, true), matte, {}, log);
        ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "matting: the mask does not have the frame's size");
    }
}

} // namespace
