#pragma once

// Window messages and the flags and codes they carry, as the window layer
// delivers them to a window's WindowProc (wnd.h says which event of the
// backend becomes which message).

#include "platform/gui/types.h"

// Messages.
inline constexpr UINT WM_CREATE = 0x0001;
inline constexpr UINT WM_DESTROY = 0x0002;
inline constexpr UINT WM_MOVE = 0x0003;
inline constexpr UINT WM_SIZE = 0x0005;
inline constexpr UINT WM_ACTIVATE = 0x0006;
inline constexpr UINT WM_SETFOCUS = 0x0007;
inline constexpr UINT WM_KILLFOCUS = 0x0008;
inline constexpr UINT WM_SETTEXT = 0x000C;
inline constexpr UINT WM_GETTEXT = 0x000D;
inline constexpr UINT WM_PAINT = 0x000F;
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_ERASEBKGND = 0x0014;
inline constexpr UINT WM_SETCURSOR = 0x0020;
inline constexpr UINT WM_SETFONT = 0x0030;
inline constexpr UINT WM_GETFONT = 0x0031;
inline constexpr UINT WM_NCDESTROY = 0x0082;
inline constexpr UINT WM_KEYDOWN = 0x0100;
inline constexpr UINT WM_KEYUP = 0x0101;
inline constexpr UINT WM_CHAR = 0x0102;
inline constexpr UINT WM_COMMAND = 0x0111;
inline constexpr UINT WM_TIMER = 0x0113;
inline constexpr UINT WM_HSCROLL = 0x0114;
inline constexpr UINT WM_VSCROLL = 0x0115;
inline constexpr UINT WM_MOUSEMOVE = 0x0200;
inline constexpr UINT WM_LBUTTONDOWN = 0x0201;
inline constexpr UINT WM_LBUTTONUP = 0x0202;
inline constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
inline constexpr UINT WM_RBUTTONDOWN = 0x0204;
inline constexpr UINT WM_RBUTTONUP = 0x0205;
inline constexpr UINT WM_RBUTTONDBLCLK = 0x0206;
inline constexpr UINT WM_MOUSEWHEEL = 0x020A;
inline constexpr UINT WM_CAPTURECHANGED = 0x0215;
inline constexpr UINT WM_MOUSELEAVE = 0x02A3;
inline constexpr UINT WM_IDLEUPDATECMDUI = 0x0363;
inline constexpr UINT WM_INITIALUPDATE = 0x0364;
inline constexpr UINT WM_APP = 0x8000;

// Mouse message flags (WPARAM of the mouse messages).
inline constexpr UINT MK_LBUTTON = 0x0001;
inline constexpr UINT MK_RBUTTON = 0x0002;
inline constexpr UINT MK_SHIFT = 0x0004;
inline constexpr UINT MK_CONTROL = 0x0008;
inline constexpr UINT MK_MBUTTON = 0x0010;

// Virtual-key codes; letters and digits are their upper-case ASCII codes.
inline constexpr UINT VK_BACK = 0x08;
inline constexpr UINT VK_TAB = 0x09;
inline constexpr UINT VK_RETURN = 0x0D;
inline constexpr UINT VK_SHIFT = 0x10;
inline constexpr UINT VK_CONTROL = 0x11;
inline constexpr UINT VK_MENU = 0x12;
inline constexpr UINT VK_ESCAPE = 0x1B;
inline constexpr UINT VK_SPACE = 0x20;
inline constexpr UINT VK_PRIOR = 0x21;
inline constexpr UINT VK_NEXT = 0x22;
inline constexpr UINT VK_END = 0x23;
inline constexpr UINT VK_HOME = 0x24;
inline constexpr UINT VK_LEFT = 0x25;
inline constexpr UINT VK_UP = 0x26;
inline constexpr UINT VK_RIGHT = 0x27;
inline constexpr UINT VK_DOWN = 0x28;
inline constexpr UINT VK_INSERT = 0x2D;
inline constexpr UINT VK_DELETE = 0x2E;
inline constexpr UINT VK_MULTIPLY = 0x6A;
inline constexpr UINT VK_ADD = 0x6B;
inline constexpr UINT VK_SUBTRACT = 0x6D;
inline constexpr UINT VK_F1 = 0x70;
inline constexpr UINT VK_F12 = 0x7B;
// The bracket keys of a US keyboard: '[' and ']'.
inline constexpr UINT VK_OEM_4 = 0xDB;
inline constexpr UINT VK_OEM_6 = 0xDD;

// Key message flags (LPARAM bits above the repeat count).
inline constexpr UINT KF_EXTENDED = 0x0100;
inline constexpr UINT KF_REPEAT = 0x4000;
inline constexpr UINT KF_UP = 0x8000;

