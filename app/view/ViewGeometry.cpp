#include "app/view/ViewGeometry.h"

#include "platform/gui/messages.h"

#include <algorithm>
#include <cmath>

namespace My {

namespace {

constexpr int line_step = 5;
constexpr int max_snap_steps = 100;

// Position of one axis: centred when the client is larger than the
// workbench, else clamped.
int Place(int requested, int workbench, int client)
{
    if (client > workbench)
        return (workbench - client) / 2;
    return std::clamp(requested, 0, workbench - client);
}

int CeilSize(int pixels, double zoom)
{
    const double v = std::ceil(pixels * zoom);
    return v > 1e9 ? 1000000000 : static_cast<int>(v);
}

} // namespace

ViewGeometry::ViewGeometry() = default;

void ViewGeometry::SetWindowSize(int width, int height)
{
    m_window = CSize(std::max(width, 0), std::max(height, 0));
    UpdateBars();
    ScrollTo(m_scroll.x, m_scroll.y);
}

void ViewGeometry::SetScrollBarThickness(int vertical_width, int horizontal_height)
{
    m_vbarWidth = std::max(vertical_width, 0);
    m_hbarHeight = std::max(horizontal_height, 0);
    UpdateBars();
    ScrollTo(m_scroll.x, m_scroll.y);
}

void ViewGeometry::SetMargin(int margin)
{
    m_margin = std::max(margin, 0);
    UpdateBars();
    ScrollTo(m_scroll.x, m_scroll.y);
}

void ViewGeometry::SetImageSize(int width, int height)
{
    m_image = CSize(std::max(width, 0), std::max(height, 0));
    m_content = CSize(CeilSize(m_image.cx, m_zoom), CeilSize(m_image.cy, m_zoom));
    UpdateBars();
    ScrollTo(m_scroll.x, m_scroll.y);
}

CSize ViewGeometry::GetWorkbenchSize() const
{
    return CSize(m_content.cx + 2 * m_margin, m_content.cy + 2 * m_margin);
}

void ViewGeometry::UpdateBars()
{
    const CSize bench = GetWorkbenchSize();
    int width = m_window.cx;
    int height = m_window.cy;
    if (bench.cx > width)
        height = std::max(height - m_hbarHeight, 0);
    if (bench.cy > height)
        width = std::max(width - m_vbarWidth, 0);
    m_client = CSize(width, height);
    const auto bar = [](int range, int page, int pos) {
        ViewScrollBar info;
        info.range = range;
        info.page = page == range ? page + 1 : page;
        info.pos = pos;
        info.shown = range > info.page;
        return info;
    };
    m_hbar = bar(bench.cx, width, m_scroll.x);
    m_vbar = bar(bench.cy, height, m_scroll.y);
}

bool ViewGeometry::ScrollTo(int x, int y)
{
    const CSize bench = GetWorkbenchSize();
    const CPoint next(Place(x, bench.cx, m_client.cx), Place(y, bench.cy, m_client.cy));
    const bool changed = next != m_scroll;
    m_scroll = next;
    m_hbar.pos = m_scroll.x;
    m_vbar.pos = m_scroll.y;
    return changed;
}

bool ViewGeometry::Scroll(bool vertical, unsigned code, int thumb)
{
    const int client = vertical ? m_client.cy : m_client.cx;
    const int bench = vertical ? GetWorkbenchSize().cy : GetWorkbenchSize().cx;
    int pos = vertical ? m_scroll.y : m_scroll.x;
    switch (code) {
    case SB_LINELEFT:
        pos -= line_step;
        break;
    case SB_LINERIGHT:
        pos += line_step;
        break;
    case SB_PAGELEFT:
        pos -= client;
        break;
    case SB_PAGERIGHT:
        pos += client;
        break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK:
        pos = thumb;
        break;
    case SB_TOP:
        pos = 0;
        break;
    case SB_BOTTOM:
        pos = bench - client;
        break;
    default:
        break;
    }
    return vertical ? ScrollTo(m_scroll.x, pos) : ScrollTo(pos, m_scroll.y);
}

void ViewGeometry::SetZoomLimits(double minimum, double maximum)
{
    m_minZoom = minimum;
    m_maxZoom = std::max(minimum, maximum);
}

bool ViewGeometry::SetZoom(double z)
{
    if (!std::isfinite(z))
        return false;
    z = std::clamp(z, m_minZoom, m_maxZoom);
    if (z == m_zoom)
        return false;
    m_zoom = z;
    m_content = CSize(CeilSize(m_image.cx, m_zoom), CeilSize(m_image.cy, m_zoom));
    UpdateBars();
    ScrollTo(m_scroll.x, m_scroll.y);
    return true;
}

bool ViewGeometry::ZoomAt(double z, std::optional<CPoint> at)
{
    const CPoint p = at.value_or(GetClientCentre());
    // In unflipped image rows: the point under p stays under p.
    const double ix = (p.x + m_scroll.x - m_margin) / m_zoom;
    const double iy = (p.y + m_scroll.y - m_margin) / m_zoom;
    const bool changed = SetZoom(z);
    const long sx = std::lround(ix * m_zoom) + m_margin - p.x;
    const long sy = std::lround(iy * m_zoom) + m_margin - p.y;
    ScrollTo(static_cast<int>(std::clamp<long>(sx, -1000000000L, 1000000000L)),
        static_cast<int>(std::clamp<long>(sy, -1000000000L, 1000000000L)));
    return changed;
}

bool ViewGeometry::ZoomBy(double factor, std::optional<CPoint> at)
{
    return ZoomAt(factor * m_zoom, at);
}

bool ViewGeometry::FitOnScreen()
{
    bool changed = false;
    // Each fit may show or hide scroll bars and so change the client; three
    // rounds settle every case (bars on, off, and the final size).
    for (int round = 0; round < 3; ++round) {
        const auto factor = [&](int client, int image) {
            return image == 0 ? 1.0 : static_cast<double>(client - 2 * m_margin) / image;
        };
        const double fx = factor(m_client.cx, m_image.cx);
        const double fy = factor(m_client.cy, m_image.cy);
        const double z = std::clamp(std::min(fx, fy), m_minZoom, m_maxZoom);
        if (z == m_zoom)
            break;
        changed = SetZoom(z) || changed;
    }
    ScrollTo(m_scroll.x, m_scroll.y);
    return changed;
}

ImagePoint ViewGeometry::ClientToImage(CPoint p) const
{
    ImagePoint out;
    out.x = (p.x + m_scroll.x - m_margin) / m_zoom;
    out.y = (p.y + m_scroll.y - m_margin) / m_zoom;
    if (m_flip)
        out.y = m_image.cy - out.y;
    return out;
}

CPoint ViewGeometry::ImageToClient(ImagePoint p) const
{
    const double y = m_flip ? m_image.cy - p.y : p.y;
    return CPoint(static_cast<int>(std::lround(p.x * m_zoom)) - m_scroll.x + m_margin,
        static_cast<int>(std::lround(y * m_zoom)) - m_scroll.y + m_margin);
}

CRect ViewGeometry::ImageToClient(const ImageRect& r) const
{
    double top = r.top;
    double bottom = r.bottom;
    if (m_flip) {
        top = m_image.cy - r.bottom;
        bottom = m_image.cy - r.top;
    }
    const auto edge = [](double v) { return static_cast<int>(std::clamp(v, -1e9, 1e9)); };
    return CRect(edge(std::floor(r.left * m_zoom)) - m_scroll.x + m_margin,
        edge(std::floor(top * m_zoom)) - m_scroll.y + m_margin,
        edge(std::ceil(r.right * m_zoom)) - m_scroll.x + m_margin,
        edge(std::ceil(bottom * m_zoom)) - m_scroll.y + m_margin);
}

CRect ViewGeometry::GetImageClientRect() const
{
    return ImageToClient(
        ImageRect { 0, 0, static_cast<double>(m_image.cx), static_cast<double>(m_image.cy) });
}

bool ViewGeometry::SnapToPixels(const CRect& clip, CRect* client, CRect* image) const
{
    if (m_image.cx <= 0 || m_image.cy <= 0 || clip.IsRectEmpty())
        return false;
    // Each edge moves outward, pixel by pixel, to the client position whose
    // image coordinate lies closest to a whole pixel (left and top below it,
    // right and bottom above), so the stretched pixels line up with the
    // pixels drawn before.
    const auto best = [&](int start, int direction, bool vertical, bool down) {
        int chosen = start;
        double chosenDistance = 2.0;
        for (int k = 0; k <= max_snap_steps; ++k) {
            const int c = start + direction * k;
            const double v
                = vertical ? (c + m_scroll.y - m_margin) / m_zoom : (c + m_scroll.x - m_margin) / m_zoom;
            const double d = down ? v - std::floor(v) : std::ceil(v) - v;
            if (d < chosenDistance) {
                chosen = c;
                chosenDistance = d;
                if (d < 1e-9)
                    break;
            }
        }
        return chosen;
    };
    CRect c(best(clip.left, -1, false, true), best(clip.top, -1, true, true),
        best(clip.right, 1, false, false), best(clip.bottom, 1, true, false));
    const auto ix = [&](int v) { return (v + m_scroll.x - m_margin) / m_zoom; };
    const auto iy = [&](int v) { return (v + m_scroll.y - m_margin) / m_zoom; };
    const auto bound = [](double v) { return static_cast<int>(std::clamp(v, -1e9, 1e9)); };
    CRect img(bound(std::floor(ix(c.left) + 1e-9)), bound(std::floor(iy(c.top) + 1e-9)),
        bound(std::ceil(ix(c.right) - 1e-9)), bound(std::ceil(iy(c.bottom) - 1e-9)));
    const CRect whole(0, 0, m_image.cx, m_image.cy);
    CRect cut;
    if (!cut.IntersectRect(img, whole))
        return false;
    // The client rectangle of the whole pixels kept (display rows).
    c = CRect(bound(std::floor(cut.left * m_zoom)) - m_scroll.x + m_margin,
        bound(std::floor(cut.top * m_zoom)) - m_scroll.y + m_margin,
        bound(std::ceil(cut.right * m_zoom)) - m_scroll.x + m_margin,
        bound(std::ceil(cut.bottom * m_zoom)) - m_scroll.y + m_margin);
    if (m_flip) {
        // The source rows of a bottom-up image.
        const int top = m_image.cy - cut.bottom;
        cut.bottom = m_image.cy - cut.top;
        cut.top = top;
    }
    *client = c;
    *image = cut;
    return true;
}

} // namespace My
