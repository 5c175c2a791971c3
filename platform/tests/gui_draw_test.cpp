// Drawing into memory DCs with the window system running (skipped without a
// display; CI runs it under Xvfb).

#include <cstdint>
#include <cstdlib>

#include <gtest/gtest.h>

#include "platform/gui/app.h"
#include "platform/gui/dc.h"
#include "platform/gui/gdi.h"

namespace {

struct Canvas {
    CBitmap bitmap;
    CDC dc;
    Canvas(int w, int h)
    {
        dc.CreateCompatibleDC(nullptr);
        bitmap.CreateCompatibleBitmap(&dc, w, h);
        dc.SelectObject(&bitmap);
        dc.FillSolidRect(CRect(0, 0, w, h), RGB(255, 255, 255));
    }
};

class gui_draw : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("GDK_SCALE", "1", 0);
        if (!platform::gui::start())
            GTEST_SKIP() << "no display";
    }
};

constexpr COLORREF white = RGB(255, 255, 255), black = RGB(0, 0, 0), red = RGB(255, 0, 0);

} // namespace

TEST_F(gui_draw, FillsLandAtTheWindowOriginAndInsideTheClipping)
{
    Canvas c(20, 20);
    ASSERT_TRUE(c.dc.IsDrawing());
    c.dc.SetWindowOrg(-5, -5);
    c.dc.FillSolidRect(CRect(0, 0, 2, 2), red);
    EXPECT_EQ(c.dc.GetPixel(0, 0), red);
    c.dc.SetWindowOrg(0, 0);
    EXPECT_EQ(c.dc.GetPixel(5, 5), red);
    EXPECT_EQ(c.dc.GetPixel(7, 5), white);
    c.dc.IntersectClipRect(10, 10, 12, 12);
    c.dc.FillSolidRect(CRect(0, 0, 20, 20), black);
    c.dc.SelectClipRgn(nullptr);
    EXPECT_EQ(c.dc.GetPixel(11, 11), black);
    EXPECT_EQ(c.dc.GetPixel(12, 11), white);
    EXPECT_EQ(c.dc.GetPixel(9, 9), white);
}

TEST_F(gui_draw, RectangleAndLinesCoverExactPixels)
{
    Canvas c(20, 20);
    CPen pen(PS_SOLID, 1, black);
    CBrush brush(red);
    c.dc.SelectObject(&pen);
    c.dc.SelectObject(&brush);
    c.dc.Rectangle(2, 2, 8, 8);
    EXPECT_EQ(c.dc.GetPixel(2, 2), black);
    EXPECT_EQ(c.dc.GetPixel(7, 7), black);
    EXPECT_EQ(c.dc.GetPixel(4, 4), red);
    EXPECT_EQ(c.dc.GetPixel(8, 8), white);
    c.dc.MoveTo(10, 15);
    c.dc.LineTo(15, 15);
    EXPECT_EQ(c.dc.GetPixel(10, 15), black);
    EXPECT_EQ(c.dc.GetPixel(14, 15), black);
    EXPECT_EQ(c.dc.GetPixel(15, 15), white);
}

TEST_F(gui_draw, XorLineInABitmapAlternatesAndDrawingItTwiceRestores)
{
    Canvas c(10, 10);
    CPen pen(PS_ALTERNATE, 1, white);
    c.dc.SelectObject(&pen);
    c.dc.SetROP2(R2_XORPEN);
    c.dc.MoveTo(3, 0);
    c.dc.LineTo(3, 6);
    EXPECT_EQ(c.dc.GetPixel(3, 0), black);
    EXPECT_EQ(c.dc.GetPixel(3, 1), white);
    EXPECT_EQ(c.dc.GetPixel(3, 4), black);
    EXPECT_EQ(c.dc.GetPixel(3, 6), white);
    c.dc.MoveTo(3, 0);
    c.dc.LineTo(3, 6);
    for (int y = 0; y < 10; ++y)
        EXPECT_EQ(c.dc.GetPixel(3, y), white) << y;
}

