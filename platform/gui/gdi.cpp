#include "platform/gui/gdi.h"

#include <wx/settings.h>

#include "platform/gui/app.h"
#include "platform/gui/detail/wx.h"

BOOL CPen::CreatePen(int style, int width, COLORREF color)
{
    m_created = true;
    m_style = style;
    m_width = width < 1 ? 1 : width;
    m_color = color;
    return TRUE;
}

BOOL CBrush::CreateSolidBrush(COLORREF color)
{
    m_created = true;
    m_hollow = false;
    m_color = color;
    return TRUE;
}

CBrush* CBrush::Hollow()
{
    static CBrush hollow = [] {
        CBrush b;
        b.m_created = true;
        b.m_hollow = true;
        return b;
    }();
    return &hollow;
}

CFont::CFont() = default;
CFont::~CFont() = default;

BOOL CFont::CreateFontIndirect(const LOGFONT* lf)
{
    if (!lf)
        return FALSE;
    m_font = *lf;
    m_created = true;
    m_native.reset();
    return TRUE;
}

BOOL CFont::CreatePointFont(int point_size_tenths, const std::string& face)
{
    LOGFONT lf;
    // Points to pixels at 96 pixels per inch, rounded.
    lf.lfHeight = -((point_size_tenths * 96 / 72 + 5) / 10);
    lf.lfFaceName = face;
    return CreateFontIndirect(&lf);
}

BOOL CFont::DeleteObject()
{
    if (!m_created)
        return FALSE;
    m_created = false;
    m_font = LOGFONT();
    m_native.reset();
    return TRUE;
}

int CFont::GetLogFont(LOGFONT* lf) const
{
    if (!m_created || !lf)
        return 0;
    *lf = m_font;
    return 1;
}

CFont* CFont::DefaultGui()
{
    static CFont font;
    if (!font.m_created) {
        LOGFONT lf;
        if (platform::gui::running()) {
            const wxFont f = wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT);
            lf.lfFaceName = f.GetFaceName().utf8_string();
            lf.lfHeight = -std::max(1, f.GetPixelSize().GetHeight());
        } else {
            lf.lfFaceName = "DejaVu Sans";
            lf.lfHeight = -12;
        }
        font.CreateFontIndirect(&lf);
    }
    return &font;
}

namespace platform::gui::detail {

const wxFont& native_font(const CFont& f)
{
    auto& slot = f.Native();
    if (!slot) {
        LOGFONT lf;
        f.GetLogFont(&lf);
        const int height = lf.lfHeight < 0 ? -lf.lfHeight : lf.lfHeight;
        wxFontInfo info(wxSize(0, height > 0 ? height : 12));
        if (!lf.lfFaceName.empty())
            info.FaceName(wxString::FromUTF8(lf.lfFaceName));
        else
            info.Family(wxFONTFAMILY_SWISS);
        info.Weight(lf.lfWeight).Italic(lf.lfItalic != 0).Underlined(lf.lfUnderline != 0);
        slot = std::make_shared<wxFont>(info);
    }
    return *static_cast<const wxFont*>(slot.get());
}

CFont* stock_font()
{
    return CFont::DefaultGui();
}

} // namespace platform::gui::detail

CRgn::CRgn() = default;
CRgn::~CRgn() = default;

void CRgn::SetImpl(std::unique_ptr<impl> i)
{
    m_impl = std::move(i);
}

static int region_kind(const wxRegion& r)
{
    if (r.IsEmpty())
        return NULLREGION;
    wxRegionIterator it(r);
    int n = 0;
    for (; it; ++it)
        if (++n > 1)
            return COMPLEXREGION;
    return SIMPLEREGION;
}

BOOL CRgn::CreateRectRgn(int left, int top, int right, int bottom)
{
    m_impl = std::make_unique<impl>();
    if (right > left && bottom > top)
        m_impl->region = wxRegion(left, top, right - left, bottom - top);
    return TRUE;
}

BOOL CRgn::CreateRectRgnIndirect(const RECT* r)
{
    return r ? CreateRectRgn(r->left, r->top, r->right, r->bottom) : FALSE;
}

int CRgn::CombineRgn(const CRgn* a, const CRgn* b, int mode)
{
    if (!a || !a->m_impl || (mode != RGN_COPY && (!b || !b->m_impl)))
        return ERROR;
    wxRegion result = a->m_impl->region;
    switch (mode) {
    case RGN_COPY:
        break;
    case RGN_AND:
        result.Intersect(b->m_impl->region);
        break;
    case RGN_OR:
        result.Union(b->m_impl->region);
        break;
    case RGN_XOR:
        result.Xor(b->m_impl->region);
        break;
    case RGN_DIFF:
        result.Subtract(b->m_impl->region);
        break;
    default:
        return ERROR;
    }
    if (!m_impl)
        m_impl = std::make_unique<impl>();
    // Copy into a fresh region: the toolkit's regions share data on copy.
    m_impl->region = wxRegion();
    m_impl->region.Union(result);
    return region_kind(m_impl->region);
}

int CRgn::OffsetRgn(int dx, int dy)
{
    if (!m_impl)
        return ERROR;
    m_impl->region.Offset(dx, dy);
    return region_kind(m_impl->region);
}

BOOL CRgn::PtInRegion(int x, int y) const
{
    return m_impl && m_impl->region.Contains(x, y) == wxInRegion;
}

BOOL CRgn::RectInRegion(const RECT* r) const
{
    return m_impl && r && m_impl->region.Contains(platform::gui::detail::to_wx(*r)) != wxOutRegion;
}

int CRgn::GetRgnBox(RECT* r) const
{
    if (!m_impl || !r)
        return ERROR;
    *r = m_impl->region.IsEmpty() ? CRect() : platform::gui::detail::from_wx(m_impl->region.GetBox());
    return region_kind(m_impl->region);
}

BOOL CRgn::DeleteObject()
{
    if (!m_impl)
        return FALSE;
    m_impl.reset();
    return TRUE;
}

CBitmap::CBitmap() = default;
CBitmap::~CBitmap() = default;

void CBitmap::SetImpl(std::unique_ptr<impl> i)
{
    m_impl = std::move(i);
}

BOOL CBitmap::CreateCompatibleBitmap(CDC* dc, int width, int height)
{
    if (width <= 0 || height <= 0)
        return FALSE;
    auto i = std::make_unique<impl>();
    i->width = width;
    i->height = height;
    i->scale = dc ? dc->GetScaleFactor() : 1.0;
    if (platform::gui::running()) {
        i->bitmap.CreateWithDIPSize(wxSize(width, height), i->scale, 24);
        if (!i->bitmap.IsOk())
            return FALSE;
    }
    m_impl = std::move(i);
    return TRUE;
}

BOOL CBitmap::DeleteObject()
{
    if (!m_impl)
        return FALSE;
    m_impl.reset();
    return TRUE;
}

int CBitmap::GetBitmap(BITMAP* bm) const
{
    if (!m_impl || !bm)
        return 0;
    bm->bmWidth = m_impl->width;
    bm->bmHeight = m_impl->height;
    bm->bmBitsPixel = 32;
    return 1;
}
