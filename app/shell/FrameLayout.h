#pragma once

// The arrangement of the main frame's client area: a status strip at the
// bottom, above it the bottom panel bar over the whole width, then a 5-pixel
// splitter; above that a tool strip at the left, a panel bar at the right
// with its 5-pixel splitter, a display strip below the view, and the view in
// what remains. Plain state and arithmetic, tested headless; the
// frame moves its windows to the rectangles it computes.

#include "platform/gui/types.h"

class FrameLayout {
public:
    static constexpr int kStatusHeight = 16;
    static constexpr int kGap = 5;

    struct Rects {
        CRect status;
        CRect tools;
        CRect right;
        CRect rightSplitter;
        CRect bottom;
        CRect bottomSplitter;
        CRect display;
        CRect view;
    };

    void SetClientSize(int width, int height);
    void SetStatusVisible(bool visible) { m_statusVisible = visible; }
    bool IsStatusVisible() const { return m_statusVisible; }
    void SetToolStrip(int width, bool visible);
    void SetDisplayStripHeight(int height) { m_displayHeight = height; }
    // The display strip: `height` high just below the view while the frame
    // has a view; without one it takes no room and its rectangle is empty.
    void SetDisplayStrip(int height, bool has_view) { m_displayHeight = has_view && height > 0 ? height : 0; }
    // The smallest width of the right bar and height of the bottom bar.
    void SetMinimums(int right_width, int bottom_height);
    void SetHasWindow(bool has) { m_hasWindow = has; }
    void ClearHiddenBySize(bool right_side)
    {
        (right_side ? m_rightHiddenBySize : m_bottomHiddenBySize) = false;
    }

    // Clamps, snaps and stores the bar sizes and visibility; true when any
    // of the four values changed (the frame then lays itself out again).
    bool ArrangeBars(int right_size, int bottom_size, bool right_visible, bool bottom_visible);
    // After a size change: a bar that no longer fits is hidden (and marked
    // hidden by size); one hidden by size that fits again is shown.
    void AutoHide();
    Rects Compute() const;

    int GetRightSize() const { return m_rightSize; }
    int GetBottomSize() const { return m_bottomSize; }
    bool IsRightVisible() const { return m_rightVisible; }
    bool IsBottomVisible() const { return m_bottomVisible; }

private:
    CRect Usable() const;

    int m_width = 0;
    int m_height = 0;
    bool m_hasWindow = false;
    bool m_statusVisible = true;
    int m_toolWidth = 0;
    bool m_toolVisible = true;
    int m_displayHeight = 0;
    int m_rightMinimum = 10;
    int m_bottomMinimum = 10;
    int m_rightSize = 200;
    int m_bottomSize = 200;
    bool m_rightVisible = true;
    bool m_bottomVisible = true;
    bool m_rightHiddenBySize = false;
    bool m_bottomHiddenBySize = false;
};
