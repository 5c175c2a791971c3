#include "platform/gui/dc.h"

#include <cmath>
#include <cstring>
#include <vector>

#include <wx/dcclient.h>
#include <wx/image.h>
#include <wx/rawbmp.h>

#include "platform/gui/app.h"
#include "platform/gui/detail/wx.h"

using platform::gui::detail::to_wx;

namespace {

CPen& default_pen()
{
    static CPen pen(PS_SOLID, 1, RGB(0, 0, 0));
    return pen;
}

CBrush& default_brush()
{
    static CBrush brush(RGB(255, 255, 255));
    return brush;
}

wxPen make_pen(const CPen& p)
{
    if (p.Style() == PS_NULL)
        return *wxTRANSPARENT_PEN;
    wxPen pen(to_wx(p.Color()), p.PenWidth(),
        p.Style() == PS_DOT        ? wxPENSTYLE_DOT
            : p.Style() == PS_DASH ? wxPENSTYLE_SHORT_DASH
                                   : wxPENSTYLE_SOLID);
    // Our lines and rectangles end on whole pixels: square ends, mitred joins.
    pen.SetCap(wxCAP_PROJECTING);
    pen.SetJoin(wxJOIN_MITER);
    return pen;
}

wxBrush make_brush(const CBrush& b)
{
    if (b.IsHollow() || !b.IsCreated())
        return *wxTRANSPARENT_BRUSH;
    return wxBrush(to_wx(b.Color()));
}

// Runs fn on the pixels of a memory DC's bitmap (physical pixels, RGB).
// The bitmap is taken out of the DC meanwhile, so the DC's state is set
// again afterwards.
template <class F> bool with_pixels(CDC::impl& d, F&& fn)
{
    if (!d.memory || !d.bitmap || !d.bitmap->Impl() || !d.bitmap->Impl()->bitmap.IsOk())
        return false;
    // The record itself, not a copy: raw access unshares a shared bitmap.
    wxBitmap& bmp = d.bitmap->Impl()->bitmap;
    d.memory->SelectObject(wxNullBitmap);
    {
        wxNativePixelData data(bmp);
        if (data)
            fn(data, bmp.GetScaleFactor());
    }
    d.memory->SelectObject(bmp);
    d.attach(d.memory);
    return true;
}

} // namespace

void CDC::impl::apply_clip()
{
    if (!dc)
        return;
    dc->DestroyClippingRegion();
    if (clip) {
        if (clip->IsEmpty()) {
            // An empty region clips everything away: clip to a pixel outside.
            dc->SetDeviceClippingRegion(wxRegion(-2, -2, 1, 1));
        } else {
            dc->SetDeviceClippingRegion(*clip);
        }
    }
}

void CDC::impl::attach(wxDC* d)
{
    dc = d;
    if (!dc)
        return;
    dc->SetLogicalOrigin(0, 0);
    dc->SetDeviceOrigin(0, 0);
    apply_clip();
}

CDC::CDC()
    : m_impl(std::make_unique<impl>())
{
}

CDC::~CDC() = default;

BOOL CDC::CreateCompatibleDC(CDC* dc)
{
    DeleteDC();
    m_impl->is_memory = true;
    m_impl->scale = dc ? dc->GetScaleFactor() : 1.0;
    if (platform::gui::running()) {
        auto mem = dc && dc->m_impl->dc ? std::make_unique<wxMemoryDC>(dc->m_impl->dc)
                                        : std::make_unique<wxMemoryDC>();
        m_impl->memory = mem.get();
        m_impl->owned = std::move(mem);
    }
    return TRUE;
}

BOOL CDC::DeleteDC()
{
    if (m_impl->memory && m_impl->bitmap)
        m_impl->memory->SelectObject(wxNullBitmap);
    auto fresh = std::make_unique<impl>();
    m_impl.swap(fresh);
    return TRUE;
}

bool CDC::IsDrawing() const
{
    return m_impl->dc != nullptr;
}

double CDC::GetScaleFactor() const
{
    return m_impl->scale;
}

CWnd* CDC::GetWindow() const
{
    return m_impl->window;
}

CPen* CDC::SelectObject(CPen* pen)
{
    CPen* old = GetCurrentPen();
    m_impl->pen = pen;
    return old;
}

CBrush* CDC::SelectObject(CBrush* brush)
{
    CBrush* old = GetCurrentBrush();
    m_impl->brush = brush;
    return old;
}

