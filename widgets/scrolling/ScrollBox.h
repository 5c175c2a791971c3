#pragma once

// A double-buffered window with its own horizontal and vertical scroll bars
// that scrolls a content larger than itself. Subclasses lay their content
// out (Layout) at the layout size with its origin at minus the scroll
// position. The scroll position is 0 on both axes until the window exists
// and has been placed once.

#include "platform/gui/wnd.h"
#include "widgets/core/EventDispatcher.h"
#include "widgets/core/Window.h"
#include "widgets/scrolling/ScrollMath.h"

namespace My {

class ScrollBox : public CustomWindow<CWnd>, public EventDispatcher {
public:
    class Axis {
    public:
        explicit Axis(ScrollBox& owner)
            : m_owner(owner)
        {
        }
        void SetScrollable(bool scrollable);
        void SetAlwaysShown(bool always);
        const ScrollAxis& Get() const { return m_axis; }

    private:
        ScrollBox& m_owner;
        ScrollAxis m_axis;
    };

    ScrollBox();

    Axis& Horizontal() { return m_horz; }
    Axis& Vertical() { return m_vert; }

    // Low nibble horizontal (2 right, 3 centred, 4 fill, other values
    // left), high nibble vertical (0x20 bottom, 0x30 centred, 0x40 fill,
    // other values top).
    void SetAlignment(unsigned code);
    void SetContentSize(int width, int height);
    void ScrollTo(int x, int y);

    CSize GetViewSize() const;
    CSize GetLayoutSize() const;
    CSize GetContentSize() const { return CSize(m_contentWidth, m_contentHeight); }
    CPoint GetScrollPos() const { return m_placed ? m_pos : CPoint(); }
    bool IsPlaced() const { return m_placed; }

    void BoundsChanged() override;
    void OnWindowCreate() override;

    static constexpr int line_step = 5;
    // Pixels per wheel notch (WM_MOUSEWHEEL scrolls vertically).
    static constexpr int wheel_step = 30;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    // The client size with the space of the bars now shown.
    CSize GetFullClientSize() const;
    void UpdateScrollBars();

private:
    void Refit();
    void OnScroll(bool horizontal, UINT code);

    CPoint m_pos;
    bool m_placed = false;
    Axis m_horz { *this };
    Axis m_vert { *this };
    int m_contentWidth = 0;
    int m_contentHeight = 0;
    unsigned m_alignment = 0;
    bool m_updating = false;
};

} // namespace My
