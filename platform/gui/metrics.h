#pragma once

// Sizes the window system decides.

inline constexpr int SM_CXVSCROLL = 2;
inline constexpr int SM_CYHSCROLL = 3;
inline constexpr int SM_CXDOUBLECLK = 36;
inline constexpr int SM_CYDOUBLECLK = 37;

// The thinnest scroll bar we lay out: overlay scroll bars report a
// thickness of 0, which would leave no room to grab them.
inline constexpr int min_scroll_bar_thickness = 12;

// The metric in logical pixels; scroll-bar thicknesses are at least
// min_scroll_bar_thickness. Unknown metrics give 0.
int GetSystemMetrics(int index);
