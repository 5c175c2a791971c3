#include <gtest/gtest.h>

#include "widgets/core/Window.h"
#include "widgets/core/tests/FakeHost.h"
#include "widgets/layout/LabelledWidget.h"

namespace {

// Without a window system a text is 7 pixels per character and 14 high.
class Sized : public My::Widget {
public:
    explicit Sized(CSize s)
        : size(s)
    {
    }
    CSize size;
    CSize GetPreferredSize() const override { return size; }
};

} // namespace

TEST(LabelledWidget, WithoutAControlOnlyTheLabelCounts)
{
    My::LabelledWidget w(nullptr, "abc");
    EXPECT_EQ(w.GetPreferredSize(), CSize(21, 14));
}

TEST(LabelledWidget, WithoutALabelOnlyTheControlWithoutSpacing)
{
    Sized c(CSize(30, 20));
    My::LabelledWidget w(&c);
    EXPECT_EQ(w.GetPreferredSize(), CSize(30, 20));
    w.SetLabel("ab");
    EXPECT_EQ(w.GetPreferredSize(), CSize(30 + 4 + 14, 20));
}

TEST(LabelledWidget, LabelLeftControlRightInsideTheAlignedBlock)
{
    Sized c(CSize(30, 20));
    My::LabelledWidget w(&c, "ab");
    w.SetBounds(CRect(0, 0, 100, 40));
    // The 48 x 20 block sits left, vertically centred: (0, 10, 48, 30).
    EXPECT_EQ(w.GetLabelRect(), CRect(0, 13, 14, 27));
    EXPECT_EQ(c.GetBounds(), CRect(18, 10, 48, 30));
    My::LabelledWidget r(nullptr, "ab", 1);
    Sized d(CSize(30, 20));
    r.SetControl(&d);
    r.SetBounds(CRect(0, 0, 100, 40));
    EXPECT_EQ(d.GetBounds(), CRect(0, 10, 30, 30));
    EXPECT_EQ(r.GetLabelRect(), CRect(34, 13, 48, 27));
    // The old control leaves when another takes its place.
    Sized e(CSize(10, 10));
    r.SetControl(&e);
    EXPECT_EQ(d.GetContainer(), nullptr);
    EXPECT_EQ(e.GetContainer(), &r);
}

TEST(DoublyLabelledWidget, LabelsOnBothSidesOfACentredControl)
{
    Sized c(CSize(30, 20));
    My::DoublyLabelledWidget w(&c);
    w.SetLabel(0, "a");
    w.SetLabel(1, "bb");
    EXPECT_EQ(w.GetPreferredSize(), CSize(30 + 7 + 14 + 8, 20));
    w.SetBounds(CRect(0, 0, 100, 20));
    EXPECT_EQ(w.GetLabelRect(0), CRect(0, 3, 7, 17));
    EXPECT_EQ(w.GetLabelRect(1), CRect(45, 3, 59, 17));
    EXPECT_EQ(c.GetBounds(), CRect(14, 0, 44, 20));
}

TEST(StringContainer, AnEmptySlotNeitherLaysOutNorClaimsASize)
{
    Sized a(CSize(20, 10)), b(CSize(30, 16));
    My::StringContainer s;
    s.AddControl(&a);
    s.AddControl(nullptr);
    const CRect before = a.GetBounds();
    s.SetBounds(CRect(0, 0, 200, 30));
    EXPECT_EQ(s.GetPreferredSize(), CSize(0, 0));
    EXPECT_EQ(a.GetBounds(), before);
    s.SetControl(1, &b);
    EXPECT_EQ(s.GetPreferredSize(), CSize(2 * 10 + 50 + 8, 20));
    // The 78 x 20 block sits left, vertically centred at y = 5.
    EXPECT_EQ(a.GetBounds(), CRect(4, 10, 24, 20));
    EXPECT_EQ(b.GetBounds(), CRect(34, 7, 64, 23));
}

TEST(DoublyLabelledWidget, ALongLeftLabelPushesTheControlBesideIt)
{
    Sized c(CSize(20, 14));
    My::DoublyLabelledWidget w(&c);
    w.SetLabel(0, "Framerate:");
    w.SetLabel(1, "fps");
    w.SetBounds(CRect(0, 0, 200, 14));
    // Labels 70 and 21 wide: centred, the control would sit on the left one.
    EXPECT_EQ(w.GetLabelRect(0), CRect(0, 0, 70, 14));
    EXPECT_EQ(c.GetBounds(), CRect(74, 0, 94, 14));
    EXPECT_EQ(w.GetLabelRect(1), CRect(98, 0, 119, 14));
    // And a long right label pushes it the other way.
    w.SetLabel(0, "fps");
    w.SetLabel(1, "Framerate:");
    EXPECT_EQ(c.GetBounds(), CRect(25, 0, 45, 14));
    EXPECT_EQ(w.GetLabelRect(1), CRect(49, 0, 119, 14));
}
