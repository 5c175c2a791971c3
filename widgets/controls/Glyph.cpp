#include "widgets/controls/Glyph.h"

#include <algorithm>

#include "platform/gui/colors.h"
#include "widgets/controls/GlyphResources.h"
#include "widgets/core/Drawing.h"

namespace My {

namespace {

std::vector<std::string>& missing()
{
    static std::vector<std::string> names;
    return names;
}

const BitmapResource* find_resource(const std::string& name)
{
    const BitmapResource* found = FindBitmapResource(name);
    if (!found && std::find(missing().begin(), missing().end(), name) == missing().end())
        missing().push_back(name);
    return found;
}

struct anchor {
    int level;
    COLORREF color;
};

unsigned channel(std::uint32_t p, int shift)
{
    return (p >> shift) & 0xFF;
}

// A COLORREF (red lowest) with its channels times alpha / 255, as a pixel
// word (blue lowest) with that alpha.
std::uint32_t to_pixel(COLORREF c, unsigned alpha)
{
    const unsigned r = GetRValue(c) * alpha / 255, g = GetGValue(c) * alpha / 255,
                   b = GetBValue(c) * alpha / 255;
    return b | (g << 8) | (r << 16) | (std::uint32_t(alpha) << 24);
}

// Undoes premultiplication of a level; at most 255 even for a level above
// its alpha (malformed data).
int unpremultiply(int level, unsigned alpha)
{
    if (alpha > 0 && alpha < 255)
        level = int(unsigned(level) * 255 / alpha);
    return std::min(level, 255);
}

} // namespace

GlyphPalette GlyphPalette::FromSystem()
{
    return { GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNFACE), GetSysColor(COLOR_BTNHIGHLIGHT) };
}

COLORREF MapGreyLevel(int level, const GlyphPalette& palette)
{
    const anchor anchors[]
        = { { 0, RGB(0, 0, 0) }, { 128, palette.shadow }, { 192, palette.face }, { 255, palette.highlight } };
    level = std::clamp(level, 0, 255);
    for (int i = 1; i < 4; ++i) {
        const anchor& lo = anchors[i - 1];
        const anchor& hi = anchors[i];
        if (level > hi.level)
            continue;
        const int span = hi.level - lo.level, t = level - lo.level;
        const auto mix = [&](int a, int b) { return a + (b - a) * t / span; };
        return RGB(mix(GetRValue(lo.color), GetRValue(hi.color)),
            mix(GetGValue(lo.color), GetGValue(hi.color)), mix(GetBValue(lo.color), GetBValue(hi.color)));
    }
    return palette.highlight;
}

void RecolorSysColor(std::vector<std::uint32_t>& pixels, bool premultiplied, const GlyphPalette& palette)
{
    for (std::uint32_t& p : pixels) {
        const unsigned b = channel(p, 0), g = channel(p, 8), r = channel(p, 16);
        if (b != g || g != r)
            continue;
        const unsigned alpha = premultiplied ? channel(p, 24) : 255;
        const int level = premultiplied ? unpremultiply(int(b), alpha) : int(b);
        const std::uint32_t mapped = to_pixel(MapGreyLevel(level, palette), alpha);
        // The alpha byte stays as it was.
        p = (mapped & 0x00FFFFFF) | (p & 0xFF000000);
    }
}

void RecolorGrayed(std::vector<std::uint32_t>& pixels, bool premultiplied,
    const std::vector<std::uint8_t>* mask, const GlyphPalette& palette)
{
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        const std::uint32_t p = pixels[i];
        int grey = int(channel(p, 0) + channel(p, 8) + channel(p, 16)) / 3;
        unsigned alpha = 255;
        if (premultiplied) {
            alpha = channel(p, 24);
            grey = unpremultiply(grey, alpha);
        }
        if (mask && i < mask->size() && !(*mask)[i])
            alpha = 0;
        const int level = 192 + (grey - 192) / 3;
        pixels[i] = to_pixel(MapGreyLevel(level, palette), alpha);
    }
}

Glyph::~Glyph() = default;

void Glyph::Load(const std::string& name, const std::string& mask_name)
{
    m_pixels.clear();
    m_mask.clear();
    m_width = m_height = 0;
    const BitmapResource* image = find_resource(name);
    if (!image || image->width <= 0 || image->height <= 0
        || image->pixels.size() != std::size_t(image->width) * std::size_t(image->height))
        return;
    m_pixels = image->pixels;
    m_width = image->width;
    m_height = image->height;
    if (mask_name.empty())
        return;
    const BitmapResource* mask = find_resource(mask_name);
    if (!mask)
        return;
    // A mask of another size covers what it overlaps; the rest is opaque.
    m_mask.assign(m_pixels.size(), 1);
    for (int y = 0; y < std::min(m_height, mask->height); ++y)
        for (int x = 0; x < std::min(m_width, mask->width); ++x)
            m_mask[std::size_t(y) * m_width + x]
                = (mask->pixels[std::size_t(y) * mask->width + x] & 0x00FFFFFF) != 0 ? 1 : 0;
}

const std::vector<std::string>& GetMissingGlyphResources()
{
    return missing();
}

bool Glyph::IsPremultiplied() const
{
    return m_mask.empty()
        && std::any_of(m_pixels.begin(), m_pixels.end(), [](std::uint32_t p) { return p >> 24; });
}

std::vector<std::uint32_t> Glyph::GetDrawnPixels() const
{
    std::vector<std::uint32_t> out = m_pixels;
    if (!m_mask.empty()) {
        for (std::size_t i = 0; i < out.size(); ++i)
            out[i] = m_mask[i] ? (out[i] | 0xFF000000) : 0;
    } else if (!IsPremultiplied()) {
        for (std::uint32_t& p : out)
            p |= 0xFF000000;
    }
    return out;
}

void Glyph::Draw(CDC& dc, int x, int y) const
{
    if (!IsLoaded() || !dc.IsDrawing())
        return;
    const std::vector<std::uint32_t> pixels = GetDrawnPixels();
    dc.DrawPixels(x, y, m_width, m_height, reinterpret_cast<const DWORD*>(pixels.data()));
}

void Glyph::DrawAt(CDC& dc, int x, int y, unsigned code) const
{
    const CRect r = place_rect(GetSize(), CPoint(x, y), code);
    Draw(dc, r.left, r.top);
}

void Glyph::DrawIn(CDC& dc, const CRect& frame, unsigned code) const
{
    const CRect r = align_rect(CRect(CPoint(), GetSize()), frame, code);
    Draw(dc, r.left, r.top);
}

void SysColorGlyph::Load(const std::string& name, const std::string& mask_name)
{
    Glyph::Load(name, mask_name);
    RecolorSysColor(m_pixels, IsPremultiplied(), GlyphPalette::FromSystem());
}

void GrayedGlyph::Load(const std::string& name, const std::string& mask_name)
{
    Glyph::Load(name, mask_name);
    RecolorGrayed(m_pixels, IsPremultiplied(), HasMask() ? &m_mask : nullptr, GlyphPalette::FromSystem());
}

} // namespace My
