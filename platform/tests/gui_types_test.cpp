#include <gtest/gtest.h>

#include "platform/gui/colors.h"
#include "platform/gui/gdi.h"
#include "platform/gui/metrics.h"
#include "platform/gui/types.h"

TEST(gui_types, RectanglesExcludeRightAndBottom)
{
    const CRect r(10, 20, 30, 40);
    EXPECT_TRUE(r.PtInRect(CPoint(10, 20)));
    EXPECT_FALSE(r.PtInRect(CPoint(30, 39)));
    EXPECT_FALSE(r.PtInRect(CPoint(29, 40)));
    EXPECT_TRUE(CRect(5, 5, 5, 9).IsRectEmpty());
}

TEST(gui_types, IntersectionOfDisjointRectanglesIsEmptyAndFalse)
{
    CRect out(1, 2, 3, 4);
    EXPECT_FALSE(out.IntersectRect(CRect(0, 0, 10, 10), CRect(10, 0, 20, 10)));
    EXPECT_TRUE(out.IsRectNull());
    EXPECT_TRUE(out.IntersectRect(CRect(0, 0, 10, 10), CRect(5, -5, 20, 5)));
    EXPECT_EQ(out, CRect(5, 0, 10, 5));
}

TEST(gui_types, UnionIgnoresAnEmptyRectangle)
{
    CRect u;
    u.UnionRect(CRect(), CRect(3, 3, 5, 5));
    EXPECT_EQ(u, CRect(3, 3, 5, 5));
    u.UnionRect(CRect(0, 0, 1, 1), CRect(3, 3, 5, 5));
    EXPECT_EQ(u, CRect(0, 0, 5, 5));
}

TEST(gui_types, MouseCoordinatesKeepTheirSignThroughTheMessage)
{
    const LPARAM l = MAKELPARAM(-5, -32768);
    EXPECT_EQ(GET_X_LPARAM(l), -5);
    EXPECT_EQ(GET_Y_LPARAM(l), -32768);
    EXPECT_EQ(GET_X_LPARAM(MAKELPARAM(32767, 0)), 32767);
}

TEST(gui_types, ColourValuesAreRedInTheLowByte)
{
    EXPECT_EQ(RGB(0x12, 0x34, 0x56), 0x00563412u);
    EXPECT_EQ(GetRValue(0x00563412u), 0x12);
    EXPECT_EQ(GetGValue(0x00563412u), 0x34);
    EXPECT_EQ(GetBValue(0x00563412u), 0x56);
}

TEST(gui_types, WithoutDisplayTheSystemColoursAreTheLightPalette)
{
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), RGB(255, 255, 255));
    EXPECT_EQ(GetSysColor(COLOR_WINDOWTEXT), RGB(0, 0, 0));
    EXPECT_NE(GetSysColor(COLOR_BTNFACE), GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(GetSysColor(999), 0u);
}

TEST(gui_types, ScrollBarThicknessHasAFloor)
{
    EXPECT_GE(GetSystemMetrics(SM_CXVSCROLL), min_scroll_bar_thickness);
    EXPECT_GE(GetSystemMetrics(SM_CYHSCROLL), min_scroll_bar_thickness);
    EXPECT_EQ(GetSystemMetrics(12345), 0);
}

TEST(gui_types, PointFontSizeBecomesPixelsAtNinetySixPerInch)
{
    CFont f;
    ASSERT_TRUE(f.CreatePointFont(90, "DejaVu Sans"));
    LOGFONT lf;
    ASSERT_EQ(f.GetLogFont(&lf), 1);
    EXPECT_EQ(lf.lfHeight, -12);
    EXPECT_EQ(lf.lfFaceName, "DejaVu Sans");
    EXPECT_TRUE(f.DeleteObject());
    EXPECT_FALSE(f.DeleteObject());
    EXPECT_EQ(f.GetLogFont(&lf), 0);
}

TEST(gui_types, RegionsCombineAndReportTheirKind)
{
    CRgn a, b, c;
    a.CreateRectRgn(0, 0, 10, 10);
    b.CreateRectRgn(5, 5, 20, 20);
    EXPECT_EQ(c.CombineRgn(&a, &b, RGN_AND), SIMPLEREGION);
    RECT box;
    c.GetRgnBox(&box);
    EXPECT_EQ(CRect(box), CRect(5, 5, 10, 10));
    EXPECT_EQ(c.CombineRgn(&a, &b, RGN_OR), COMPLEXREGION);
    EXPECT_TRUE(c.PtInRegion(15, 15));
    EXPECT_FALSE(c.PtInRegion(15, 2));
    EXPECT_EQ(c.CombineRgn(&a, &a, RGN_DIFF), NULLREGION);
    EXPECT_EQ(c.CombineRgn(&a, nullptr, RGN_AND), ERROR);
    EXPECT_EQ(c.CombineRgn(&a, &b, 99), ERROR);
    CRgn none;
    EXPECT_EQ(none.GetRgnBox(&box), ERROR);
    EXPECT_EQ(none.OffsetRgn(1, 1), ERROR);
    a.OffsetRgn(100, 0);
    EXPECT_TRUE(a.PtInRegion(105, 5));
}