CFont* CDC::SelectObject(CFont* font)
{
    CFont* old = GetCurrentFont();
    m_impl->font = font;
    return old;
}

CBitmap* CDC::SelectObject(CBitmap* bitmap)
{
    CBitmap* old = m_impl->bitmap;
    if (!m_impl->is_memory)
        return nullptr;
    m_impl->bitmap = bitmap;
    if (m_impl->memory) {
        if (bitmap && bitmap->Impl() && bitmap->Impl()->bitmap.IsOk()) {
            m_impl->memory->SelectObject(bitmap->Impl()->bitmap);
            m_impl->scale = bitmap->Impl()->scale;
            m_impl->attach(m_impl->memory);
        } else {
            m_impl->memory->SelectObject(wxNullBitmap);
            m_impl->dc = nullptr;
        }
    }
    return old;
}

CPen* CDC::GetCurrentPen() const
{
    return m_impl->pen ? m_impl->pen : &default_pen();
}
CBrush* CDC::GetCurrentBrush() const
{
    return m_impl->brush ? m_impl->brush : &default_brush();
}
CFont* CDC::GetCurrentFont() const
{
    return m_impl->font ? m_impl->font : platform::gui::detail::stock_font();
}
CBitmap* CDC::GetCurrentBitmap() const
{
    return m_impl->bitmap;
}

CPoint CDC::SetWindowOrg(int x, int y)
{
    const CPoint old = m_impl->origin;
    m_impl->origin = CPoint(x, y);
    return old;
}

CPoint CDC::GetWindowOrg() const
{
    return m_impl->origin;
}

CPoint CDC::OffsetWindowOrg(int dx, int dy)
{
    return SetWindowOrg(m_impl->origin.x + dx, m_impl->origin.y + dy);
}

static int clip_kind(const std::optional<wxRegion>& clip)
{
    if (!clip)
        return SIMPLEREGION;
    CRgn r;
    r.CreateRectRgn(0, 0, 0, 0);
    r.Impl()->region = *clip;
    RECT box;
    return r.GetRgnBox(&box);
}

int CDC::SelectClipRgn(CRgn* rgn)
{
    if (!rgn) {
        m_impl->clip.reset();
    } else {
        if (!rgn->Impl())
            return ERROR;
        wxRegion copy;
        copy.Union(rgn->Impl()->region);
        m_impl->clip = copy;
    }
    m_impl->apply_clip();
    return m_impl->clip ? clip_kind(m_impl->clip) : NULLREGION;
}

int CDC::SelectClipRgn(CRgn* rgn, int mode)
{
    if (mode == RGN_COPY || (!m_impl->clip && mode == RGN_AND))
        return SelectClipRgn(rgn);
    if (!rgn || !rgn->Impl())
        return ERROR;
    if (!m_impl->clip) {
        // No clipping means the whole target; only the combinations that
        // add to it keep meaning without knowing the target's extent.
        if (mode == RGN_OR)
            return SIMPLEREGION;
        return ERROR;
    }
    wxRegion r = *m_impl->clip;
    const wxRegion& o = rgn->Impl()->region;
    switch (mode) {
    case RGN_AND:
        r.Intersect(o);
        break;
    case RGN_OR:
        r.Union(o);
        break;
    case RGN_XOR:
        r.Xor(o);
        break;
    case RGN_DIFF:
        r.Subtract(o);
        break;
    default:
        return ERROR;
    }
    m_impl->clip = r;
    m_impl->apply_clip();
    return clip_kind(m_impl->clip);
}

int CDC::GetClipRgn(CRgn* out) const
{
    if (!m_impl->clip || !out)
        return 0;
    if (!out->Impl())
        out->CreateRectRgn(0, 0, 0, 0);
    out->Impl()->region = wxRegion();
    out->Impl()->region.Union(*m_impl->clip);
    return 1;
}

int CDC::IntersectClipRect(int left, int top, int right, int bottom)
{
    CRgn r;
    r.CreateRectRgn(
        left - m_impl->origin.x, top - m_impl->origin.y, right - m_impl->origin.x, bottom - m_impl->origin.y);
    return SelectClipRgn(&r, RGN_AND);
}

