#include "app/timeline/RulerSteps.h"
#include "app/timeline/TimeAxis.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(RoundHalfAway, HalvesGoAwayFromZero)
{
    EXPECT_EQ(My::RoundHalfAway(2.5), 3);
    EXPECT_EQ(My::RoundHalfAway(-2.5), -3);
    EXPECT_EQ(My::RoundHalfAway(-0.5), -1);
    EXPECT_EQ(My::RoundHalfAway(0.49), 0);
    EXPECT_EQ(My::RoundHalfAway(-0.49), 0);
    EXPECT_EQ(My::RoundHalfAway(2.4), 2);
    EXPECT_EQ(My::RoundHalfAway(-2.6), -3);
}

TEST(RoundHalfAway, AbsurdValuesStayInRange)
{
    EXPECT_EQ(My::RoundHalfAway(NAN), 0);
    EXPECT_EQ(My::RoundHalfAway(1e300), 2147483647);
    EXPECT_EQ(My::RoundHalfAway(-1e300), -2147483647 - 1);
}

TEST(TimeAxis, NarrowAreaMapsEverythingToTheMargin)
{
    for (int width : { 0, 1, 29, 30 }) {
        My::TimeAxis axis { width, 15, 2.0, 7.0 };
        EXPECT_TRUE(axis.IsDegenerate());
        EXPECT_EQ(axis.TimeToX(100), 15);
        EXPECT_EQ(axis.XToTime(400), 7.0);
        EXPECT_EQ(axis.FrameAt(400), 7);
    }
    EXPECT_FALSE((My::TimeAxis { 31, 15, 1.0, 0.0 }).IsDegenerate());
}

TEST(TimeAxis, MapsFramesBetweenTheMargins)
{
    // 500 pixels at scale 5: 100 frames over 470 pixels.
    const My::TimeAxis axis { 500, 15, 5.0, 0.0 };
    EXPECT_EQ(axis.TimeToX(0), 15);
    EXPECT_EQ(axis.TimeToX(100), 485);
    EXPECT_DOUBLE_EQ(axis.XToTime(485), 100.0);
    EXPECT_EQ(axis.FrameAt(axis.TimeToX(37)), 37);
    // Left of the margin the frames go negative and round away from zero.
    EXPECT_EQ(axis.FrameAt(15 - 7), -1);
}

TEST(TimeAxis, PositionsBeyondSixteenBitsStayExact)
{
    // 10,000 frames at the widest zoom lie half a million pixels apart.
    const My::TimeAxis axis { 1000, 15, 50.0, 0.0 };
    const int x = axis.TimeToX(10000);
    EXPECT_GT(x, 65535);
    EXPECT_EQ(axis.FrameAt(x), 10000);
}

TEST(NavigatorAxis, SpreadsTheWholeSequence)
{
    const My::NavigatorAxis nav { 230, 15, 10, 100 };
    EXPECT_EQ(nav.TimeToX(10), 15);
    EXPECT_EQ(nav.TimeToX(110), 215);
    EXPECT_DOUBLE_EQ(nav.XToTime(115), 60.0);
    const My::NavigatorAxis empty { 230, 15, 0, 0 };
    EXPECT_EQ(empty.TimeToX(50), 15);
    EXPECT_EQ(empty.XToTime(50), 0.0);
}

TEST(RulerSteps, LabelsUseTwoDigitsAndAnF)
{
    EXPECT_EQ(My::RulerLabel(5), "05f");
    EXPECT_EQ(My::RulerLabel(120), "120f");
}

TEST(RulerSteps, StepIsTheSmallestOneTwoFiveValueThatFits)
{
    // Every label measures 60 pixels, so the widest label needs 64.
    const My::TextMeasurer measure = [](const std::string&) { return 60; };
    EXPECT_EQ(My::RulerStep(0, 64 / 3.2, measure), 5);
    EXPECT_EQ(My::RulerStep(0, 64 / 0.8, measure), 1);
    EXPECT_EQ(My::RulerStep(0, 64 / 13.0, measure), 20);
    EXPECT_EQ(My::RulerStep(0, 64 / 1.5, measure), 2);
    EXPECT_EQ(My::RulerStep(0, 64 / 99.0, measure), 100);
}

TEST(RulerSteps, NarrowLabelsStillReserveThirtyFivePixels)
{
    const My::TextMeasurer tiny = [](const std::string&) { return 1; };
    EXPECT_EQ(My::RulerStep(0, 35 / 3.0, tiny), 5);
}

TEST(RulerSteps, LongerLabelsAtLaterFramesWidenTheStep)
{
    // Label widths grow with their text length: 10 pixels per character.
    const My::TextMeasurer perChar = [](const std::string& s) { return int(s.size()) * 10; };
    const int early = My::RulerStep(0, 10, perChar);
    const int late = My::RulerStep(100000, 10, perChar);
    EXPECT_LE(early, late);
    EXPECT_EQ(late, 10);
}

TEST(RulerSteps, AbsurdScalesGiveStepOneOrAFiniteStep)
{
    const My::TextMeasurer measure = [](const std::string&) { return 60; };
    EXPECT_EQ(My::RulerStep(0, 0, measure), 1);
    EXPECT_EQ(My::RulerStep(0, -3, measure), 1);
    EXPECT_EQ(My::RulerStep(NAN, 5, measure), 1);
    EXPECT_GE(My::RulerStep(0, 1e-12, measure), 1);
}

TEST(RulerSteps, TicksCoverTheUpdateAreaWithinTheSequence)
{
    const My::TimeAxis axis { 500, 15, 5.0, 0.0 };
    EXPECT_EQ(My::RulerTicks(axis, 10, 0, 500, 0, 100),
        (std::vector<int> { 0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100 }));
    EXPECT_EQ(My::RulerTicks(axis, 10, 100, 160, 0, 100), (std::vector<int> { 10, 20, 30, 40 }));
    EXPECT_TRUE(My::RulerTicks(axis, 10, 0, 500, 0, 0).empty());
    EXPECT_TRUE(My::RulerTicks(My::TimeAxis { 20, 15, 1, 0 }, 10, 0, 20, 0, 100).empty());
}

} // namespace
