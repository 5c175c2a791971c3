#include "app/timeline/TimeScaleControls.h"

#include "app/timeline/Timeline.h"
#include "app/timeline/tests/TimelineFixture.h"

#include <gtest/gtest.h>

namespace {

TEST(TimeSlider, IsLogarithmicBetweenTheFitScaleAndFifty)
{
    EXPECT_NEAR(My::SliderValueToTimeScale(0.5, 2), 10.0, 1e-9);
    EXPECT_NEAR(My::TimeScaleToSliderValue(10, 2), 0.5, 1e-9);
    EXPECT_NEAR(My::SliderValueToTimeScale(0, 2), 2.0, 1e-9);
    EXPECT_NEAR(My::SliderValueToTimeScale(1, 2), 50.0, 1e-9);
    EXPECT_EQ(My::TimeScaleToSliderValue(60, 50), 0.0);
    EXPECT_EQ(My::TimeScaleToSliderValue(10, 0), 0.0);
}

TEST(TimeSlider, ReadsAndMovesTheTimelinesScale)
{
    test::FakeSequence sequence;
    My::Timeline timeline;
    timeline.SetTimeWidth(500);
    timeline.SetSequence(&sequence);
    My::TimeSlider& slider = timeline.GetSlider();
    EXPECT_EQ(slider.GetValue(), 0.0);
    EXPECT_FALSE(slider.IsEnabled());
    EXPECT_FALSE(timeline.GetZoomIn().IsEnabled());
    EXPECT_FALSE(timeline.GetZoomOut().IsEnabled());
    sequence.Open(250); // fit scale 2
    slider.SetValue(0.5);
    EXPECT_NEAR(timeline.GetTimeScale(), 10.0, 1e-9);
    EXPECT_NEAR(slider.GetValue(), 0.5, 1e-9);
    EXPECT_TRUE(slider.IsEnabled());
    EXPECT_TRUE(timeline.GetZoomIn().IsEnabled());
    EXPECT_TRUE(timeline.GetZoomOut().IsEnabled());
    timeline.GetZoomOut().Click();
    EXPECT_NEAR(timeline.GetTimeScale(), 5.0, 1e-9);
    timeline.GetZoomIn().Click();
    EXPECT_NEAR(timeline.GetTimeScale(), 10.0, 1e-9);
}

TEST(TimeSlider, ShortSequenceReadsZeroAndIgnoresMoves)
{
    test::FakeSequence sequence;
    My::Timeline timeline;
    timeline.SetTimeWidth(500);
    timeline.SetSequence(&sequence);
    sequence.Open(8); // fit scale 62.5
    EXPECT_EQ(timeline.GetSlider().GetValue(), 0.0);
    timeline.GetSlider().SetValue(0.7);
    EXPECT_DOUBLE_EQ(timeline.GetTimeScale(), 62.5);
    EXPECT_FALSE(timeline.GetSlider().IsEnabled());
    EXPECT_FALSE(timeline.GetZoomIn().IsEnabled());
    EXPECT_FALSE(timeline.GetZoomOut().IsEnabled());
}

} // namespace
