#pragma once

// A scroll-bar control placed as a widget in a control tree. It reports the
// user's scroll actions to its listeners (My::HorzScrollEvent,
// My::VertScrollEvent, with the full position) and does not move itself: a
// listener answers with SetScrollInfo. The bar starts disabled; information
// with SIF_DISABLENOSCROLL enables it while there is something to scroll.

#include "platform/gui/wnd.h"
#include "widgets/core/EventDispatcher.h"
#include "widgets/core/Widget.h"
#include "widgets/core/Window.h"

namespace My {

class ScrollBar : public Window<CScrollBar>, public Widget, public EventDispatcher {
public:
    // SBS_HORZ or SBS_VERT.
    explicit ScrollBar(DWORD orientation = SBS_HORZ);

    using CWnd::SetScrollInfo;
    // Stores the information and, once the window exists, applies it.
    void SetScrollInfo(const SCROLLINFO& info);
    const SCROLLINFO& GetStoredInfo() const { return m_info; }

    CRect GetBounds() const override { return Widget::GetBounds(); }
    bool IsVisible() const override { return Widget::IsVisible(); }
    CFont* GetFont() const override { return Widget::GetFont(); }
    void BoundsChanged() override;
    void OnShow(bool visible) override;
    void OnWindowCreate() override;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    SCROLLINFO m_info;
};

} // namespace My
