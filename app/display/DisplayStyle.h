#pragma once

// How the video view shows a frame: one of five display types, the masks
// crisp or smooth, inverted or not, and the colour and opacity of the matte.
// A plain value; the view holds one and every painting key copies it.

#include "foundation/image/image.h"

#include <cstdint>

// The stored values 0 to 4; the labels number them from 1 for the user.
enum class DisplayType : std::int32_t {
    MaskOnly = 0,
    ForegroundOnly = 1,
    BackgroundOnly = 2,
    MattedForeground = 3,
    Composition = 4,
};

// "Mask Only (1)" ... "Composition (5)"; an unknown value gives "".
const char* DisplayTypeLabel(DisplayType type);

struct DisplayStyle {
    DisplayType type = DisplayType::MaskOnly;
    // Smooth (8-bit) masks rather than crisp (1-bit) ones.
    bool smooth = false;
    // Inverted masks.
    bool inverse = false;
    // The matte's colour; its alpha is the matte's opacity.
    img::BGRA<unsigned char> matte { 0, 0, 0, 0 };

    // Equal when they show a frame alike: the same type; for Foreground Only
    // and Background Only nothing more (no mask is shown); otherwise also the
    // same smooth and inverse flags; for Matted Foreground also the same
    // matte colour, all four bytes.
    bool operator==(const DisplayStyle& other) const;
};
