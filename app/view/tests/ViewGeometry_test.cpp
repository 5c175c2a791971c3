// The view's maths without a window: centring, scrolling, zooming at a
// point, fitting with scroll bars, snapping to pixels, and the zoom texts.

#include "app/view/ViewGeometry.h"
#include "app/view/ZoomMath.h"
#include "platform/gui/messages.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using My::ViewGeometry;

TEST(ViewGeometry, ImageSmallerThanTheWindowIsCentredAndDoesNotScroll)
{
    ViewGeometry g;
    g.SetWindowSize(400, 300);
    g.SetImageSize(101, 50);
    EXPECT_EQ(g.GetScroll(), CPoint((101 - 400) / 2, (50 - 300) / 2));
    EXPECT_FALSE(g.ScrollTo(500, 500));
    EXPECT_EQ(g.GetImageClientRect(), CRect(149, 125, 250, 175));
}

TEST(ViewGeometry, ScrollIsClampedToTheWorkbench)
{
    ViewGeometry g;
    g.SetWindowSize(100, 100);
    g.SetImageSize(300, 200);
    EXPECT_TRUE(g.ScrollTo(1000, -5));
    EXPECT_EQ(g.GetScroll().x, 300 - g.GetClientSize().cx);
    EXPECT_EQ(g.GetScroll().y, 0);
    EXPECT_TRUE(g.Scroll(true, SB_LINEDOWN, 0));
    EXPECT_EQ(g.GetScroll().y, 5);
    g.Scroll(true, SB_BOTTOM, 0);
    EXPECT_EQ(g.GetScroll().y, 200 - g.GetClientSize().cy);
}

TEST(ViewGeometry, ZoomRequestsOutsideTheLimitsOrNotFiniteStopAtTheLimitOrAreRefused)
{
    ViewGeometry g;
    g.SetImageSize(10, 10);
    g.SetZoom(1000);
    EXPECT_EQ(g.GetZoom(), 100.0);
    g.SetZoom(0.0001);
    EXPECT_EQ(g.GetZoom(), 0.01);
    EXPECT_FALSE(g.SetZoom(std::numeric_limits<double>::quiet_NaN()));
    EXPECT_FALSE(g.SetZoom(std::numeric_limits<double>::infinity()));
    EXPECT_EQ(g.GetZoom(), 0.01);
}

TEST(ViewGeometry, ZoomAtKeepsTheImagePixelUnderThePointer)
{
    ViewGeometry g;
    g.SetWindowSize(300, 200);
    g.SetImageSize(1000, 800);
    g.ScrollTo(120, 90);
    const CPoint at(77, 41);
    const My::ImagePoint before = g.ClientToImage(at);
    g.ZoomAt(3.0, at);
    const My::ImagePoint after = g.ClientToImage(at);
    EXPECT_NEAR(before.x, after.x, 1.0 / 3);
    EXPECT_NEAR(before.y, after.y, 1.0 / 3);
    EXPECT_EQ(g.GetContentSize(), CSize(3000, 2400));
}

TEST(ViewGeometry, FitOnScreenRefitsWhenTheScrollBarsGoAway)
{
    ViewGeometry g;
    g.SetScrollBarThickness(15, 15);
    g.SetWindowSize(400, 300);
    g.SetImageSize(800, 600);
    EXPECT_TRUE(g.GetScrollBar(true).shown);
    g.FitOnScreen();
    EXPECT_FALSE(g.GetScrollBar(true).shown);
    EXPECT_FALSE(g.GetScrollBar(false).shown);
    EXPECT_DOUBLE_EQ(g.GetZoom(), 0.5);
    EXPECT_EQ(g.GetImageClientRect(), CRect(0, 0, 400, 300));
}

TEST(ViewGeometry, MappingRoundsHalfAwayFromZeroAndRectanglesGrowOutward)
{
    ViewGeometry g;
    g.SetWindowSize(10, 10);
    g.SetImageSize(100, 100);
    g.SetZoom(1.5);
    g.ScrollTo(0, 0);
    EXPECT_EQ(g.ImageToClient(My::ImagePoint { 1.0, 3.0 }), CPoint(2, 5));
    EXPECT_EQ(g.ImageToClient(My::ImageRect { 1, 1, 2, 2 }), CRect(1, 1, 3, 3));
}

TEST(ViewGeometry, SnappedClipShowsWholePixelsInsideTheImage)
{
    ViewGeometry g;
    g.SetWindowSize(100, 100);
    g.SetImageSize(40, 40);
    g.SetZoom(4.0);
    g.ScrollTo(10, 10);
    CRect client;
    CRect image;
    ASSERT_TRUE(g.SnapToPixels(CRect(5, 5, 7, 7), &client, &image));
    EXPECT_EQ(image, CRect(3, 3, 5, 5));
    EXPECT_EQ(client, CRect(2, 2, 10, 10));
    EXPECT_FALSE(g.SnapToPixels(CRect(0, 0, 0, 0), &client, &image));
}

TEST(ZoomMath, PercentTextsAcceptOnlyAFiniteNumberAndAnOptionalPercentSign)
{
    using My::ZoomMath::ParsePercent;
    EXPECT_FALSE(ParsePercent("150x"));
    EXPECT_FALSE(ParsePercent(""));
    EXPECT_FALSE(ParsePercent("%"));
    EXPECT_FALSE(ParsePercent("1e400"));
    EXPECT_FALSE(ParsePercent("nan"));
    EXPECT_FALSE(ParsePercent("inf%"));
    EXPECT_FALSE(ParsePercent("1.5.2"));
    EXPECT_FALSE(ParsePercent("150  %"));
    EXPECT_DOUBLE_EQ(*ParsePercent("150"), 1.5);
    EXPECT_DOUBLE_EQ(*ParsePercent("150%"), 1.5);
    EXPECT_DOUBLE_EQ(*ParsePercent("150 %"), 1.5);
    EXPECT_EQ(My::ZoomMath::FormatPercent(1.0), "100%");
    EXPECT_EQ(My::ZoomMath::FormatPercent(0.125), "13%");
}

TEST(ZoomMath, SliderPutsOneHundredPercentAtAThirdAndGoesBeyondTheEnds)
{
    using namespace My::ZoomMath;
    EXPECT_NEAR(SliderValue(1.0), 1.0 / 3, 1e-12);
    EXPECT_DOUBLE_EQ(SliderValue(16.0), 1.0);
    EXPECT_GT(SliderValue(100.0), 1.0);
    EXPECT_LT(SliderValue(0.1), 0.0);
    EXPECT_EQ(SliderValue(2.0, 1.0, 1.0), 0.0);
    EXPECT_NEAR(SliderZoom(SliderValue(3.0)), 3.0, 1e-12);
    EXPECT_EQ(MenuZoom(3), 1.0);
    EXPECT_STREQ(MenuText(fit_on_screen_id), "Fit on Screen");
    EXPECT_EQ(MenuZoom(0), 0.0);
}
