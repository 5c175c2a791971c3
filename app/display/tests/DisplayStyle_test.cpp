// Display styles: the equality that painting keys rely on and the labels of
// the display types.

#include "app/display/DisplayStyle.h"

#include <gtest/gtest.h>

namespace {

DisplayStyle Style(DisplayType type, bool smooth, bool inverse, img::BGRA<unsigned char> matte)
{
    DisplayStyle style;
    style.type = type;
    style.smooth = smooth;
    style.inverse = inverse;
    style.matte = matte;
    return style;
}

TEST(DisplayStyle, MatteColourCountsOnlyForMattedForeground)
{
    const img::BGRA<unsigned char> blue { 255, 0, 0, 128 };
    const img::BGRA<unsigned char> opaqueBlue { 255, 0, 0, 255 };
    for (int t = 0; t <= 4; ++t) {
        const auto type = static_cast<DisplayType>(t);
        const bool counts = type == DisplayType::MattedForeground;
        EXPECT_EQ(Style(type, true, true, blue) == Style(type, true, true, opaqueBlue), !counts) << t;
    }
}

TEST(DisplayStyle, FlagsDoNotCountWhenNoMaskIsShown)
{
    for (int t = 0; t <= 4; ++t) {
        const auto type = static_cast<DisplayType>(t);
        const bool footageOnly = type == DisplayType::ForegroundOnly || type == DisplayType::BackgroundOnly;
        EXPECT_EQ(Style(type, true, false, {}) == Style(type, false, false, {}), footageOnly) << t;
        EXPECT_EQ(Style(type, false, true, {}) == Style(type, false, false, {}), footageOnly) << t;
    }
    EXPECT_FALSE(Style(DisplayType::ForegroundOnly, false, false, {})
        == Style(DisplayType::BackgroundOnly, false, false, {}));
}

TEST(DisplayStyle, LabelsNumberTheTypesFromOne)
{
    EXPECT_STREQ(DisplayTypeLabel(DisplayType::MaskOnly), "Mask Only (1)");
    EXPECT_STREQ(DisplayTypeLabel(DisplayType::ForegroundOnly), "Foreground Only (2)");
    EXPECT_STREQ(DisplayTypeLabel(DisplayType::BackgroundOnly), "Background Only (3)");
    EXPECT_STREQ(DisplayTypeLabel(DisplayType::MattedForeground), "Matted Foreground (4)");
    EXPECT_STREQ(DisplayTypeLabel(DisplayType::Composition), "Composition (5)");
    EXPECT_STREQ(DisplayTypeLabel(static_cast<DisplayType>(5)), "");
}

} // namespace
