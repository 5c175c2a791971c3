#include <gtest/gtest.h>

#include "platform/gui/dc.h"

namespace {

CRect clip_box(const CDC& dc)
{
    CRgn r;
    if (dc.GetClipRgn(&r) != 1)
        return CRect(-1, -1, -1, -1);
    RECT b;
    r.GetRgnBox(&b);
    return b;
}

BITMAPINFO header(int width, int height, int bits)
{
    BITMAPINFO info {};
    info.bmiHeader.biSize = 40;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = WORD(bits);
    return info;
}

} // namespace

TEST(gui_dc, DCWithoutTargetKeepsItsStateAndDrawsNowhere)
{
    CDC dc;
    EXPECT_FALSE(dc.IsDrawing());
    EXPECT_EQ(dc.SetWindowOrg(5, 6), CPoint());
    EXPECT_EQ(dc.OffsetWindowOrg(1, 1), CPoint(5, 6));
    EXPECT_EQ(dc.GetWindowOrg(), CPoint(6, 7));
    EXPECT_EQ(dc.SetTextColor(RGB(1, 2, 3)), RGB(0, 0, 0));
    EXPECT_EQ(dc.SetBkMode(TRANSPARENT), OPAQUE);
    EXPECT_EQ(dc.SetROP2(R2_XORPEN), R2_COPYPEN);
    dc.FillSolidRect(CRect(0, 0, 10, 10), RGB(9, 9, 9));
    EXPECT_EQ(dc.GetPixel(1, 1), CLR_INVALID);
    EXPECT_EQ(dc.MoveTo(3, 4), CPoint());
    dc.LineTo(10, 4);
    EXPECT_EQ(dc.MoveTo(0, 0), CPoint(10, 4));
}

TEST(gui_dc, SelectedClippingRegionIsACopy)
{
    CDC dc;
    CRgn r;
    r.CreateRectRgn(0, 0, 10, 10);
    dc.SelectClipRgn(&r);
    r.OffsetRgn(50, 50);
    EXPECT_EQ(clip_box(dc), CRect(0, 0, 10, 10));
    dc.SelectClipRgn(nullptr);
    EXPECT_EQ(clip_box(dc), CRect(-1, -1, -1, -1));
}

TEST(gui_dc, IntersectClipRectTakesLogicalCoordinates)
{
    CDC dc;
    dc.SetWindowOrg(-10, -20);
    dc.IntersectClipRect(0, 0, 5, 5);
    EXPECT_EQ(clip_box(dc), CRect(10, 20, 15, 25));
    dc.IntersectClipRect(2, 2, 50, 50);
    EXPECT_EQ(clip_box(dc), CRect(12, 22, 15, 25));
    EXPECT_TRUE(dc.PtVisible(3, 3));
    EXPECT_FALSE(dc.PtVisible(0, 0));
    const CRect inside(4, 4, 8, 8), outside(30, 30, 40, 40);
    EXPECT_TRUE(dc.RectVisible(&inside));
    EXPECT_FALSE(dc.RectVisible(&outside));
    RECT box;
    dc.GetClipBox(&box);
    EXPECT_EQ(CRect(box), CRect(2, 2, 5, 5));
}

TEST(gui_dc, CombiningWithoutClippingSelectsOrRefuses)
{
    CDC dc;
    CRgn r;
    r.CreateRectRgn(1, 1, 4, 4);
    EXPECT_EQ(dc.SelectClipRgn(&r, RGN_DIFF), ERROR);
    EXPECT_EQ(clip_box(dc), CRect(-1, -1, -1, -1));
    EXPECT_EQ(dc.SelectClipRgn(&r, RGN_AND), SIMPLEREGION);
    EXPECT_EQ(clip_box(dc), CRect(1, 1, 4, 4));
    CRgn empty;
    EXPECT_EQ(dc.SelectClipRgn(&empty, RGN_AND), ERROR);
}

TEST(gui_dc, StretchDIBitsRefusesBadHeadersAndOperations)
{
    CDC dc;
    const std::uint32_t pixels[4] = {};
    BITMAPINFO ok = header(2, 2, 32);
    EXPECT_EQ(dc.StretchDIBits(0, 0, 2, 2, 0, 0, 2, 2, pixels, &ok, DIB_RGB_COLORS, SRCCOPY), 2);
    EXPECT_EQ(dc.StretchDIBits(0, 0, 2, 2, 0, 0, 2, 2, nullptr, &ok, DIB_RGB_COLORS, SRCCOPY), 0);
    EXPECT_EQ(dc.StretchDIBits(0, 0, 2, 2, 0, 0, 2, 2, pixels, nullptr, DIB_RGB_COLORS, SRCCOPY), 0);
    EXPECT_EQ(dc.StretchDIBits(0, 0, 2, 2, 0, 0, 2, 2, pixels, &ok, DIB_RGB_COLORS, 0x00EE0086), 0);
    BITMAPINFO eight = header(2, 2, 8);
    EXPECT_EQ(dc.StretchDIBits(0, 0, 2, 2, 0, 0, 2, 2, pixels, &eight, DIB_RGB_COLORS, SRCCOPY), 0);
    BITMAPINFO packed = header(2, 2, 32);
    packed.bmiHeader.biCompression = 3;
    EXPECT_EQ(dc.StretchDIBits(0, 0, 2, 2, 0, 0, 2, 2, pixels, &packed, DIB_RGB_COLORS, SRCCOPY), 0);
    BITMAPINFO absurd = header(2, std::numeric_limits<LONG>::min(), 32);
    EXPECT_EQ(dc.StretchDIBits(0, 0, 2, 2, 0, 0, 2, 2, pixels, &absurd, DIB_RGB_COLORS, SRCCOPY), 0);
    BITMAPINFO zero = header(0, 2, 32);
    EXPECT_EQ(dc.StretchDIBits(0, 0, 2, 2, 0, 0, 2, 2, pixels, &zero, DIB_RGB_COLORS, SRCCOPY), 0);
}

TEST(gui_dc, StretchDIBitsClipsTheSourceRectangleToTheBitmap)
{
    CDC dc;
    const std::uint32_t pixels[4] = {};
    BITMAPINFO info = header(2, -2, 32);
    // One row of the two lies inside; a rectangle wholly outside draws none.
    EXPECT_EQ(dc.StretchDIBits(0, 0, 2, 2, 0, 1, 2, 2, pixels, &info, DIB_RGB_COLORS, SRCCOPY), 1);
    EXPECT_EQ(dc.StretchDIBits(0, 0, 2, 2, 5, 0, 2, 2, pixels, &info, DIB_RGB_COLORS, SRCCOPY), 0);
    EXPECT_EQ(dc.StretchDIBits(0, 0, 0, 2, 0, 0, 2, 2, pixels, &info, DIB_RGB_COLORS, SRCCOPY), 0);
}

TEST(gui_dc, BitBltNeedsASourceAndCopiesOnly)
{
    CDC dc, src;
    EXPECT_FALSE(dc.BitBlt(0, 0, 1, 1, nullptr, 0, 0, SRCCOPY));
    EXPECT_FALSE(dc.BitBlt(0, 0, 1, 1, &src, 0, 0, 0x00660046));
    EXPECT_TRUE(dc.BitBlt(0, 0, 1, 1, &src, 0, 0, SRCCOPY));
}
