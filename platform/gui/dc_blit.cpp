// Copying pixels into a DC: from memory DCs (BitBlt, AlphaBlend) and from
// device-independent bitmaps (StretchDIBits).

#include <cmath>
#include <limits>

#include <wx/image.h>

#include "platform/gui/detail/wx.h"

using platform::gui::detail::to_wx;

BOOL CDC::BitBlt(int x, int y, int width, int height, CDC* src, int src_x, int src_y, DWORD rop)
{
    if (!src || rop != SRCCOPY)
        return FALSE;
    if (!m_impl->dc || !src->m_impl->dc)
        return TRUE;
    return m_impl->dc->Blit(x - m_impl->origin.x, y - m_impl->origin.y, width, height, src->m_impl->dc,
               src_x - src->m_impl->origin.x, src_y - src->m_impl->origin.y, wxCOPY)
        ? TRUE
        : FALSE;
}

BOOL CDC::AlphaBlend(int x, int y, int width, int height, CDC* src, int src_x, int src_y, int src_width,
    int src_height, BLENDFUNCTION blend)
{
    if (!src || width <= 0 || height <= 0 || src_width <= 0 || src_height <= 0)
        return FALSE;
    if (!m_impl->dc || !src->m_impl->bitmap || !src->m_impl->bitmap->Impl())
        return TRUE;
    const wxBitmap& whole = src->m_impl->bitmap->Impl()->bitmap;
    if (!whole.IsOk())
        return FALSE;
    const CPoint so = src->m_impl->origin;
    wxImage image = whole.ConvertToImage().GetSubImage(
        wxRect(src_x - so.x, src_y - so.y, src_width, src_height).Intersect(wxRect(whole.GetSize())));
    if (!image.IsOk())
        return FALSE;
    if (!(blend.AlphaFormat & AC_SRC_ALPHA) && image.HasAlpha())
        image.ClearAlpha();
    if (blend.SourceConstantAlpha != 255) {
        if (!image.HasAlpha())
            image.InitAlpha();
        unsigned char* a = image.GetAlpha();
        for (int i = 0, n = image.GetWidth() * image.GetHeight(); i < n; ++i)
            a[i] = (unsigned char)(a[i] * blend.SourceConstantAlpha / 255);
    }
    if (image.GetWidth() != width || image.GetHeight() != height)
        image.Rescale(width, height, wxIMAGE_QUALITY_NEAREST);
    m_impl->dc->DrawBitmap(wxBitmap(image), x - m_impl->origin.x, y - m_impl->origin.y, true);
    return TRUE;
}

int CDC::StretchDIBits(int x, int y, int width, int height, int src_x, int src_y, int src_width,
    int src_height, const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop)
{
    if (!bits || !info || usage != DIB_RGB_COLORS || rop != SRCCOPY)
        return 0;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    const int bpp = h.biBitCount;
    if (h.biSize < 40 || h.biCompression != BI_RGB || (bpp != 1 && bpp != 24 && bpp != 32) || h.biWidth <= 0
        || h.biHeight == 0 || h.biHeight == std::numeric_limits<LONG>::min())
        return 0;
    const int dib_w = h.biWidth;
    const int dib_h = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    const bool top_down = h.biHeight < 0;
    // The source rectangle, y counted from the bottom row, clipped to the bitmap.
    const int top = dib_h - src_y - src_height;
    const CRect src = CRect(src_x, top, src_x + src_width, top + src_height) & CRect(0, 0, dib_w, dib_h);
    if (src.IsRectEmpty() || width <= 0 || height <= 0)
        return 0;
    if (!m_impl->dc)
        return src.Height();
    const std::size_t stride = ((std::size_t(dib_w) * bpp + 31) / 32) * 4;
    const auto* base = static_cast<const unsigned char*>(bits);
    wxImage image(src.Width(), src.Height(), false);
    unsigned char* out = image.GetData();
    for (int r = 0; r < src.Height(); ++r) {
        const int row = src.top + r;
        const unsigned char* line = base + stride * std::size_t(top_down ? row : dib_h - 1 - row);
        for (int c = 0; c < src.Width(); ++c, out += 3) {
            const int col = src.left + c;
            if (bpp == 1) {
                const RGBQUAD& q = info->bmiColors[(line[col >> 3] >> (7 - (col & 7))) & 1];
                out[0] = q.rgbRed;
                out[1] = q.rgbGreen;
                out[2] = q.rgbBlue;
            } else {
                const unsigned char* p = line + std::size_t(col) * (bpp / 8);
                out[0] = p[2];
                out[1] = p[1];
                out[2] = p[0];
            }
        }
    }
    // The destination takes the clipped part of the source, scaled alike.
    const double fx = double(width) / src_width, fy = double(height) / src_height;
    const int dx = x + int(std::lround((src.left - src_x) * fx));
    const int dy = y + int(std::lround((src.top - top) * fy));
    const int dw = int(std::lround(src.Width() * fx)), dh = int(std::lround(src.Height() * fy));
    if (dw <= 0 || dh <= 0)
        return 0;
    if (dw != src.Width() || dh != src.Height())
        image.Rescale(
            dw, dh, m_impl->stretch_mode == HALFTONE ? wxIMAGE_QUALITY_BILINEAR : wxIMAGE_QUALITY_NEAREST);
    m_impl->dc->DrawBitmap(wxBitmap(image), dx - m_impl->origin.x, dy - m_impl->origin.y, false);
    return src.Height();
}

BOOL CDC::DrawPixels(int x, int y, int width, int height, const DWORD* pixels)
{
    if (!pixels || width <= 0 || height <= 0)
        return FALSE;
    if (!m_impl->dc)
        return TRUE;
    const int s = std::max(1, int(std::lround(m_impl->scale)));
    wxImage image(width * s, height * s, false);
    image.InitAlpha();
    unsigned char* rgb = image.GetData();
    unsigned char* alpha = image.GetAlpha();
    for (int py = 0; py < height * s; ++py) {
        const DWORD* row = pixels + std::size_t(py / s) * std::size_t(width);
        for (int px = 0; px < width * s; ++px, rgb += 3, ++alpha) {
            const DWORD p = row[px / s];
            const unsigned a = p >> 24;
            // The toolkit blends straight (not premultiplied) colours.
            const auto straight = [a](unsigned c) {
                return static_cast<unsigned char>(a ? std::min(255u, (c * 255 + a / 2) / a) : 0);
            };
            rgb[0] = straight((p >> 16) & 0xFF);
            rgb[1] = straight((p >> 8) & 0xFF);
            rgb[2] = straight(p & 0xFF);
            *alpha = static_cast<unsigned char>(a);
        }
    }
    const wxBitmap bitmap(image, -1, double(s));
    m_impl->dc->DrawBitmap(bitmap, x - m_impl->origin.x, y - m_impl->origin.y, true);
    return TRUE;
}
