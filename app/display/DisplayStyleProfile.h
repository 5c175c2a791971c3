#pragma once

// The display style in the application profile, section "Display": "Type",
// "SmoothMask", "InverseMask" and "MatteColor" (blue in bits 0-7, green
// 8-15, red 16-23, alpha 24-31). The view loads it when it is created and
// saves it when it is destroyed.

#include "app/display/DisplayStyle.h"

#include <cstdint>

namespace platform {
class registry_profile;
}

// The style of a profile without a "Display" section: Composition, smooth
// and inverse masks, and a blue matte of alpha 128.
DisplayStyle DefaultDisplayStyle();
// Missing values take those of DefaultDisplayStyle; a stored type above 4
// (as unsigned) reads as 4.
DisplayStyle LoadDisplayStyle(const platform::registry_profile& profile);
// False when a value could not be stored.
bool SaveDisplayStyle(platform::registry_profile& profile, const DisplayStyle& style);

// The matte colour as one integer and back.
std::uint32_t PackMatteColor(const img::BGRA<unsigned char>& color);
img::BGRA<unsigned char> UnpackMatteColor(std::uint32_t packed);