static CRect target_extent(const CDC::impl& d)
{
    if (d.bitmap && d.bitmap->Impl())
        return CRect(0, 0, d.bitmap->Impl()->width, d.bitmap->Impl()->height);
    if (d.window) {
        CRect r;
        d.window->GetClientRect(&r);
        return r;
    }
    return CRect();
}

int CDC::GetClipBox(RECT* r) const
{
    if (!r)
        return ERROR;
    CRect box = target_extent(*m_impl);
    if (m_impl->clip) {
        const CRect c
            = m_impl->clip->IsEmpty() ? CRect() : platform::gui::detail::from_wx(m_impl->clip->GetBox());
        box = box.IsRectEmpty() ? c : (box & c);
    }
    box.OffsetRect(m_impl->origin);
    *r = box;
    return box.IsRectEmpty() ? NULLREGION : SIMPLEREGION;
}

BOOL CDC::PtVisible(int x, int y) const
{
    const CPoint d(x - m_impl->origin.x, y - m_impl->origin.y);
    if (m_impl->clip)
        return m_impl->clip->Contains(d.x, d.y) == wxInRegion;
    const CRect e = target_extent(*m_impl);
    return e.IsRectEmpty() || e.PtInRect(d);
}

BOOL CDC::RectVisible(const RECT* r) const
{
    if (!r)
        return FALSE;
    CRect d(*r);
    d.OffsetRect(-m_impl->origin.x, -m_impl->origin.y);
    if (d.IsRectEmpty())
        return FALSE;
    if (m_impl->clip)
        return m_impl->clip->Contains(to_wx(d)) != wxOutRegion;
    const CRect e = target_extent(*m_impl);
    return e.IsRectEmpty() || !(e & d).IsRectEmpty();
}

COLORREF CDC::SetTextColor(COLORREF c)
{
    std::swap(m_impl->text, c);
    return c;
}
COLORREF CDC::GetTextColor() const
{
    return m_impl->text;
}
COLORREF CDC::SetBkColor(COLORREF c)
{
    std::swap(m_impl->bk, c);
    return c;
}
COLORREF CDC::GetBkColor() const
{
    return m_impl->bk;
}
int CDC::SetBkMode(int mode)
{
    std::swap(m_impl->bk_mode, mode);
    return mode;
}
int CDC::GetBkMode() const
{
    return m_impl->bk_mode;
}
int CDC::SetROP2(int mode)
{
    std::swap(m_impl->rop2, mode);
    return mode;
}
int CDC::GetROP2() const
{
    return m_impl->rop2;
}
int CDC::SetStretchBltMode(int mode)
{
    std::swap(m_impl->stretch_mode, mode);
    return mode;
}

void CDC::FillSolidRect(const RECT& r, COLORREF c)
{
    if (!m_impl->dc || r.right <= r.left || r.bottom <= r.top)
        return;
    wxDC& dc = *m_impl->dc;
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(to_wx(c)));
    dc.DrawRectangle(r.left - m_impl->origin.x, r.top - m_impl->origin.y, r.right - r.left, r.bottom - r.top);
    m_impl->bk = c;
}

void CDC::FillSolidRect(int x, int y, int cx, int cy, COLORREF c)
{
    FillSolidRect(CRect(x, y, x + cx, y + cy), c);
}

void CDC::FillRect(const RECT* r, CBrush* brush)
{
    if (!r || !brush || brush->IsHollow() || !m_impl->dc || r->right <= r->left || r->bottom <= r->top)
        return;
    wxDC& dc = *m_impl->dc;
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(make_brush(*brush));
    dc.DrawRectangle(
        r->left - m_impl->origin.x, r->top - m_impl->origin.y, r->right - r->left, r->bottom - r->top);
}

void CDC::FrameRect(const RECT* r, CBrush* brush)
{
    if (!r || !brush || brush->IsHollow())
        return;
    const CRect c(*r);
    if (c.IsRectEmpty())
        return;
    const COLORREF col = brush->Color();
    FillSolidRect(CRect(c.left, c.top, c.right, c.top + 1), col);
    FillSolidRect(CRect(c.left, c.bottom - 1, c.right, c.bottom), col);
    FillSolidRect(CRect(c.left, c.top, c.left + 1, c.bottom), col);
    FillSolidRect(CRect(c.right - 1, c.top, c.right, c.bottom), col);
}

