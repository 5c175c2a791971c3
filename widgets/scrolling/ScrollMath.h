#pragma once

// The arithmetic of scrolled areas: which scroll bars a content needs, the
// view left beside them, the size the content is laid out at, the clamped
// position, the reaction to each scroll code and the information a bar
// shows. Plain functions of plain values.

#include "platform/gui/messages.h"
#include "platform/gui/types.h"

namespace My {

struct ScrollAxis {
    bool scrollable = true;
    bool always_shown = false;
};

// Where a content smaller than the view sits on one axis.
enum class ScrollAlign { start, end, centre, fill };

// The view left of the full client size once the bars the content needs
// are taken off; `bar` is (vertical bar width, horizontal bar height).
CSize ScrollViewSize(CSize full, CSize bar, CSize content, const ScrollAxis& horz, const ScrollAxis& vert);
// The size the content is laid out at on one axis.
int ScrollLayoutExtent(int view, int content, ScrollAlign align, bool scrollable);
// The position for a requested one on one axis.
int ScrollClamp(int request, int view, int layout, ScrollAlign align);
// The requested position for a scroll code, before clamping; `line` is the
// step of a line, `page` the client extent, `track` the thumb's position.
int ScrollCodeTarget(UINT code, int position, int line, int page, int layout, int track);
// The bar's information: range 0 .. layout (1 for 0), page the view (one
// more when equal to the layout, so that nothing scrolls), the position when
// positive.
SCROLLINFO ScrollBarInfo(int layout, int view, int position, bool always_shown);

// The alignment of the low (horizontal) or high (vertical) nibble of a
// scroll box's code: 2 end, 3 centred, 4 fill, others start.
ScrollAlign ScrollAlignOf(unsigned nibble);

} // namespace My
