#pragma once

// The program's own resources: command and string identifiers, the string
// table of the shell, the main menu and the accelerator table (both
// identifier 129). Texts of the menus are the built-in ones; string-table
// entries may come from a language module (LanguageModule).

#include <cstdint>
#include <string>
#include <vector>

#include "platform/gui/shell.h"

namespace resources {

// Commands.
inline constexpr std::uint32_t ID_FILE_NEW = 57600;
inline constexpr std::uint32_t ID_FILE_OPEN = 57601;
inline constexpr std::uint32_t ID_FILE_CLOSE = 57602;
inline constexpr std::uint32_t ID_FILE_SAVE = 57603;
inline constexpr std::uint32_t ID_FILE_SAVE_AS = 57604;
inline constexpr std::uint32_t ID_FILE_MRU_FIRST = 57616;
inline constexpr std::uint32_t ID_FILE_MRU_LAST = 57631;
inline constexpr std::uint32_t ID_EDIT_CLEAR = 57632;
inline constexpr std::uint32_t ID_EDIT_COPY = 57634;
inline constexpr std::uint32_t ID_EDIT_CUT = 57635;
inline constexpr std::uint32_t ID_EDIT_PASTE = 57637;
inline constexpr std::uint32_t ID_EDIT_UNDO = 57643;
inline constexpr std::uint32_t ID_EDIT_REDO = 57644;
inline constexpr std::uint32_t ID_APP_ABOUT = 57664;
inline constexpr std::uint32_t ID_APP_EXIT = 57665;
inline constexpr std::uint32_t ID_VIEW_STATUS_BAR = 59393;
inline constexpr std::uint32_t ID_CACHE_SETTINGS = 33127;
inline constexpr std::uint32_t ID_RENDER_SETTINGS = 33212;
inline constexpr std::uint32_t ID_LANGUAGE_ENGLISH = 33209;
inline constexpr std::uint32_t ID_LANGUAGE_RUSSIAN = 33210;
inline constexpr std::uint32_t ID_LANGUAGE_FIRST = 20000;
inline constexpr std::uint32_t ID_LANGUAGE_LAST = 20100;
inline constexpr std::uint32_t ID_VIEW_RIGHT_PANELS = 50048;
inline constexpr std::uint32_t ID_VIEW_BOTTOM_PANELS = 50049;
// The view window's control identifier.
inline constexpr unsigned AFX_IDW_PANE_FIRST = 59648;
inline constexpr unsigned IDR_MAINFRAME = 129;
inline constexpr unsigned IDD_ABOUTBOX = 100;

// Strings of the shell.
inline constexpr std::uint32_t IDS_LANGUAGE_NAME = 20000; // + language index
inline constexpr std::uint32_t IDS_PRODUCT_NAME = 50013;
inline constexpr std::uint32_t IDS_RESTART_REQUIRED = 50043;
inline constexpr std::uint32_t IDS_LANGUAGE_NOTICE = 50044;
inline constexpr std::uint32_t IDS_DEFAULT_LANGUAGE = 50045;
inline constexpr std::uint32_t IDS_SETTINGS_NOT_STORED = 50090;
inline constexpr std::uint32_t IDS_NOT_AVAILABLE = 50091;

// The shell's entry of the built-in string table, or false when it has none
// (the toolkit's table is asked next).
bool FindBuiltInString(std::uint32_t id, std::string& text);

// Menu 129 as built in; the "Language" popup holds the placeholders that the
// main frame replaces.
std::vector<platform::gui::menu_entry> MainMenu();

// One entry of an accelerator table: a virtual key with MOD_ flags.
struct Accelerator {
    unsigned key;
    unsigned modifiers;
    std::uint32_t command;
};

// Accelerator table 129.
const std::vector<Accelerator>& MainAccelerators();
// The command of a key in table 129, or 0.
std::uint32_t FindAccelerator(unsigned key, unsigned modifiers);

} // namespace resources