void CDC::Draw3dRect(const RECT& r, COLORREF top_left, COLORREF bottom_right)
{
    const CRect c(r);
    if (c.IsRectEmpty())
        return;
    const COLORREF keep = m_impl->bk;
    FillSolidRect(CRect(c.left, c.top, c.right - 1, c.top + 1), top_left);
    FillSolidRect(CRect(c.left, c.top, c.left + 1, c.bottom - 1), top_left);
    FillSolidRect(CRect(c.right - 1, c.top, c.right, c.bottom), bottom_right);
    FillSolidRect(CRect(c.left, c.bottom - 1, c.right, c.bottom), bottom_right);
    m_impl->bk = keep;
}

BOOL CDC::Rectangle(int left, int top, int right, int bottom)
{
    if (!m_impl->dc)
        return TRUE;
    wxDC& dc = *m_impl->dc;
    const CPen& p = *GetCurrentPen();
    const CBrush& b = *GetCurrentBrush();
    const int x = left - m_impl->origin.x, y = top - m_impl->origin.y;
    const int w = right - left, h = bottom - top;
    if (w <= 0 || h <= 0)
        return TRUE;
    if (!b.IsHollow())
        FillSolidRect(CRect(left, top, right, bottom), b.Color());
    if (p.Style() != PS_NULL) {
        // The outline lies inside the rectangle, one pen width wide.
        const int t = p.PenWidth();
        dc.SetPen(*wxTRANSPARENT_PEN);
        dc.SetBrush(wxBrush(to_wx(p.Color())));
        dc.DrawRectangle(x, y, w, std::min(t, h));
        dc.DrawRectangle(x, y + h - std::min(t, h), w, std::min(t, h));
        dc.DrawRectangle(x, y, std::min(t, w), h);
        dc.DrawRectangle(x + w - std::min(t, w), y, std::min(t, w), h);
    }
    return TRUE;
}

BOOL CDC::Ellipse(int left, int top, int right, int bottom)
{
    if (!m_impl->dc)
        return TRUE;
    m_impl->dc->SetPen(make_pen(*GetCurrentPen()));
    m_impl->dc->SetBrush(make_brush(*GetCurrentBrush()));
    m_impl->dc->DrawEllipse(left - m_impl->origin.x, top - m_impl->origin.y, right - left, bottom - top);
    return TRUE;
}

CPoint CDC::MoveTo(int x, int y)
{
    const CPoint old = m_impl->pos;
    m_impl->pos = CPoint(x, y);
    return old;
}

namespace {

// The pixels of a line from a to b, b excluded (Bresenham), every other one
// when `alternate`.
template <class F> void line_pixels(CPoint a, CPoint b, bool alternate, F&& fn)
{
    const int dx = std::abs(b.x - a.x), dy = -std::abs(b.y - a.y);
    const int sx = a.x < b.x ? 1 : -1, sy = a.y < b.y ? 1 : -1;
    int err = dx + dy;
    int n = 0;
    while (!(a.x == b.x && a.y == b.y)) {
        if (!alternate || n % 2 == 0)
            fn(a.x, a.y);
        ++n;
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            a.x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            a.y += sy;
        }
    }
}

} // namespace

