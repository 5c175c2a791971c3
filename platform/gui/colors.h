#pragma once

// System colours: the colours of the current theme by their COLOR_ roles,
// and the colour dialog.

#include <functional>

#include "platform/gui/types.h"

class CWnd;

inline constexpr int COLOR_WINDOW = 5;
inline constexpr int COLOR_WINDOWTEXT = 8;
inline constexpr int COLOR_HIGHLIGHT = 13;
inline constexpr int COLOR_HIGHLIGHTTEXT = 14;
inline constexpr int COLOR_BTNFACE = 15;
inline constexpr int COLOR_3DFACE = 15;
inline constexpr int COLOR_BTNSHADOW = 16;
inline constexpr int COLOR_3DSHADOW = 16;
inline constexpr int COLOR_GRAYTEXT = 17;
inline constexpr int COLOR_BTNTEXT = 18;
inline constexpr int COLOR_BTNHIGHLIGHT = 20;
inline constexpr int COLOR_3DHILIGHT = 20;
inline constexpr int COLOR_3DDKSHADOW = 21;
inline constexpr int COLOR_3DLIGHT = 22;
inline constexpr int COLOR_INFOTEXT = 23;
inline constexpr int COLOR_INFOBK = 24;

// The theme's colour for the role: read from the window system once it runs
// (the GTK theme), else a fixed light palette. Unknown roles give black.
COLORREF GetSysColor(int index);

// The system colour dialog, modal, owned by a window.
inline constexpr DWORD CC_RGBINIT = 0x0001;
inline constexpr DWORD CC_FULLOPEN = 0x0002;
inline constexpr DWORD CC_ANYCOLOR = 0x0100;

class CColorDialog {
public:
    CColorDialog(COLORREF initial = 0, DWORD flags = 0, CWnd* parent = nullptr);

    // Shows the dialog; IDOK when the user chose a colour, else IDCANCEL.
    int DoModal();
    COLORREF GetColor() const { return m_color; }

    // Replaces the dialog by a function that gets the initial colour and
    // answers IDOK or IDCANCEL, setting the colour (scripted sessions and
    // tests); an empty function restores the dialog.
    using responder = std::function<int(COLORREF& color)>;
    static void SetResponder(responder r);

private:
    COLORREF m_color;
    DWORD m_flags;
    CWnd* m_parent;
};
