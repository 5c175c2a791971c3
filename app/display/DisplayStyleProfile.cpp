#include "app/display/DisplayStyleProfile.h"

#include "platform/registry/profile.h"

namespace {

const char* const kSection = "Display";
const img::BGRA<unsigned char> kDefaultMatte { 255, 0, 0, 128 };

} // namespace

std::uint32_t PackMatteColor(const img::BGRA<unsigned char>& color)
{
    return std::uint32_t(color.b) | std::uint32_t(color.g) << 8 | std::uint32_t(color.r) << 16
        | std::uint32_t(color.a) << 24;
}

img::BGRA<unsigned char> UnpackMatteColor(std::uint32_t packed)
{
    return { static_cast<unsigned char>(packed & 0xff), static_cast<unsigned char>((packed >> 8) & 0xff),
        static_cast<unsigned char>((packed >> 16) & 0xff), static_cast<unsigned char>(packed >> 24) };
}

DisplayStyle DefaultDisplayStyle()
{
    DisplayStyle style;
    style.type = DisplayType::Composition;
    style.smooth = true;
    style.inverse = true;
    style.matte = kDefaultMatte;
    return style;
}

DisplayStyle LoadDisplayStyle(const platform::registry_profile& profile)
{
    DisplayStyle style;
    unsigned type = profile.get_int(kSection, "Type", 4);
    if (type > 4)
        type = 4;
    style.type = static_cast<DisplayType>(type);
    style.smooth = profile.get_int(kSection, "SmoothMask", 1) != 0;
    style.inverse = profile.get_int(kSection, "InverseMask", 1) != 0;
    style.matte = UnpackMatteColor(profile.get_int(kSection, "MatteColor", PackMatteColor(kDefaultMatte)));
    return style;
}

bool SaveDisplayStyle(platform::registry_profile& profile, const DisplayStyle& style)
{
    bool stored = profile.write_int(kSection, "Type", static_cast<int>(style.type));
    stored = profile.write_int(kSection, "SmoothMask", style.smooth ? 1 : 0) && stored;
    stored = profile.write_int(kSection, "InverseMask", style.inverse ? 1 : 0) && stored;
    return profile.write_int(kSection, "MatteColor", static_cast<int>(PackMatteColor(style.matte))) && stored;
}