TEST_F(gui_draw, DeviceIndependentBitmapsStretchCrispInBothRowOrders)
{
    // 2 x 2 pixels, blue green red alpha; row 0 red, black; row 1 white, red.
    const std::uint8_t top_down[] = { 0, 0, 255, 0, 0, 0, 0, 0, 255, 255, 255, 0, 0, 0, 255, 0 };
    const std::uint8_t bottom_up[] = { 255, 255, 255, 0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 0, 0 };
    for (int order = 0; order < 2; ++order) {
        Canvas c(8, 8);
        BITMAPINFO info {};
        info.bmiHeader.biSize = 40;
        info.bmiHeader.biWidth = 2;
        info.bmiHeader.biHeight = order == 0 ? -2 : 2;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        c.dc.SetStretchBltMode(COLORONCOLOR);
        EXPECT_EQ(c.dc.StretchDIBits(0, 0, 4, 4, 0, 0, 2, 2, order == 0 ? top_down : bottom_up, &info,
                      DIB_RGB_COLORS, SRCCOPY),
            2);
        EXPECT_EQ(c.dc.GetPixel(0, 0), red) << order;
        EXPECT_EQ(c.dc.GetPixel(1, 1), red) << order;
        EXPECT_EQ(c.dc.GetPixel(2, 0), black) << order;
        EXPECT_EQ(c.dc.GetPixel(0, 2), white) << order;
        EXPECT_EQ(c.dc.GetPixel(3, 3), red) << order;
        EXPECT_EQ(c.dc.GetPixel(4, 4), white) << order;
    }
}

TEST_F(gui_draw, OneBitBitmapTakesItsTwoColours)
{
    Canvas c(8, 2);
    // One row of 8 pixels, 0b10100000, rows padded to 4 bytes; top-down.
    const std::uint8_t bits[] = { 0xA0, 0, 0, 0 };
    BITMAPINFO info {};
    info.bmiHeader.biSize = 40;
    info.bmiHeader.biWidth = 8;
    info.bmiHeader.biHeight = -1;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 1;
    info.bmiColors[0] = { 255, 0, 0, 0 }; // clear: blue
    info.bmiColors[1] = { 0, 255, 0, 0 }; // set: green
    EXPECT_EQ(c.dc.StretchDIBits(0, 0, 8, 1, 0, 0, 8, 1, bits, &info, DIB_RGB_COLORS, SRCCOPY), 1);
    EXPECT_EQ(c.dc.GetPixel(0, 0), RGB(0, 255, 0));
    EXPECT_EQ(c.dc.GetPixel(1, 0), RGB(0, 0, 255));
    EXPECT_EQ(c.dc.GetPixel(2, 0), RGB(0, 255, 0));
    EXPECT_EQ(c.dc.GetPixel(7, 0), RGB(0, 0, 255));
}

TEST_F(gui_draw, BitBltCopiesAndAlphaBlendMixes)
{
    Canvas src(4, 4), dst(8, 8);
    src.dc.FillSolidRect(CRect(0, 0, 4, 4), black);
    EXPECT_TRUE(dst.dc.BitBlt(1, 1, 2, 2, &src.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(dst.dc.GetPixel(1, 1), black);
    EXPECT_EQ(dst.dc.GetPixel(3, 3), white);
    BLENDFUNCTION half;
    half.SourceConstantAlpha = 128;
    EXPECT_TRUE(dst.dc.AlphaBlend(4, 4, 4, 4, &src.dc, 0, 0, 4, 4, half));
    const COLORREF mixed = dst.dc.GetPixel(5, 5);
    EXPECT_NEAR(GetRValue(mixed), 127, 2);
    EXPECT_EQ(GetRValue(mixed), GetGValue(mixed));
}

TEST_F(gui_draw, TextIsMeasuredAndDrawnInsideItsRectangle)
{
    Canvas c(120, 30);
    RECT calc { 0, 0, 0, 0 };
    c.dc.DrawText("Frame", &calc, DT_SINGLELINE | DT_CALCRECT);
    EXPECT_GT(calc.right, 10);
    EXPECT_GT(calc.bottom, 5);
    c.dc.SetTextColor(black);
    c.dc.SetBkMode(TRANSPARENT);
    RECT r { 10, 0, 110, 30 };
    c.dc.DrawText("Frame", &r, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
    int dark = 0, outside = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 120; ++x)
            if (GetRValue(c.dc.GetPixel(x, y)) < 128)
                (x >= 10 && x < 110 ? dark : outside) += 1;
    EXPECT_GT(dark, 10);
    EXPECT_EQ(outside, 0);
}
