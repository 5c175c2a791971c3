#pragma once

// The maths of the video view without a window: the image shown at a zoom
// factor inside a workbench (the zoomed image plus a margin on every side),
// scrolled inside the client area, or centred when smaller than it; the
// scroll bars the workbench needs, and the mapping between client and image
// points. The view holds one and applies what it answers to its window.

#include "platform/gui/types.h"

#include <optional>

namespace My {

// A point of the image in pixels (fractions inside a pixel).
struct ImagePoint {
    double x = 0;
    double y = 0;
};

// A rectangle of the image in pixels, right and bottom exclusive.
struct ImageRect {
    double left = 0;
    double top = 0;
    double right = 0;
    double bottom = 0;
};

// The state of one scroll bar: range 0..range, page, position; shown when
// the range exceeds the page.
struct ViewScrollBar {
    int range = 0;
    int page = 1;
    int pos = 0;
    bool shown = false;
};

class ViewGeometry {
public:
    ViewGeometry();

    // The window's client area without scroll bars, and the thickness of a
    // vertical bar (width) and of a horizontal one (height). The visible
    // client area is what the bars the workbench needs leave of it.
    void SetWindowSize(int width, int height);
    void SetScrollBarThickness(int vertical_width, int horizontal_height);
    CSize GetWindowSize() const { return m_window; }
    int GetScrollBarWidth() const { return m_vbarWidth; }
    int GetScrollBarHeight() const { return m_hbarHeight; }
    // The client area left by the scroll bars shown.
    CSize GetClientSize() const { return m_client; }
    CPoint GetClientCentre() const { return CPoint(m_client.cx / 2, m_client.cy / 2); }

    void SetMargin(int margin);
    int GetMargin() const { return m_margin; }

    // Image size in pixels; the content follows at the current zoom.
    void SetImageSize(int width, int height);
    CSize GetImageSize() const { return m_image; }
    bool HasContent() const { return m_content.cx > 0 && m_content.cy > 0; }
    CSize GetContentSize() const { return m_content; }
    CSize GetWorkbenchSize() const;
    void SetFlip(bool flip) { m_flip = flip; }

    CPoint GetScroll() const { return m_scroll; }
    // Per axis: centred (a negative position, the division truncated toward
    // zero) when the client is larger than the workbench, else clamped to
    // 0..workbench - client. Answers whether the position changed.
    bool ScrollTo(int x, int y);
    // A scroll-bar code (SB_LINELEFT ... SB_ENDSCROLL) on the horizontal
    // (vertical false) or vertical bar: lines of 5 pixels, pages of the
    // client size. Answers whether the position changed.
    bool Scroll(bool vertical, unsigned code, int thumb);
    ViewScrollBar GetScrollBar(bool vertical) const { return vertical ? m_vbar : m_hbar; }

    double GetZoom() const { return m_zoom; }
    double GetMinZoom() const { return m_minZoom; }
    double GetMaxZoom() const { return m_maxZoom; }
    void SetZoomLimits(double minimum, double maximum);
    // Clamps z to the limits (a value that is not finite is refused and
    // answers false); when it changes, the content becomes the ceiling of
    // the zoomed image size. Answers whether the zoom changed.
    bool SetZoom(double z);
    // The image point under `at` (the client centre when none) stays under it.
    bool ZoomAt(double z, std::optional<CPoint> at = std::nullopt);
    bool ZoomBy(double factor, std::optional<CPoint> at = std::nullopt);
    // The largest zoom that shows the whole image; the bars that go or come
    // change the client, so it fits again, at most three times in all.
    bool FitOnScreen();
    bool ActualPixels() { return ZoomAt(1.0); }

    ImagePoint ClientToImage(CPoint p) const;
    // Rounded half away from zero.
    CPoint ImageToClient(ImagePoint p) const;
    // Left and top by floor, right and bottom by ceiling.
    CRect ImageToClient(const ImageRect& r) const;
    // The client rectangle the whole image covers.
    CRect GetImageClientRect() const;

    // The part of a client rectangle (a paint's clip box) to draw, snapped
    // to whole image pixels and cut to the image: the client rectangle and
    // the image rectangle it shows. False when nothing of the image is in it.
    bool SnapToPixels(const CRect& clip, CRect* client, CRect* image) const;

private:
    void UpdateBars();

    CSize m_window;
    CSize m_client;
    int m_vbarWidth = 0;
    int m_hbarHeight = 0;
    int m_margin = 0;
    CSize m_image;
    CSize m_content;
    CPoint m_scroll;
    double m_zoom = 1.0;
    double m_minZoom = 0.01;
    double m_maxZoom = 100.0;
    bool m_flip = false;
    ViewScrollBar m_hbar;
    ViewScrollBar m_vbar;
};

} // namespace My
