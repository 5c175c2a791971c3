#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/gui/messages.h"
#include "widgets/core/Event.h"
#include "widgets/core/tests/FakeHost.h"
#include "widgets/scrolling/ListControl.h"
#include "widgets/scrolling/ScrollBar.h"
#include "widgets/scrolling/ScrollBox.h"
#include "widgets/scrolling/ScrollMath.h"

namespace {

const CSize bars(12, 12);
const My::ScrollAxis normal;

SCROLLINFO info(const CWnd& w, int bar)
{
    SCROLLINFO si;
    w.GetScrollInfo(bar, &si);
    return si;
}

struct Box : ::testing::Test {
    My::ScrollBox box;
    std::shared_ptr<test::FakePeerState> peer;
    void attach(int w = 200, int h = 100)
    {
        peer = test::attach_fake(box);
        peer->client = CRect(0, 0, w, h);
    }
    void scroll(UINT msg, UINT code) { box.SendMessage(msg, MAKEWPARAM(int(code), 0), 0); }
};

class Row : public My::RowControl {
public:
    explicit Row(int h) { SetHeight(h); }
    std::vector<UINT> keys;
    int updates = 0;
    void OnKeyDown(UINT key, UINT, UINT) override { keys.push_back(key); }
    void OnUpdateUI() override { ++updates; }
};

struct ListRig {
    My::ListControl list;
    std::shared_ptr<test::FakePeerState> peer;
    std::vector<std::unique_ptr<Row>> rows;
    explicit ListRig(int count = 20, int height = 10, int page = 45)
    {
        peer = test::attach_fake(list);
        peer->client = CRect(0, 0, 100, page);
        std::vector<My::RowControl*> raw;
        for (int i = 0; i < count; ++i) {
            rows.push_back(std::make_unique<Row>(height));
            raw.push_back(rows.back().get());
        }
        list.InsertRows(0, raw.data(), count);
        list.Layout();
    }
    ~ListRig() { list.RemoveAll(); }
    void key(UINT k) { list.OnKeyDown(k, 1, 0); }
};

struct List : ::testing::Test, ListRig { };

} // namespace

TEST(ScrollMath, ContentAsLargeAsTheViewNeedsNoBar)
{
    EXPECT_EQ(My::ScrollViewSize(CSize(200, 100), bars, CSize(200, 100), normal, normal), CSize(200, 100));
}

TEST(ScrollMath, OneBarsThicknessCanCallForTheOther)
{
    // Taller than the view: the vertical bar takes 12 pixels, and the
    // content's 195 pixels no longer fit beside it.
    EXPECT_EQ(My::ScrollViewSize(CSize(200, 100), bars, CSize(195, 150), normal, normal), CSize(188, 88));
    // 185 still fits beside the bar.
    EXPECT_EQ(My::ScrollViewSize(CSize(200, 100), bars, CSize(185, 150), normal, normal), CSize(188, 100));
}

TEST(ScrollMath, AlwaysShownAndUnscrollableAxes)
{
    My::ScrollAxis always;
    always.always_shown = true;
    My::ScrollAxis fixed;
    fixed.scrollable = false;
    EXPECT_EQ(My::ScrollViewSize(CSize(200, 100), bars, CSize(10, 10), always, normal), CSize(200, 88));
    EXPECT_EQ(My::ScrollViewSize(CSize(200, 100), bars, CSize(500, 10), fixed, normal), CSize(200, 100));
    // A fixed axis lays its content out at the view.
    EXPECT_EQ(My::ScrollLayoutExtent(200, 500, My::ScrollAlign::start, false), 200);
    EXPECT_EQ(My::ScrollLayoutExtent(200, 50, My::ScrollAlign::fill, true), 200);
    EXPECT_EQ(My::ScrollLayoutExtent(200, 50, My::ScrollAlign::start, true), 50);
}

