#pragma once

// Text onto the clipboard. UI thread only.

#include <string>

class CWnd;

namespace My {

// Replaces the clipboard's contents by the text, under the operation name
// "copying data into the clipboard". Throws std::runtime_error (the name
// staying for the error report) when the clipboard cannot take it. `window`
// is the clipboard's owner (null: the main window).
void CopyTextToClipboard(const std::string& text, CWnd* window = nullptr);
// The same with every line feed turned into a carriage return and a line
// feed.
void CopyLinesToClipboard(const std::string& text, CWnd* window = nullptr);

} // namespace My
