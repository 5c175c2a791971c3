#pragma once

// The window tests' screen helpers in the toolkit's coordinates (CRect,
// COLORREF), over the platform's test helpers.

#include <chrono>
#include <functional>

#include <wx/image.h>

#include "platform/gui/types.h"
#include "platform/tests/screen.h"

namespace test {

using platform::testing::pump_until;

inline void settle()
{
    platform::testing::settle();
}

// The screen's pixels in a rectangle of screen coordinates.
inline wxImage screenshot(const CRect& r)
{
    return platform::testing::screenshot(r.left, r.top, r.Width(), r.Height());
}

inline COLORREF pixel(const wxImage& img, int x, int y)
{
    return RGB(img.GetRed(x, y), img.GetGreen(x, y), img.GetBlue(x, y));
}

// Taken again until `shown` holds for one or the time passed.
inline wxImage screenshot_until(const CRect& r, const std::function<bool(const wxImage&)>& shown,
    std::chrono::milliseconds limit = std::chrono::seconds(5))
{
    return platform::testing::screenshot_until(r.left, r.top, r.Width(), r.Height(), shown, limit);
}

} // namespace test
