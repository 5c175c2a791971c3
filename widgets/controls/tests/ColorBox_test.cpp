#include <gtest/gtest.h>

#include "platform/gui/colors.h"
#include "platform/gui/messages.h"
#include "widgets/controls/ColorBox.h"
#include "widgets/core/Window.h"
#include "widgets/core/tests/FakeHost.h"

namespace {

class Box : public My::ColorBox {
public:
    std::optional<COLORREF> color;
    bool GetColor(COLORREF& c) const override
    {
        if (color)
            c = *color;
        return color.has_value();
    }
    void SetColor(COLORREF c) override { color = c; }
};

struct Responder {
    int calls = 0;
    COLORREF offered = 0xFFFFFFFF;
    Responder(int answer, COLORREF chosen)
    {
        CColorDialog::SetResponder([this, answer, chosen](COLORREF& c) {
            ++calls;
            offered = c;
            c = chosen;
            return answer;
        });
    }
    ~Responder() { CColorDialog::SetResponder({}); }
};

struct Hosted : ::testing::Test {
    My::Window<CWnd> host;
    std::shared_ptr<test::FakePeerState> peer = test::attach_fake(host);
    Box box;
    Hosted()
    {
        host.AddChild(&box);
        box.SetBounds(CRect(0, 0, 40, 20));
    }
    void click()
    {
        host.SendMessage(WM_MOUSEMOVE, 0, test::at(5, 5));
        host.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, test::at(5, 5));
        host.SendMessage(WM_LBUTTONUP, 0, test::at(5, 5));
    }
};

} // namespace

TEST_F(Hosted, CancellingTheDialogLeavesTheColour)
{
    box.color = RGB(1, 2, 3);
    Responder r(IDCANCEL, RGB(9, 9, 9));
    click();
    EXPECT_EQ(r.calls, 1);
    EXPECT_EQ(r.offered, RGB(1, 2, 3));
    EXPECT_EQ(*box.color, RGB(1, 2, 3));
}

TEST_F(Hosted, ChoosingAColourSetsItAndBlackIsOfferedWithoutOne)
{
    Responder r(IDOK, RGB(9, 8, 7));
    click();
    EXPECT_EQ(r.offered, RGB(0, 0, 0));
    ASSERT_TRUE(box.color);
    EXPECT_EQ(*box.color, RGB(9, 8, 7));
}

TEST_F(Hosted, DisabledBoxOrBoxInDisabledContainerDoesNotOpenTheDialog)
{
    Responder r(IDOK, RGB(9, 8, 7));
    box.SetEnabled(false);
    click();
    box.Click();
    EXPECT_EQ(r.calls, 0);
    EXPECT_FALSE(box.color);
}

TEST_F(Hosted, ReleasingOutsideTheBoxDoesNotClick)
{
    Responder r(IDOK, RGB(9, 8, 7));
    host.SendMessage(WM_MOUSEMOVE, 0, test::at(5, 5));
    host.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, test::at(5, 5));
    host.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, test::at(100, 5));
    EXPECT_EQ(box.GetState(), My::Button::Normal);
    host.SendMessage(WM_LBUTTONUP, 0, test::at(100, 5));
    EXPECT_EQ(r.calls, 0);
}

TEST(ColorBox, PreferredSizeIsTheSwatchWithItsFrame)
{
    Box box;
    EXPECT_EQ(box.GetPreferredSize(), CSize(13, 13));
    EXPECT_EQ(box.GetAlignment(), 0x31u);
}