TEST(ScrollMath, ClampingAndSmallContentAlignment)
{
    EXPECT_EQ(My::ScrollClamp(-7, 100, 300, My::ScrollAlign::start), 0);
    EXPECT_EQ(My::ScrollClamp(999, 100, 300, My::ScrollAlign::start), 200);
    EXPECT_EQ(My::ScrollClamp(50, 100, 40, My::ScrollAlign::end), -60);
    EXPECT_EQ(My::ScrollClamp(50, 100, 41, My::ScrollAlign::centre), -29);
    EXPECT_EQ(My::ScrollClamp(50, 100, 40, My::ScrollAlign::start), 0);
}

TEST(ScrollMath, ScrollCodesAndBarInformation)
{
    EXPECT_EQ(My::ScrollCodeTarget(SB_LINEDOWN, 10, 5, 80, 300, 0), 15);
    EXPECT_EQ(My::ScrollCodeTarget(SB_PAGEUP, 10, 5, 80, 300, 0), -70);
    EXPECT_EQ(My::ScrollCodeTarget(SB_BOTTOM, 10, 5, 80, 300, 0), 220);
    EXPECT_EQ(My::ScrollCodeTarget(SB_THUMBTRACK, 10, 5, 80, 300, 123456), 123456);
    EXPECT_EQ(My::ScrollCodeTarget(SB_LINEUP, INT_MIN, 5, 80, 300, 0), INT_MIN);
    const SCROLLINFO equal = My::ScrollBarInfo(100, 100, 0, false);
    EXPECT_EQ(equal.nPage, 101u);
    EXPECT_FALSE(can_scroll(equal));
    const SCROLLINFO empty = My::ScrollBarInfo(0, 100, -60, true);
    EXPECT_EQ(empty.nMax, 1);
    EXPECT_EQ(empty.nPos, 0);
    EXPECT_TRUE(empty.fMask & SIF_DISABLENOSCROLL);
}

TEST_F(Box, PositionIsZeroUntilTheWindowIsPlaced)
{
    box.SetContentSize(500, 500);
    box.ScrollTo(40, 40);
    EXPECT_FALSE(box.IsPlaced());
    EXPECT_EQ(box.GetScrollPos(), CPoint(0, 0));
    attach();
    box.ScrollTo(40, 40);
    EXPECT_EQ(box.GetScrollPos(), CPoint(40, 40));
}

TEST_F(Box, SmallContentAlignedRightSitsAtTheRightEdgeWithoutABar)
{
    attach();
    box.SetAlignment(0x02);
    box.SetContentSize(50, 50);
    EXPECT_EQ(box.GetScrollPos(), CPoint(-150, 0));
    EXPECT_FALSE(can_scroll(info(box, SB_HORZ)));
    EXPECT_FALSE(can_scroll(info(box, SB_VERT)));
}

TEST_F(Box, LineScrollingMovesFivePixelsAndStopsAtBothEnds)
{
    attach();
    box.SetContentSize(1000, 50);
    scroll(WM_HSCROLL, SB_LINERIGHT);
    EXPECT_EQ(box.GetScrollPos().x, 5);
    scroll(WM_HSCROLL, SB_LINELEFT);
    scroll(WM_HSCROLL, SB_LINELEFT);
    EXPECT_EQ(box.GetScrollPos().x, 0);
    scroll(WM_HSCROLL, SB_RIGHT);
    const int end = box.GetScrollPos().x;
    EXPECT_EQ(end, 1000 - box.GetViewSize().cx);
    scroll(WM_HSCROLL, SB_LINERIGHT);
    EXPECT_EQ(box.GetScrollPos().x, end);
    const SCROLLINFO si = info(box, SB_HORZ);
    EXPECT_EQ(si.nPos, end);
    EXPECT_EQ(si.nMax, 1000);
}

TEST_F(Box, ThumbDragsUseTheFullPosition)
{
    attach();
    box.SetContentSize(200000, 50);
    SCROLLINFO track;
    track.fMask = SIF_TRACKPOS;
    track.nTrackPos = 100000;
    box.SetScrollInfo(SB_HORZ, track);
    scroll(WM_HSCROLL, SB_THUMBTRACK);
    EXPECT_EQ(box.GetScrollPos().x, 100000);
}

