// The playback frame-rate label: no division by zero, a window of about a
// second, one decimal.

#include "app/view/FrameRateMeter.h"

#include <gtest/gtest.h>

TEST(FrameRateMeter, DeliveriesAtTheSameMillisecondOrAloneShowNoRate)
{
    My::FrameRateMeter meter;
    EXPECT_EQ(meter.Deliver(1000), "fps");
    EXPECT_EQ(meter.Deliver(1000), "fps");
    EXPECT_EQ(meter.GetRate(), 0.0);
}

TEST(FrameRateMeter, RateCountsTheLastSecondWithOneDecimal)
{
    My::FrameRateMeter meter;
    std::string label;
    for (int i = 0; i < 100; ++i)
        label = meter.Deliver(5000 + i * 40);
    EXPECT_EQ(label, "fps (25.0 fps)");
    // A slower second replaces the older deliveries.
    for (int i = 1; i <= 30; ++i)
        label = meter.Deliver(5000 + 99 * 40 + i * 100);
    EXPECT_EQ(label, "fps (10.0 fps)");
    EXPECT_EQ(meter.Reset(), "fps");
    EXPECT_EQ(meter.Deliver(99999), "fps");
}
