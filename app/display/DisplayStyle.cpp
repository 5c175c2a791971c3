#include "app/display/DisplayStyle.h"

const char* DisplayTypeLabel(DisplayType type)
{
    switch (type) {
    case DisplayType::MaskOnly:
        return "Mask Only (1)";
    case DisplayType::ForegroundOnly:
        return "Foreground Only (2)";
    case DisplayType::BackgroundOnly:
        return "Background Only (3)";
    case DisplayType::MattedForeground:
        return "Matted Foreground (4)";
    case DisplayType::Composition:
        return "Composition (5)";
    }
    return "";
}

bool DisplayStyle::operator==(const DisplayStyle& other) const
{
    if (type != other.type)
        return false;
    if (type == DisplayType::ForegroundOnly || type == DisplayType::BackgroundOnly)
        return true;
    if (smooth != other.smooth || inverse != other.inverse)
        return false;
    return type != DisplayType::MattedForeground || matte == other.matte;
}
