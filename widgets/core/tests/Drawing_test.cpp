#include <gtest/gtest.h>

#include "widgets/core/ClientDC.h"
#include "widgets/core/Drawing.h"
#include "widgets/core/Window.h"
#include "widgets/core/tests/FakeHost.h"
#include "widgets/core/tests/Probe.h"

using My::align_rect;
using My::place_rect;

TEST(Drawing, AlignRectWithCodeZeroLeavesTheRectangle)
{
    EXPECT_EQ(align_rect(CRect(3, 4, 13, 14), CRect(0, 0, 100, 50), 0), CRect(3, 4, 13, 14));
    EXPECT_EQ(align_rect(CRect(3, 4, 13, 14), CRect(0, 0, 100, 50), 0x44), CRect(3, 4, 13, 14));
}

TEST(Drawing, AlignRectMovesByEachNibble)
{
    const CRect r(3, 4, 13, 14), frame(20, 30, 61, 51);
    EXPECT_EQ(align_rect(r, frame, 0x11), CRect(20, 30, 30, 40));
    EXPECT_EQ(align_rect(r, frame, 0x22), CRect(51, 41, 61, 51));
    // Centred: (41 - 10) / 2 = 15, (21 - 10) / 2 = 5.
    EXPECT_EQ(align_rect(r, frame, 0x33), CRect(35, 35, 45, 45));
    EXPECT_EQ(align_rect(r, frame, 0x31), CRect(20, 35, 30, 45));
    EXPECT_EQ(align_rect(r, frame, 0x32), CRect(51, 35, 61, 45));
}

TEST(Drawing, AlignRectCentresTruncatingTowardZeroWhenTheFrameIsSmaller)
{
    // (4 - 9) / 2 = -2, not -3.
    EXPECT_EQ(align_rect(CRect(0, 0, 9, 9), CRect(0, 0, 4, 4), 0x33), CRect(-2, -2, 7, 7));
}

TEST(Drawing, PlaceRectAnchorsBySide)
{
    const CSize s(10, 6);
    EXPECT_EQ(place_rect(s, CPoint(50, 40), 0x11), CRect(50, 40, 60, 46));
    EXPECT_EQ(place_rect(s, CPoint(50, 40), 0x22), CRect(40, 34, 50, 40));
    EXPECT_EQ(place_rect(s, CPoint(50, 40), 0x33), CRect(45, 37, 55, 43));
    EXPECT_EQ(place_rect(s, CPoint(50, 40), 0x00), CRect(0, 0, 10, 6));
}

TEST(Drawing, MixColorsRoundsDownPerChannelAndClearsTheTopByte)
{
    EXPECT_EQ(My::mix_colors(RGB(255, 0, 3), RGB(0, 255, 4)), RGB(127, 127, 3));
    EXPECT_EQ(My::mix_colors(0xFF000000 | RGB(10, 20, 30), RGB(10, 20, 30)), RGB(10, 20, 30));
}

TEST(Drawing, ObjectScopeRestoresPenBrushAndFont)
{
    CDC dc;
    CPen* pen = dc.GetCurrentPen();
    CBrush* brush = dc.GetCurrentBrush();
    CFont* font = dc.GetCurrentFont();
    {
        My::DCObjectScope scope(dc);
        CPen p(PS_SOLID, 1, 0);
        CBrush b(RGB(1, 2, 3));
        CFont f;
        dc.SelectObject(&p);
        dc.SelectObject(&b);
        dc.SelectObject(&f);
    }
    EXPECT_EQ(dc.GetCurrentPen(), pen);
    EXPECT_EQ(dc.GetCurrentBrush(), brush);
    EXPECT_EQ(dc.GetCurrentFont(), font);
}

namespace {

struct Tree {
    test::Log log;
    My::Window<CWnd> host;
    std::shared_ptr<test::FakePeerState> peer = test::attach_fake(host);
    test::Panel panel { "p", log };
    test::Leaf leaf { "l", log };

    Tree()
    {
        host.AddChild(&panel);
        panel.SetBounds(CRect(10, 20, 110, 90));
        panel.AddChild(&leaf);
        leaf.SetBounds(CRect(5, 6, 50, 50));
    }
};

CRect clip_box(const CDC& dc)
{
    CRgn r;
    if (dc.GetClipRgn(&r) != 1)
        return CRect(-1, -1, -1, -1);
    RECT box;
    r.GetRgnBox(&box);
    return box;
}

} // namespace

TEST(Drawing, ClipRegionScopeIntersectsAndRestores)
{
    Tree t;
    CDC dc;
    {
        My::ClipRegionScope scope(dc, t.leaf, CRect(0, 0, 10, 10));
        EXPECT_EQ(clip_box(dc), CRect(15, 26, 25, 36));
    }
    EXPECT_EQ(clip_box(dc), CRect(-1, -1, -1, -1));
    CRgn outer;
    outer.CreateRectRgn(0, 0, 20, 30);
    dc.SelectClipRgn(&outer);
    {
        My::ClipRegionScope scope(dc, t.leaf, CRect(0, 0, 10, 10));
        EXPECT_EQ(clip_box(dc), CRect(15, 26, 20, 30));
        My::ClipRegionScope off(dc, t.leaf, CRect(0, 0, 1, 1), false);
        EXPECT_EQ(clip_box(dc), CRect(15, 26, 20, 30));
    }
    EXPECT_EQ(clip_box(dc), CRect(0, 0, 20, 30));
}

TEST(Drawing, ClientDCOfANestedControlDrawsAtItsPlaceAndRestoresTheOrigin)
{
    Tree t;
    auto dc = std::make_unique<My::ClientDC>(&t.leaf);
    EXPECT_EQ(dc->GetWindowOrg(), CPoint(-15, -26));
    EXPECT_EQ(dc->GetWindow(), &t.host);
    dc->SetWindowOrg(0, 0);
    dc.reset();
}

TEST(Drawing, XorLineOutsidePaintingIsKeptWithTheWindowAndDrawingItTwiceRemovesIt)
{
    Tree t;
    {
        My::ClientDC dc(&t.leaf);
        t.peer->invalid.clear();
        My::draw_xor_vline(dc, 3, 20, 2, RGB(255, 255, 255));
        EXPECT_TRUE(t.host.HasXorOverlay());
        ASSERT_EQ(t.peer->invalid.size(), 1u);
        EXPECT_EQ(t.peer->invalid[0], CRect(18, 28, 19, 47));
        My::draw_xor_vline(dc, 3, 2, 20, RGB(255, 255, 255));
    }
    EXPECT_FALSE(t.host.HasXorOverlay());
}

TEST(Drawing, DottedLineAndFrameLeaveTheDCsObjectsAlone)
{
    CDC dc;
    CPen* pen = dc.GetCurrentPen();
    const CPoint pos = dc.MoveTo(7, 8);
    My::draw_dotted_hline(dc, 5, 30, 10, RGB(1, 2, 3));
    My::draw_3d_frame(dc, CRect(0, 0, 10, 10), RGB(0, 0, 0), RGB(255, 255, 255));
    EXPECT_EQ(dc.GetCurrentPen(), pen);
    EXPECT_EQ(dc.MoveTo(0, 0), CPoint(7, 8));
    (void)pos;
}
