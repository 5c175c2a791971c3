#pragma once

// Drawing helpers shared by the controls: DC state scopes, alignment codes,
// colour mixing, 3-D frames and dotted lines.
//
// Alignment codes: one byte, low nibble horizontal (1 left, 2 right,
// 3 centred), high nibble vertical (0x10 top, 0x20 bottom, 0x30 centred);
// other values leave that direction alone. Common codes: 0x11 top-left,
// 0x31 left and vertically centred, 0x32 right and vertically centred,
// 0x33 centred both ways.

#include "platform/gui/dc.h"
#include "platform/gui/gdi.h"
#include "platform/gui/types.h"

namespace My {

class Control;

// Restores the pen, brush and font selected at construction.
class DCObjectScope {
public:
    explicit DCObjectScope(CDC& dc);
    ~DCObjectScope();
    DCObjectScope(const DCObjectScope&) = delete;
    DCObjectScope& operator=(const DCObjectScope&) = delete;

private:
    CDC& m_dc;
    CPen* m_pen;
    CBrush* m_brush;
    CFont* m_font;
};

// When enabled, narrows the DC's clipping to `rect` of `control` (its
// coordinates) for the scope, and restores the clipping afterwards.
class ClipRegionScope {
public:
    ClipRegionScope(CDC& dc, const Control& control, const CRect& rect, bool enabled = true);
    ~ClipRegionScope();
    ClipRegionScope(const ClipRegionScope&) = delete;
    ClipRegionScope& operator=(const ClipRegionScope&) = delete;

private:
    CDC* m_dc;
    CRgn m_saved;
    bool m_hadRegion = false;
};

// The rectangle moved into the frame by the alignment code.
CRect align_rect(const CRect& rect, const CRect& frame, unsigned code);
// A rectangle of the size placed at the anchor by the alignment code.
CRect place_rect(const CSize& size, const CPoint& anchor, unsigned code);
// The per-channel mean of two colours, rounded down; top byte 0.
COLORREF mix_colors(COLORREF a, COLORREF b);
COLORREF mix_sys_colors(int i, int j);
// A one-pixel frame: left and top in c1, right and bottom in c2, the
// bottom-left and top-right corner pixels in their mean.
void draw_3d_frame(CDC& dc, const CRect& rect, COLORREF c1, COLORREF c2);
// Every other pixel from the smaller end up to the larger (excluded).
void draw_dotted_hline(CDC& dc, int y, int x1, int x2, COLORREF color);
// Every other pixel XORed with the colour; drawing it twice restores the
// picture. Outside a window's painting the line is kept with the window and
// appears at its next painting (CWnd::ToggleXorLine).
void draw_xor_vline(CDC& dc, int x, int y1, int y2, COLORREF color);

} // namespace My
