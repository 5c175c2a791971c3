#pragma once

// Glyphs: small bitmaps with an optional transparency mask, drawn at a point
// or aligned in a frame. SysColorGlyph and GrayedGlyph recolour the grey
// levels of the bitmap to the theme's colours when they load (the colours of
// the load time stay): the normal look and the greyed-out look of a control.
//
// Recolouring maps a grey level through the anchors 0 black, 128
// COLOR_BTNSHADOW, 192 COLOR_BTNFACE and 255 COLOR_BTNHIGHLIGHT, linearly
// (integer, truncating) between two anchors.
//
// Drawing: with a mask, masked-out pixels leave the target unchanged and the
// others are copied; without a mask, the bitmap's alpha blends it over the
// target (colours premultiplied); a bitmap with neither mask nor alpha is
// drawn opaque. At a scale factor of 2 each pixel becomes a 2 x 2 block.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/gui/dc.h"
#include "platform/gui/types.h"

namespace My {

// The theme colours recolouring maps to.
struct GlyphPalette {
    COLORREF shadow;
    COLORREF face;
    COLORREF highlight;
    static GlyphPalette FromSystem();
};

// A grey level 0..255 (larger ones count as 255) mapped through the anchors.
COLORREF MapGreyLevel(int level, const GlyphPalette& palette);
// The normal look: grey pixels mapped, coloured ones kept. Pixels are
// premultiplied when `premultiplied`.
void RecolorSysColor(std::vector<std::uint32_t>& pixels, bool premultiplied, const GlyphPalette& palette);
// The greyed look: every pixel mapped into the low-contrast band between
// the shadow and a little above the face; `mask` (one byte per pixel, 0 or
// 1) or null.
void RecolorGrayed(std::vector<std::uint32_t>& pixels, bool premultiplied,
    const std::vector<std::uint8_t>* mask, const GlyphPalette& palette);

class Glyph {
public:
    Glyph() = default;
    virtual ~Glyph();
    Glyph(const Glyph&) = delete;
    Glyph& operator=(const Glyph&) = delete;

    // Frees what was loaded, then loads the bitmap resource `name` and, when
    // `mask_name` is not empty, its mask. An unknown name leaves the glyph
    // empty (0 x 0, draws nothing); an unknown mask leaves it without mask.
    virtual void Load(const std::string& name, const std::string& mask_name);

    // The top-left at (x, y).
    void Draw(CDC& dc, int x, int y) const;
    // Placed at an anchor by the alignment code (place_rect).
    void DrawAt(CDC& dc, int x, int y, unsigned code) const;
    // Aligned inside a frame by the alignment code (align_rect).
    void DrawIn(CDC& dc, const CRect& frame, unsigned code) const;

    int GetWidth() const { return m_width; }
    int GetHeight() const { return m_height; }
    CSize GetSize() const { return CSize(m_width, m_height); }
    bool IsLoaded() const { return m_width > 0 && m_height > 0; }
    bool HasMask() const { return !m_mask.empty(); }
    // Without a mask, a bitmap with any non-zero alpha is premultiplied.
    bool IsPremultiplied() const;
    const std::vector<std::uint32_t>& GetPixels() const { return m_pixels; }
    // The pixels as drawn: premultiplied, alpha 0 where the target shows.
    std::vector<std::uint32_t> GetDrawnPixels() const;

protected:
    std::vector<std::uint32_t> m_pixels;
    std::vector<std::uint8_t> m_mask;
    int m_width = 0;
    int m_height = 0;
};

// The names Glyph::Load was asked for, glyphs and masks, that no bitmap
// resource has, each once in the order first asked: a control that draws a
// glyph without its bitmap or its mask (a mask missing shows the glyph's
// transparent part black). For checks of the program's resources.
const std::vector<std::string>& GetMissingGlyphResources();

class SysColorGlyph : public Glyph {
public:
    void Load(const std::string& name, const std::string& mask_name) override;
};

class GrayedGlyph : public Glyph {
public:
    void Load(const std::string& name, const std::string& mask_name) override;
};

} // namespace My