BOOL CDC::LineTo(int x, int y)
{
    const CPoint from = m_impl->pos;
    const CPoint to(x, y);
    m_impl->pos = to;
    const CPen& p = *GetCurrentPen();
    if (p.Style() == PS_NULL)
        return TRUE;
    const bool alternate = p.Style() == PS_ALTERNATE;
    if (m_impl->rop2 == R2_XORPEN) {
        if (m_impl->is_memory) {
            const CPoint o = m_impl->origin;
            const std::optional<wxRegion> clip = m_impl->clip;
            const COLORREF c = p.Color();
            with_pixels(*m_impl, [&](wxNativePixelData& data, double scale) {
                const int s = std::max(1, int(std::lround(scale)));
                const int w = data.GetWidth(), h = data.GetHeight();
                wxNativePixelData::Iterator it(data);
                line_pixels(from - o, to - o, alternate, [&](int px, int py) {
                    if (clip && clip->Contains(px, py) != wxInRegion)
                        return;
                    for (int j = 0; j < s; ++j)
                        for (int i = 0; i < s; ++i) {
                            const int X = px * s + i, Y = py * s + j;
                            if (X < 0 || Y < 0 || X >= w || Y >= h)
                                continue;
                            it.MoveTo(data, X, Y);
                            it.Red() ^= GetRValue(c);
                            it.Green() ^= GetGValue(c);
                            it.Blue() ^= GetBValue(c);
                        }
                });
            });
        } else if (m_impl->window) {
            m_impl->window->ToggleXorLine(from - m_impl->origin, to - m_impl->origin, p.Color(), alternate);
        }
        return TRUE;
    }
    if (!m_impl->dc)
        return TRUE;
    if (alternate) {
        line_pixels(from, to, true, [&](int px, int py) { SetPixel(px, py, p.Color()); });
        return TRUE;
    }
    if (p.PenWidth() == 1 && (from.x == to.x || from.y == to.y)) {
        // Axis-parallel one-pixel lines as rectangles: exact pixels.
        CRect r(
            std::min(from.x, to.x), std::min(from.y, to.y), std::max(from.x, to.x), std::max(from.y, to.y));
        if (from.x == to.x)
            r.right = r.left + 1;
        if (from.y == to.y)
            r.bottom = r.top + 1;
        if (from.x > to.x)
            r.OffsetRect(1, 0);
        if (from.y > to.y)
            r.OffsetRect(0, 1);
        const COLORREF keep = m_impl->bk;
        FillSolidRect(r, p.Color());
        m_impl->bk = keep;
        return TRUE;
    }
    m_impl->dc->SetPen(make_pen(p));
    m_impl->dc->DrawLine(from.x - m_impl->origin.x, from.y - m_impl->origin.y, to.x - m_impl->origin.x,
        to.y - m_impl->origin.y);
    return TRUE;
}

BOOL CDC::Polyline(const POINT* points, int count)
{
    if (!points || count < 2)
        return FALSE;
    const CPoint keep = m_impl->pos;
    MoveTo(points[0].x, points[0].y);
    for (int i = 1; i < count; ++i)
        LineTo(points[i].x, points[i].y);
    m_impl->pos = keep;
    return TRUE;
}

COLORREF CDC::SetPixel(int x, int y, COLORREF c)
{
    if (!m_impl->dc)
        return CLR_INVALID;
    const COLORREF keep = m_impl->bk;
    FillSolidRect(CRect(x, y, x + 1, y + 1), c);
    m_impl->bk = keep;
    return c;
}

COLORREF CDC::GetPixel(int x, int y) const
{
    COLORREF result = CLR_INVALID;
    const CPoint d(x - m_impl->origin.x, y - m_impl->origin.y);
    with_pixels(*m_impl, [&](wxNativePixelData& data, double scale) {
        const int s = std::max(1, int(std::lround(scale)));
        if (d.x < 0 || d.y < 0 || d.x * s >= data.GetWidth() || d.y * s >= data.GetHeight())
            return;
        wxNativePixelData::Iterator it(data);
        it.MoveTo(data, d.x * s, d.y * s);
        result = RGB(it.Red(), it.Green(), it.Blue());
    });
    return result;
}

static void set_text_state(CDC::impl& d, const CDC& self)
{
    wxDC& dc = *d.dc;
    dc.SetFont(platform::gui::detail::native_font(*self.GetCurrentFont()));
    dc.SetTextForeground(to_wx(d.text));
    dc.SetTextBackground(to_wx(d.bk));
    dc.SetBackgroundMode(d.bk_mode == OPAQUE ? wxBRUSHSTYLE_SOLID : wxBRUSHSTYLE_TRANSPARENT);
}

BOOL CDC::TextOut(int x, int y, const std::string& text)
{
    if (!m_impl->dc)
        return TRUE;
    set_text_state(*m_impl, *this);
    m_impl->dc->DrawText(wxString::FromUTF8(text), x - m_impl->origin.x, y - m_impl->origin.y);
    return TRUE;
}

CSize CDC::GetTextExtent(const std::string& text) const
{
    if (!platform::gui::running())
        return CSize(int(text.size()) * 7, 14);
    wxCoord w = 0, h = 0;
    const wxFont& f = platform::gui::detail::native_font(*GetCurrentFont());
    if (m_impl->dc) {
        m_impl->dc->GetTextExtent(wxString::FromUTF8(text), &w, &h, nullptr, nullptr, &f);
    } else {
        wxMemoryDC probe;
        probe.GetTextExtent(wxString::FromUTF8(text), &w, &h, nullptr, nullptr, &f);
    }
    return CSize(w, h);
}

