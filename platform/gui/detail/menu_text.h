#pragma once

// Internal to platform/gui: a menu item's text ("&Open...\tCtrl+O") as the
// toolkit shows it. The key hint after the tab goes into the menu's
// accelerator column for display only: the toolkit is never told of a key,
// so the program's own accelerator table stays the only thing that acts on
// keys, after the focused window (a text field) has had them.

#include <string>

class wxMenuItem;
class wxString;

namespace platform::gui::detail {

struct menu_text {
    // What the item's label shows: the text before the tab; with a hint the
    // column cannot show (a key the window system has no name for), the
    // hint too, after a few spaces.
    std::string label;
    // The window system's name of the hint's key ("n", "Delete",
    // "bracketleft", "KP_Add"); empty without a hint for the column.
    std::string key;
    // MOD_SHIFT, MOD_CONTROL and MOD_ALT of shell.h.
    unsigned modifiers = 0;
};

// Splits `text` at its first tab and reads the hint: modifiers ("Ctrl+",
// "Shift+", "Alt+", in any order and case), then one key ("N", "Del",
// "PgUp", "F6", "Num 0", "+", "]", "Space", ...). Never throws for a hint it
// cannot read; that hint stays in the label.
menu_text split_menu_text(const std::string& text);

// The label a toolkit item is made with for `text`.
wxString menu_label(const std::string& text);

// Shows the hint of `text` in the accelerator column of `item` (a made
// item), or none; the item's label is left as it is. Does nothing while the
// window system's calls cannot be found.
void show_key_hint(wxMenuItem* item, const std::string& text);

} // namespace platform::gui::detail
