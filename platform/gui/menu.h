#pragma once

// Popup menus: a list of string items with command identifiers, shown at a
// screen point until the user picks an item or dismisses it. UI thread only.

#include <functional>
#include <string>
#include <vector>

#include "platform/gui/types.h"

class CWnd;

// AppendMenu flags.
inline constexpr UINT MF_STRING = 0x0000;
inline constexpr UINT MF_CHECKED = 0x0008;
inline constexpr UINT MF_SEPARATOR = 0x0800;
// TrackPopupMenu flags.
inline constexpr UINT TPM_LEFTALIGN = 0x0000;
inline constexpr UINT TPM_RIGHTALIGN = 0x0008;
inline constexpr UINT TPM_TOPALIGN = 0x0000;
inline constexpr UINT TPM_NONOTIFY = 0x0080;
inline constexpr UINT TPM_RETURNCMD = 0x0100;

class CMenu {
public:
    struct item {
        UINT flags = MF_STRING;
        UINT id = 0;
        std::string text;
    };

    BOOL CreatePopupMenu();
    BOOL DestroyMenu();
    BOOL AppendMenu(UINT flags, UINT id = 0, const std::string& text = std::string());
    const std::vector<item>& Items() const { return m_items; }

    // Shows the menu with its top-left (TPM_RIGHTALIGN: top-right) at the
    // screen point, owned by the window. With TPM_RETURNCMD answers the
    // chosen item's identifier, 0 when the menu was dismissed; the window
    // gets no WM_COMMAND with TPM_NONOTIFY.
    int TrackPopupMenu(UINT flags, int x, int y, CWnd* owner);

    // Replaces the shown menu by a function that gets the menu, the flags
    // and the point and answers the chosen identifier or 0 (scripted
    // sessions and tests); an empty function restores the menu.
    using responder = std::function<int(const CMenu& menu, UINT flags, const CPoint& at)>;
    static void SetResponder(responder r);

private:
    bool m_created = false;
    std::vector<item> m_items;
};