BOOL CDC::GetTextMetrics(TEXTMETRIC* tm) const
{
    if (!tm)
        return FALSE;
    if (!platform::gui::running()) {
        *tm = TEXTMETRIC { 14, 11, 3, 7 };
        return TRUE;
    }
    wxMemoryDC probe;
    wxDC& dc = m_impl->dc ? *m_impl->dc : probe;
    dc.SetFont(platform::gui::detail::native_font(*GetCurrentFont()));
    const wxFontMetrics m = dc.GetFontMetrics();
    tm->tmHeight = m.height;
    tm->tmAscent = m.ascent;
    tm->tmDescent = m.descent;
    tm->tmAveCharWidth = m.averageWidth;
    return TRUE;
}

int CDC::DrawText(const std::string& text, RECT* r, UINT format)
{
    if (!r)
        return 0;
    std::vector<std::string> lines;
    if (format & DT_SINGLELINE) {
        lines.push_back(text);
    } else {
        std::size_t start = 0;
        for (;;) {
            const std::size_t nl = text.find('\n', start);
            lines.push_back(text.substr(start, nl == std::string::npos ? nl : nl - start));
            if (nl == std::string::npos)
                break;
            start = nl + 1;
        }
    }
    TEXTMETRIC tm;
    GetTextMetrics(&tm);
    int width = 0;
    std::vector<int> widths;
    for (const auto& l : lines) {
        widths.push_back(GetTextExtent(l).cx);
        width = std::max(width, widths.back());
    }
    const int height = tm.tmHeight * int(lines.size());
    if (format & DT_CALCRECT) {
        r->right = r->left + width;
        r->bottom = r->top + height;
        return height;
    }
    if (!m_impl->dc)
        return height;
    int y = r->top;
    if ((format & DT_SINGLELINE) && (format & DT_VCENTER))
        y = r->top + (r->bottom - r->top - height) / 2;
    else if ((format & DT_SINGLELINE) && (format & DT_BOTTOM))
        y = r->bottom - height;
    if ((format & DT_SINGLELINE) && (format & DT_END_ELLIPSIS) && width > r->right - r->left) {
        // The longest run of whole characters from the start that fits with
        // the ellipsis, by bisection (the extent grows with the run).
        std::vector<std::size_t> starts;
        for (std::size_t i = 0; i < text.size(); ++i)
            if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80)
                starts.push_back(i);
        // k whole characters: the text up to the start of character k.
        const auto prefix
            = [&](std::size_t k) { return text.substr(0, k < starts.size() ? starts[k] : text.size()); };
        std::size_t lo = 0, hi = starts.empty() ? 0 : starts.size() - 1;
        while (lo < hi) {
            const std::size_t mid = (lo + hi + 1) / 2;
            if (GetTextExtent(prefix(mid) + "...").cx <= r->right - r->left)
                lo = mid;
            else
                hi = mid - 1;
        }
        const std::string shown = prefix(lo) + "...";
        lines[0] = shown;
        widths[0] = GetTextExtent(shown).cx;
    }
    std::optional<wxRegion> keep = m_impl->clip;
    if (!(format & DT_NOCLIP))
        IntersectClipRect(*r);
    set_text_state(*m_impl, *this);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        int x = r->left;
        if (format & DT_CENTER)
            x = r->left + (r->right - r->left - widths[i]) / 2;
        else if (format & DT_RIGHT)
            x = r->right - widths[i];
        m_impl->dc->DrawText(wxString::FromUTF8(lines[i]), x - m_impl->origin.x, y - m_impl->origin.y);
        y += tm.tmHeight;
    }
    if (!(format & DT_NOCLIP)) {
        m_impl->clip = keep;
        m_impl->apply_clip();
    }
    return height;
}

CClientDC::CClientDC(CWnd* wnd)
    : m_pWnd(wnd)
{
    m_impl->window = wnd;
    if (wnd && wnd->GetPeer()) {
        m_impl->scale = wnd->GetContentScaleFactor();
        wnd->GetPeer()->open_client_dc(*this);
    }
}

CClientDC::~CClientDC() = default;

CPaintDC::CPaintDC(CWnd* wnd)
    : m_pWnd(wnd)
{
    m_impl->window = wnd;
    if (wnd && wnd->GetPeer()) {
        m_impl->scale = wnd->GetContentScaleFactor();
        wnd->GetPeer()->open_paint_dc(*this);
    }
}

CPaintDC::~CPaintDC() = default;