// Scroll codes (low word of WM_HSCROLL / WM_VSCROLL).
inline constexpr UINT SB_LINEUP = 0;
inline constexpr UINT SB_LINELEFT = 0;
inline constexpr UINT SB_LINEDOWN = 1;
inline constexpr UINT SB_LINERIGHT = 1;
inline constexpr UINT SB_PAGEUP = 2;
inline constexpr UINT SB_PAGELEFT = 2;
inline constexpr UINT SB_PAGEDOWN = 3;
inline constexpr UINT SB_PAGERIGHT = 3;
inline constexpr UINT SB_THUMBPOSITION = 4;
inline constexpr UINT SB_THUMBTRACK = 5;
inline constexpr UINT SB_TOP = 6;
inline constexpr UINT SB_LEFT = 6;
inline constexpr UINT SB_BOTTOM = 7;
inline constexpr UINT SB_RIGHT = 7;
inline constexpr UINT SB_ENDSCROLL = 8;
// Scroll information: which parts of a SCROLLINFO apply.
inline constexpr UINT SIF_RANGE = 0x0001;
inline constexpr UINT SIF_PAGE = 0x0002;
inline constexpr UINT SIF_POS = 0x0004;
inline constexpr UINT SIF_DISABLENOSCROLL = 0x0008;
inline constexpr UINT SIF_TRACKPOS = 0x0010;
inline constexpr UINT SIF_ALL = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_TRACKPOS;

// A scroll bar's range (minimum and maximum, both included), page (the
// visible part) and position. Nothing can scroll when the page is 0 or
// larger than maximum - minimum; such a bar is hidden, or shown disabled
// when the information carries SIF_DISABLENOSCROLL.
struct SCROLLINFO {
    UINT cbSize = 28;
    UINT fMask = 0;
    int nMin = 0;
    int nMax = 0;
    UINT nPage = 0;
    int nPos = 0;
    int nTrackPos = 0;
};
static_assert(sizeof(SCROLLINFO) == 28);

// True when the information describes something to scroll.
constexpr bool can_scroll(const SCROLLINFO& si)
{
    return si.nPage != 0 && std::int64_t(si.nPage) <= std::int64_t(si.nMax) - si.nMin;
}

// Scroll-bar kinds and orientations.
inline constexpr int SB_HORZ = 0;
inline constexpr int SB_VERT = 1;
inline constexpr int SB_CTL = 2;

// WM_ACTIVATE states.
inline constexpr UINT WA_INACTIVE = 0;
inline constexpr UINT WA_ACTIVE = 1;
inline constexpr UINT WA_CLICKACTIVE = 2;

// WM_SIZE kinds.
inline constexpr UINT SIZE_RESTORED = 0;

// Hit-test code of WM_SETCURSOR for the client area.
inline constexpr UINT HTCLIENT = 1;

// ShowWindow commands.
inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOW = 5;
inline constexpr int SW_SHOWMAXIMIZED = 3;

// Window styles.
inline constexpr DWORD WS_CHILD = 0x40000000;
inline constexpr DWORD WS_VISIBLE = 0x10000000;
inline constexpr DWORD WS_DISABLED = 0x08000000;
inline constexpr DWORD WS_CLIPSIBLINGS = 0x04000000;
inline constexpr DWORD WS_MAXIMIZE = 0x01000000;
inline constexpr DWORD WS_CLIPCHILDREN = 0x02000000;
inline constexpr DWORD WS_BORDER = 0x00800000;
inline constexpr DWORD WS_VSCROLL = 0x00200000;
inline constexpr DWORD WS_HSCROLL = 0x00100000;
inline constexpr DWORD WS_TABSTOP = 0x00010000;
inline constexpr DWORD WS_OVERLAPPEDWINDOW = 0x00CF0000;
inline constexpr DWORD WS_POPUP = 0x80000000;
// Scroll-bar control styles.
inline constexpr DWORD SBS_HORZ = 0x0000;
inline constexpr DWORD SBS_VERT = 0x0001;
// Edit control styles.
inline constexpr DWORD ES_LEFT = 0x0000;
inline constexpr DWORD ES_AUTOHSCROLL = 0x0080;

// SetWindowPos flags.
inline constexpr UINT SWP_NOSIZE = 0x0001;
inline constexpr UINT SWP_NOMOVE = 0x0002;
inline constexpr UINT SWP_NOZORDER = 0x0004;
inline constexpr UINT SWP_NOACTIVATE = 0x0010;

// TrackMouseEvent.
inline constexpr DWORD TME_LEAVE = 0x00000002;

// Edit control messages and notifications. EM_SETSEL selects the characters
// from WPARAM up to LPARAM (-1: to the end); EM_SETMARGINS sets the left
// (low word of LPARAM) and right (high word) margins named by WPARAM. An
// edit control tells of every change of its text by WM_COMMAND with
// EN_UPDATE in the high word of WPARAM, sent to the edit window itself
// (reflected), LPARAM the edit window.
inline constexpr UINT EM_SETSEL = 0x00B1;
inline constexpr UINT EM_SETMARGINS = 0x00D3;
// The index of the character nearest a point of the field (LPARAM the point,
// MAKELPARAM); unlike the 16-bit original the whole result is the index, -1
// when the field cannot tell.
inline constexpr UINT EM_CHARFROMPOS = 0x00D7;
inline constexpr WPARAM EC_LEFTMARGIN = 0x0001;
inline constexpr WPARAM EC_RIGHTMARGIN = 0x0002;
inline constexpr UINT EN_UPDATE = 0x0400;

// Dialog results.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

// Window user data slot.
inline constexpr int GWLP_USERDATA = -21;