TEST_F(Box, AlwaysShownAxisKeepsADisabledBarAndAFixedOneNone)
{
    box.Vertical().SetAlwaysShown(true);
    box.Horizontal().SetScrollable(false);
    attach();
    box.SetContentSize(500, 20);
    const SCROLLINFO v = info(box, SB_VERT);
    EXPECT_TRUE(v.fMask & SIF_DISABLENOSCROLL);
    EXPECT_FALSE(can_scroll(v));
    EXPECT_FALSE(can_scroll(info(box, SB_HORZ)));
    EXPECT_EQ(box.GetLayoutSize().cx, box.GetViewSize().cx);
}

TEST(ScrollBar, ReportsScrollActionsWithTheFullPosition)
{
    struct Listener : My::EventListener {
        std::vector<std::pair<UINT, std::uint32_t>> got;
        void OnEvent(My::Event& e) override
        {
            if (auto* s = dynamic_cast<My::HorzScrollEvent*>(&e))
                got.emplace_back(s->code, s->pos);
        }
    } listener;
    My::ScrollBar bar;
    auto peer = test::attach_fake(bar);
    bar.AddListener(&listener);
    SCROLLINFO track;
    track.fMask = SIF_TRACKPOS;
    track.nTrackPos = 70000;
    bar.CWnd::SetScrollInfo(SB_CTL, track);
    bar.SendMessage(WM_HSCROLL, MAKEWPARAM(SB_THUMBTRACK, 70000 & 0xFFFF), 0);
    bar.SendMessage(WM_HSCROLL, MAKEWPARAM(SB_LINERIGHT, 0), 0);
    ASSERT_EQ(listener.got.size(), 2u);
    EXPECT_EQ(listener.got[0].second, 70000u);
    EXPECT_EQ(listener.got[1].first, UINT(SB_LINERIGHT));
}

TEST_F(List, RowsLieEndToEndAndALookupFindsTheRowUnderAPoint)
{
    EXPECT_EQ(list.GetContentHeight(), 200);
    EXPECT_EQ(list.RowFromPoint(0), 0);
    EXPECT_EQ(list.RowFromPoint(9), 0);
    EXPECT_EQ(list.RowFromPoint(10), 1);
    EXPECT_EQ(list.RowFromPoint(199 - list.GetScrollPos()), 19);
    EXPECT_EQ(list.RowFromPoint(200), -1);
}

TEST_F(List, ChangingARowsHeightMovesOnlyTheRowsAfterIt)
{
    for (auto& r : rows)
        r->updates = 0;
    rows[4]->SetHeight(30);
    EXPECT_EQ(list.GetFirstDirty(), 4);
    list.Layout();
    EXPECT_EQ(rows[3]->updates, 0);
    EXPECT_EQ(rows[4]->updates, 1);
    EXPECT_EQ(rows[5]->GetTop(), 70);
    EXPECT_EQ(list.GetContentHeight(), 220);
}

TEST_F(List, SelectionIsPinnedToTheRows)
{
    list.Select(25);
    EXPECT_EQ(list.GetSelected(), 19);
    // Scrolled so that the last row's bottom is the page's bottom.
    EXPECT_EQ(list.GetScrollPos(), 200 - 45);
    list.Select(-1);
    EXPECT_EQ(list.GetSelected(), -1);
    list.Select(-7);
    EXPECT_EQ(list.GetSelected(), 0);
    EXPECT_EQ(list.GetScrollPos(), 0);
}

TEST_F(List, LineDownAtTheEndChangesNothing)
{
    list.SendMessage(WM_VSCROLL, MAKEWPARAM(SB_BOTTOM, 0), 0);
    EXPECT_EQ(list.GetScrollPos(), 155);
    list.SendMessage(WM_VSCROLL, MAKEWPARAM(SB_LINEDOWN, 0), 0);
    EXPECT_EQ(list.GetScrollPos(), 155);
    list.SendMessage(WM_VSCROLL, MAKEWPARAM(SB_LINEUP, 0), 0);
    EXPECT_EQ(list.GetScrollPos(), 145);
}

