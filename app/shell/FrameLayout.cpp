#include "app/shell/FrameLayout.h"

#include <algorithm>
#include <cstdlib>

void FrameLayout::SetClientSize(int width, int height)
{
    m_width = std::max(width, 0);
    m_height = std::max(height, 0);
}

void FrameLayout::SetToolStrip(int width, bool visible)
{
    m_toolWidth = std::max(width, 0);
    m_toolVisible = visible;
}

void FrameLayout::SetMinimums(int right_width, int bottom_height)
{
    m_rightMinimum = right_width;
    m_bottomMinimum = bottom_height;
}

CRect FrameLayout::Usable() const
{
    CRect r(0, 0, m_width, m_height);
    if (m_statusVisible)
        r.bottom -= kStatusHeight;
    if (m_toolVisible)
        r.left += m_toolWidth;
    return r;
}

bool FrameLayout::ArrangeBars(int right_size, int bottom_size, bool right_visible, bool bottom_visible)
{
    int r = right_size;
    int b = bottom_size;
    if (m_hasWindow) {
        const CRect usable = Usable();
        const int w = usable.Width();
        const int h = usable.Height();
        if (right_visible && r > w - 20)
            r = w - 20;
        if (bottom_visible && b > h - 20)
            b = h - 20;
        // A bar dragged close to the far edge takes all the room but the gap.
        if (std::abs(r - (w - kGap)) < 20)
            r = w - kGap;
        if (std::abs(b - (h - kGap)) < 20)
            b = h - kGap;
    }
    r = std::max({ r, 10, m_rightMinimum });
    b = std::max({ b, 10, m_bottomMinimum });
    if (r == m_rightSize && b == m_bottomSize && right_visible == m_rightVisible
        && bottom_visible == m_bottomVisible)
        return false;
    m_rightSize = r;
    m_bottomSize = b;
    m_rightVisible = right_visible;
    m_bottomVisible = bottom_visible;
    return true;
}

void FrameLayout::AutoHide()
{
    const int width = m_width - (m_toolVisible ? m_toolWidth : 0) - 20;
    if (m_rightSize > width) {
        if (m_rightVisible) {
            m_rightVisible = false;
            m_rightHiddenBySize = true;
        }
    } else if (m_rightHiddenBySize) {
        m_rightVisible = true;
        m_rightHiddenBySize = false;
    }
    const int height = m_height - (m_statusVisible ? kStatusHeight : 0) - 20;
    if (m_bottomSize > height) {
        if (m_bottomVisible) {
            m_bottomVisible = false;
            m_bottomHiddenBySize = true;
        }
    } else if (m_bottomHiddenBySize) {
        m_bottomVisible = true;
        m_bottomHiddenBySize = false;
    }
}

FrameLayout::Rects FrameLayout::Compute() const
{
    Rects out;
    CRect r(0, 0, m_width, m_height);
    if (m_statusVisible) {
        out.status = CRect(0, m_height - kStatusHeight, m_width, m_height);
        r.bottom -= kStatusHeight;
    }
    // The bottom bar spans the whole width; the tool strip, the view and the
    // right bar sit above its splitter.
    if (m_bottomVisible) {
        out.bottom = CRect(r.left, r.bottom - m_bottomSize, r.right, r.bottom);
        r.bottom -= m_bottomSize;
    }
    out.bottomSplitter = CRect(r.left, r.bottom - kGap, r.right, r.bottom);
    r.bottom -= kGap;
    if (m_toolVisible) {
        out.tools = CRect(r.left, r.top, r.left + m_toolWidth, r.bottom);
        r.left += m_toolWidth;
    }
    if (m_rightVisible) {
        out.right = CRect(r.right - m_rightSize, r.top, r.right, r.bottom);
        r.right -= m_rightSize;
    }
    out.rightSplitter = CRect(r.right - kGap, r.top, r.right, r.bottom);
    r.right -= kGap;
    out.display = CRect(r.left, r.bottom - m_displayHeight, r.right, r.bottom);
    r.bottom -= m_displayHeight;
    if (r.right < r.left)
        r.right = r.left;
    if (r.bottom < r.top)
        r.bottom = r.top;
    out.view = r;
    return out;
}
