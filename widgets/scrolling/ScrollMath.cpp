#include "widgets/scrolling/ScrollMath.h"

#include <algorithm>
#include <limits>

namespace My {

namespace {

enum class decision { undecided, shown, hidden };

int saturate(long long v)
{
    return int(std::clamp<long long>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

} // namespace

CSize ScrollViewSize(CSize full, CSize bar, CSize content, const ScrollAxis& horz, const ScrollAxis& vert)
{
    int w = full.cx, h = full.cy;
    const int bw = bar.cx, bh = bar.cy;
    decision hs = decision::undecided, vs = decision::undecided;
    if (horz.always_shown) {
        hs = decision::shown;
        h -= bh;
    } else if (!horz.scrollable) {
        hs = decision::hidden;
    }
    if (vert.always_shown) {
        vs = decision::shown;
        w -= bw;
    } else if (!vert.scrollable) {
        vs = decision::hidden;
    }
    bool hs_late = false, vs_late = false;
    if (content.cx > w || content.cy > h) {
        if (hs == decision::undecided) {
            const int room = vert.scrollable ? w - bw : w;
            hs = content.cx > room ? decision::shown : decision::hidden;
            hs_late = hs == decision::shown;
        }
        if (vs == decision::undecided) {
            const int room = horz.scrollable ? h - bh : h;
            vs = content.cy > room ? decision::shown : decision::hidden;
            vs_late = vs == decision::shown;
        }
    }
    if (hs_late)
        h -= bh;
    if (vs_late)
        w -= bw;
    return CSize(w, h);
}

int ScrollLayoutExtent(int view, int content, ScrollAlign align, bool scrollable)
{
    if (content < view)
        return align == ScrollAlign::fill ? view : content;
    return scrollable ? content : view;
}

int ScrollClamp(int request, int view, int layout, ScrollAlign align)
{
    if (view <= layout)
        return std::clamp(request, 0, layout - view);
    switch (align) {
    case ScrollAlign::end:
        return layout - view;
    case ScrollAlign::centre:
        return (layout - view) / 2;
    default:
        return 0;
    }
}

int ScrollCodeTarget(UINT code, int position, int line, int page, int layout, int track)
{
    switch (code) {
    case SB_LINEUP:
        return saturate(static_cast<long long>(position) - line);
    case SB_LINEDOWN:
        return saturate(static_cast<long long>(position) + line);
    case SB_PAGEUP:
        return saturate(static_cast<long long>(position) - page);
    case SB_PAGEDOWN:
        return saturate(static_cast<long long>(position) + page);
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK:
        return track;
    case SB_TOP:
        return 0;
    case SB_BOTTOM:
        return saturate(static_cast<long long>(layout) - page);
    default:
        return position;
    }
}

SCROLLINFO ScrollBarInfo(int layout, int view, int position, bool always_shown)
{
    SCROLLINFO si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | (always_shown ? SIF_DISABLENOSCROLL : 0);
    si.nMin = 0;
    si.nMax = layout == 0 ? 1 : layout;
    si.nPage = UINT(std::max(0, view == layout ? view + 1 : view));
    si.nPos = std::max(0, position);
    return si;
}

ScrollAlign ScrollAlignOf(unsigned nibble)
{
    switch (nibble & 0x0F) {
    case 2:
        return ScrollAlign::end;
    case 3:
        return ScrollAlign::centre;
    case 4:
        return ScrollAlign::fill;
    default:
        return ScrollAlign::start;
    }
}

} // namespace My
