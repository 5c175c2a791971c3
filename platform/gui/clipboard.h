#pragma once

// The clipboard's text. Without a running window system the clipboard is
// one in-process text, so that copying works headless. UI thread only.

#include <functional>
#include <optional>
#include <string>

namespace platform::gui {

// Replaces the clipboard's contents by the text; false when the clipboard
// could not be opened or would not take it (its contents are then
// unspecified, possibly empty).
bool set_clipboard_text(const std::string& text);
// The clipboard's text, or nothing when it holds none or cannot be opened.
std::optional<std::string> clipboard_text();

// Replaces the clipboard by a function that takes the text and answers
// whether it was taken (tests of failure handling); an empty function
// restores the clipboard.
using clipboard_writer = std::function<bool(const std::string&)>;
void set_clipboard_writer(clipboard_writer writer);

} // namespace platform::gui
