#pragma once

// Cursors: the shapes the window system offers, and the cursor shown while
// the pointer is over a window.

#include "platform/gui/window_peer.h"

enum class cursor_shape { arrow, ibeam, wait, cross, size_we, size_ns, size_all, hand, no, size_nwse };

struct cursor {
    cursor_shape shape;
};

// The standard cursors, as LoadCursor ids.
inline constexpr int IDC_ARROW = 32512;
inline constexpr int IDC_IBEAM = 32513;
inline constexpr int IDC_WAIT = 32514;
inline constexpr int IDC_CROSS = 32515;
inline constexpr int IDC_SIZENS = 32645;
inline constexpr int IDC_SIZENWSE = 32642;
inline constexpr int IDC_SIZEWE = 32644;
inline constexpr int IDC_SIZEALL = 32646;
inline constexpr int IDC_HAND = 32649;
inline constexpr int IDC_NO = 32648;

// A standard cursor; null for an unknown id.
HCURSOR LoadCursor(int id);
// Shows `c` now over the window that is handling WM_SETCURSOR, or else over
// the window that holds the capture or last received a mouse message.
// Returns the cursor shown before.
HCURSOR SetCursor(HCURSOR c);
HCURSOR GetCursor();