TEST_F(List, AWheelNotchScrollsThreeLinesAndStopsAtBothEnds)
{
    const int defaults = peer->default_calls;
    list.SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, -120), 0);
    EXPECT_EQ(list.GetScrollPos(), 30);
    // A finer wheel's part of a notch scrolls its part.
    list.SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, 40), 0);
    EXPECT_EQ(list.GetScrollPos(), 20);
    list.SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, -1200), 0);
    EXPECT_EQ(list.GetScrollPos(), 155);
    list.SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, 1200), 0);
    EXPECT_EQ(list.GetScrollPos(), 0);
    // The window system does not scroll it as well.
    EXPECT_EQ(peer->default_calls, defaults);
}

TEST_F(List, PagingStopsAtTheFirstAndLastRows)
{
    list.Select(17);
    key(VK_NEXT);
    EXPECT_EQ(list.GetSelected(), 19);
    list.Select(2);
    key(VK_PRIOR);
    EXPECT_EQ(list.GetSelected(), 0);
    list.Select(5);
    key(VK_NEXT);
    EXPECT_EQ(list.GetSelected(), 9);
}

TEST_F(List, ArrowsHomeAndEndMoveTheSelectionAndOtherKeysGoToTheRow)
{
    key(VK_DOWN);
    EXPECT_EQ(list.GetSelected(), -1);
    list.Select(0);
    key(VK_UP);
    EXPECT_EQ(list.GetSelected(), 0);
    key(VK_END);
    EXPECT_EQ(list.GetSelected(), 19);
    key(VK_DOWN);
    EXPECT_EQ(list.GetSelected(), 19);
    key(VK_HOME);
    EXPECT_EQ(list.GetSelected(), 0);
    key(VK_LEFT);
    EXPECT_EQ(rows[0]->keys, std::vector<UINT> { VK_LEFT });
}

TEST_F(List, RemovingRowsKeepsTheSelectionOnItsRowOrClearsIt)
{
    list.Select(19);
    list.RemoveRows(15, 5);
    EXPECT_EQ(list.GetSelected(), -1);
    key(VK_UP); // nothing selected: no row is reached
    list.Select(10);
    list.RemoveRows(0, 4);
    EXPECT_EQ(list.GetSelected(), 6);
    EXPECT_EQ(list.GetRow(6), rows[10].get());
    My::RowControl* more[] = { rows[0].get() };
    list.InsertRows(0, more, 1);
    EXPECT_EQ(list.GetSelected(), 7);
    key(VK_LEFT);
    EXPECT_EQ(rows[10]->keys, std::vector<UINT> { VK_LEFT });
    // Removed rows are detached and renumbered.
    EXPECT_EQ(rows[1]->GetList(), nullptr);
    EXPECT_EQ(rows[1]->GetIndex(), -1);
    EXPECT_EQ(list.GetRow(0)->GetIndex(), 0);
}

TEST_F(List, ARowAlreadyInAListOrMissingIsRefusedAndNothingChanges)
{
    Row extra(10);
    My::RowControl* twice[] = { &extra, &extra };
    EXPECT_THROW(list.InsertRows(0, twice, 2), std::invalid_argument);
    My::RowControl* present[] = { &extra, rows[3].get() };
    EXPECT_THROW(list.InsertRows(0, present, 2), std::invalid_argument);
    My::RowControl* missing[] = { nullptr };
    EXPECT_THROW(list.InsertRows(0, missing, 1), std::invalid_argument);
    EXPECT_EQ(list.GetRowCount(), 20);
    EXPECT_EQ(extra.GetList(), nullptr);
    EXPECT_EQ(list.GetChildren().size(), 20u);
}

TEST(ListControl, ContentShorterThanThePageKeepsPositionZero)
{
    ListRig s(3, 10, 45);
    s.list.SetScrollPos(30);
    EXPECT_EQ(s.list.GetScrollPos(), 0);
    const SCROLLINFO si = info(s.list, SB_VERT);
    EXPECT_FALSE(can_scroll(si));
}
