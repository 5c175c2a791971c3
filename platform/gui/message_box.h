#pragma once

// Message boxes: a text with buttons and an icon, answered by the user.
// Until a presenter is installed, a message box is the toolkit's native box
// while the toolkit's loop runs (in the program and in every library it
// loads alike), and otherwise writes its text to the diagnostic stream and
// gives the answer of its first button; headless code and tests install
// presenters of their own.
//
// The presenter is kept per library that links this service; install it
// from the thread that shows message boxes (the UI thread).

#include <string>

namespace platform {

inline constexpr unsigned MB_OK = 0x0;
inline constexpr unsigned MB_OKCANCEL = 0x1;
inline constexpr unsigned MB_YESNO = 0x4;
inline constexpr unsigned MB_ICONERROR = 0x10;
inline constexpr unsigned MB_ICONQUESTION = 0x20;
inline constexpr unsigned MB_ICONEXCLAMATION = 0x30;
inline constexpr unsigned MB_ICONINFORMATION = 0x40;

inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

// Shows `text` with the buttons and icon of `style` and returns the answer.
using message_box_presenter = int (*)(const std::string& text, unsigned style);

// Installs a presenter (null: the diagnostic one); returns the previous one.
message_box_presenter set_message_box_presenter(message_box_presenter presenter);

int MessageBox(const std::string& text, unsigned style);

// The toolkit's modal message box over its top window.
int native_message_box(const std::string& text, unsigned style);

// Whether the toolkit's event loop runs, so that a window can be seen.
bool toolkit_loop_running();

} // namespace platform
