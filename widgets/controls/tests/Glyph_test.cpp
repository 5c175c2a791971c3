#include <gtest/gtest.h>

#include <stdexcept>

#include "widgets/controls/Glyph.h"
#include "widgets/controls/GlyphResources.h"

namespace {

const My::GlyphPalette palette { RGB(100, 110, 120), RGB(200, 190, 180), RGB(250, 251, 252) };

std::uint32_t px(unsigned b, unsigned g, unsigned r, unsigned a = 0)
{
    return b | (g << 8) | (r << 16) | (a << 24);
}

} // namespace

TEST(GlyphResources, RaggedArtIsRejected)
{
    EXPECT_THROW(My::AddGlyphResource("TEST_RAGGED", "", { "kk", "k" }), std::invalid_argument);
    EXPECT_EQ(My::FindBitmapResource("TEST_RAGGED"), nullptr);
}

TEST(Glyph, UnknownNameLeavesItEmptyAndUnknownMaskLeavesItUnmasked)
{
    My::Glyph g;
    g.Load("NO_SUCH_GLYPH", "NO_SUCH_GLYPH_MASK");
    EXPECT_FALSE(g.IsLoaded());
    EXPECT_EQ(g.GetSize(), CSize(0, 0));
    g.Load("DROPDOWN_BUTTON", "NO_SUCH_MASK");
    EXPECT_TRUE(g.IsLoaded());
    EXPECT_FALSE(g.HasMask());
    // Each name asked for and not found is noted once; found ones are not.
    g.Load("NO_SUCH_GLYPH", "");
    const std::vector<std::string> expected { "NO_SUCH_GLYPH", "NO_SUCH_MASK" };
    std::vector<std::string> noted;
    for (const std::string& name : My::GetMissingGlyphResources())
        if (name.rfind("NO_SUCH", 0) == 0)
            noted.push_back(name);
    EXPECT_EQ(noted, expected);
}

TEST(GlyphRecolor, AnchorsAndTruncatingInterpolation)
{
    EXPECT_EQ(My::MapGreyLevel(0, palette), RGB(0, 0, 0));
    EXPECT_EQ(My::MapGreyLevel(128, palette), palette.shadow);
    EXPECT_EQ(My::MapGreyLevel(192, palette), palette.face);
    EXPECT_EQ(My::MapGreyLevel(255, palette), palette.highlight);
    // 64 is half-way from black to the shadow: 50, 55, 60.
    EXPECT_EQ(My::MapGreyLevel(64, palette), RGB(50, 55, 60));
    // 1/63 of the way from the face to the highlight, truncated: 200 + 50/63
    // = 200, 190 + 61/63 = 190, 180 + 72/63 = 181.
    EXPECT_EQ(My::MapGreyLevel(193, palette), RGB(200, 190, 181));
    // Half-way from the shadow to the face.
    EXPECT_EQ(My::MapGreyLevel(160, palette), RGB(150, 150, 150));
}

TEST(GlyphRecolor, LevelsAboveTheAnchorsAreClampedNotWrapped)
{
    EXPECT_EQ(My::MapGreyLevel(300, palette), palette.highlight);
    EXPECT_EQ(My::MapGreyLevel(-5, palette), RGB(0, 0, 0));
    // Premultiplied data whose grey exceeds its alpha: 200 / 100 would be a
    // level of 510.
    std::vector<std::uint32_t> pixels { px(200, 200, 200, 100) };
    My::RecolorSysColor(pixels, true, palette);
    const COLORREF h = palette.highlight;
    EXPECT_EQ(
        pixels[0], px(GetBValue(h) * 100 / 255, GetGValue(h) * 100 / 255, GetRValue(h) * 100 / 255, 100));
}

TEST(GlyphRecolor, SysColorMapsGreysKeepsColoursAndAlpha)
{
    std::vector<std::uint32_t> pixels { px(128, 128, 128), px(1, 2, 3), px(192, 192, 192, 0) };
    My::RecolorSysColor(pixels, false, palette);
    EXPECT_EQ(pixels[0], px(120, 110, 100));
    EXPECT_EQ(pixels[1], px(1, 2, 3));
    EXPECT_EQ(pixels[2], px(180, 190, 200));
    // Premultiplied: level 64 at alpha 128 is 127 before mapping.
    std::vector<std::uint32_t> pre { px(64, 64, 64, 128) };
    My::RecolorSysColor(pre, true, palette);
    const COLORREF c = My::MapGreyLevel(127, palette);
    EXPECT_EQ(pre[0], px(GetBValue(c) * 128 / 255, GetGValue(c) * 128 / 255, GetRValue(c) * 128 / 255, 128));
}

