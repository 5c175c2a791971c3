#pragma once

// What a program's main window needs of the window system beyond plain
// windows: the menu bar and its item states, the keys pressed before any
// window sees them (for accelerator tables), files dropped on a window, and
// the common file dialogs. UI thread only.

#include <functional>
#include <string>
#include <vector>

#include "platform/gui/types.h"

class CWnd;

// Files dropped on a window that accepts them: WPARAM points to a
// const std::vector<std::string> of full paths, valid during the call.
inline constexpr UINT WM_DROPFILES = 0x0233;

namespace platform::gui {

// One entry of a menu: a command (id and text, "\t" separating the key hint),
// a separator, or a popup with entries of its own.
struct menu_entry {
    UINT id = 0;
    std::string text;
    bool separator = false;
    bool grayed = false;
    bool popup = false;
    std::vector<menu_entry> entries;
};

// The state of a command item as an update handler sets it.
struct menu_item_state {
    bool enabled = true;
    // Set with check or radio: the item carries a mark (a check item), and
    // the mark shown is check != 0 or radio. An item whose handler sets no
    // mark is a plain item.
    bool marked = false;
    int check = 0;
    bool radio = false;
    std::string text;
    bool text_set = false;
};

// Asked for each command item of a popup before it opens (and by
// refresh_menu_bar). The item starts enabled as it is now, with its text
// and without a mark; what the handler answers is what the item shows.
using menu_update = std::function<void(UINT id, menu_item_state& state)>;

// Gives a created frame window (CFrameWnd) its menu bar; choosing an item
// sends WM_COMMAND with the item's id in the low word of WPARAM to the frame.
// Answers false when the window has no native frame.
bool set_menu_bar(CWnd* frame, const std::vector<menu_entry>& bar, menu_update update);
// Runs the update of every item of the frame's menu bar now.
void refresh_menu_bar(CWnd* frame);
// The text and enabled state the item shows now; false for an unknown id.
bool get_menu_item(CWnd* frame, UINT id, std::string& text, bool& enabled);
// Whether the item carries a mark now and whether the mark is set; false
// for an unknown id.
bool get_menu_item_mark(CWnd* frame, UINT id, bool& marked, bool& checked);

// Maximises a created frame window (shown or about to be shown).
void maximize_window(CWnd* frame);

// Modifier flags of a key filter.
inline constexpr UINT MOD_SHIFT = 1;
inline constexpr UINT MOD_CONTROL = 2;
inline constexpr UINT MOD_ALT = 4;

// Called for each key pressed, before the window with the focus (`target`)
// gets its WM_KEYDOWN; answering true consumes the key. Empty: no filter.
using key_filter = std::function<bool(CWnd* target, UINT vk, UINT modifiers)>;
void set_key_filter(key_filter filter);
// The filter's answer for a key (false without a filter); for the peers.
bool filter_key(CWnd* target, UINT vk, UINT modifiers);

// Makes a window accept dropped files (WM_DROPFILES); false without a native
// window.
bool accept_files(CWnd* window, bool accept);

// A common file dialog. `filter` pairs descriptions and patterns separated by
// "|" and ends in "||" ("Project (*.tvp)|*.tvp||").
struct file_dialog_request {
    bool save = false;
    CWnd* parent = nullptr;
    std::string title;
    std::string filter;
    std::string default_extension;
    std::string initial_path;
    // OFN_ flags: overwrite prompt, file must exist.
    unsigned flags = 0;
};
inline constexpr unsigned OFN_OVERWRITEPROMPT = 0x2;
inline constexpr unsigned OFN_HIDEREADONLY = 0x4;
inline constexpr unsigned OFN_PATHMUSTEXIST = 0x800;
inline constexpr unsigned OFN_FILEMUSTEXIST = 0x1000;
inline constexpr unsigned OFN_ENABLESIZING = 0x800000;

// Shows the dialog; on OK answers true with the full path and the chosen
// filter's index counted from 0; on Cancel false.
using file_dialog_presenter
    = bool (*)(const file_dialog_request& request, std::string& path, int& filter_index);
// Installs a presenter in place of the toolkit's dialog (null: the
// toolkit's); returns the previous one. For tests.
file_dialog_presenter set_file_dialog_presenter(file_dialog_presenter presenter);
bool file_dialog(const file_dialog_request& request, std::string& path, int& filter_index);

// Makes the toolkit's modal message box the presenter of platform::MessageBox
// (message_box.h) while the window system runs.
void use_native_message_box();

} // namespace platform::gui