TEST(GlyphRecolor, GrayedCompressesIntoTheLowContrastBandAndHonoursTheMask)
{
    // Black becomes level 192 - 64 = 128 (the shadow), white 192 + 21 = 213.
    std::vector<std::uint32_t> pixels { px(0, 0, 0), px(255, 255, 255), px(0, 0, 0) };
    std::vector<std::uint8_t> mask { 1, 1, 0 };
    My::RecolorGrayed(pixels, false, &mask, palette);
    EXPECT_EQ(pixels[0], px(120, 110, 100, 255));
    const COLORREF w = My::MapGreyLevel(213, palette);
    EXPECT_EQ(pixels[1], px(GetBValue(w), GetGValue(w), GetRValue(w), 255));
    EXPECT_EQ(pixels[2], 0u);
    // Coloured pixels turn grey by their mean: (30 + 60 + 90) / 3 = 60;
    // 192 + (60 - 192) / 3 = 148.
    std::vector<std::uint32_t> coloured { px(30, 60, 90) };
    My::RecolorGrayed(coloured, false, nullptr, palette);
    const COLORREF m = My::MapGreyLevel(148, palette);
    EXPECT_EQ(coloured[0], px(GetBValue(m), GetGValue(m), GetRValue(m), 255));
}

TEST(Glyph, WithoutMaskOrAlphaItIsDrawnOpaque)
{
    My::AddGlyphResource("TEST_PLAIN", "", { "ks", "fw" });
    My::Glyph g;
    g.Load("TEST_PLAIN", "");
    EXPECT_FALSE(g.HasMask());
    EXPECT_FALSE(g.IsPremultiplied());
    for (std::uint32_t p : g.GetDrawnPixels())
        EXPECT_EQ(p >> 24, 255u);
}

TEST(Glyph, MaskedOutPixelsAreTransparentAndTheOthersOpaque)
{
    My::Glyph g;
    g.Load("DROPDOWN_BUTTON", "DROPDOWN_BUTTON_MASK");
    ASSERT_TRUE(g.HasMask());
    ASSERT_EQ(g.GetSize(), CSize(7, 4));
    const auto drawn = g.GetDrawnPixels();
    EXPECT_EQ(drawn[0] >> 24, 255u); // top-left of the arrow
    EXPECT_EQ(drawn[7], 0u); // second row starts masked out
    EXPECT_EQ(drawn[7 * 3 + 3] >> 24, 255u); // the arrow's tip
}

TEST(GlyphResources, EveryBuiltInGlyphHasItsMaskOfTheSameSize)
{
    const char* const pairs[][2] = { { "MYFC_CHECKBOX", "MYFC_CHECKBOX_MASK" },
        { "DROPDOWN_BUTTON", "DROPDOWN_BUTTON_MASK" }, { "SliderThumb", "SliderThumbMask" },
        { "BUTTONUP", "BUTTONUPMASK" }, { "BUTTONDOWN", "BUTTONDOWNMASK" },
        { "LISTBUTTONUP", "LISTBUTTONUPMASK" }, { "LISTBUTTONDOWN", "LISTBUTTONDOWNMASK" },
        { "ZoomIn", "ZoomInMask" }, { "ZoomOut", "ZoomOutMask" } };
    for (const auto& p : pairs) {
        const My::BitmapResource* glyph = My::FindBitmapResource(p[0]);
        const My::BitmapResource* mask = My::FindBitmapResource(p[1]);
        ASSERT_TRUE(glyph && mask) << p[0];
        EXPECT_EQ(glyph->width, mask->width) << p[0];
        EXPECT_EQ(glyph->height, mask->height) << p[0];
        EXPECT_EQ(glyph->pixels.size(), std::size_t(glyph->width) * std::size_t(glyph->height)) << p[0];
        // Masked-out pixels are black, so the glyph alone is safe to OR in.
        for (std::size_t i = 0; i < glyph->pixels.size(); ++i) {
            if (!(mask->pixels[i] & 0xFFFFFF)) {
                EXPECT_EQ(glyph->pixels[i] & 0xFFFFFF, 0u) << p[0];
            }
        }
    }
}
