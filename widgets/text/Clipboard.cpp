#include "widgets/text/Clipboard.h"

#include <stdexcept>

#include "platform/gui/clipboard.h"
#include "widgets/core/Prompt.h"

namespace My {

void CopyTextToClipboard(const std::string& text, CWnd*)
{
    PushOperation("copying data into the clipboard");
    if (!platform::gui::set_clipboard_text(text))
        throw std::runtime_error("The clipboard could not take the text.");
    PopOperation();
}

void CopyLinesToClipboard(const std::string& text, CWnd* window)
{
    if (text.find('\n') == std::string::npos) {
        CopyTextToClipboard(text, window);
        return;
    }
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    CopyTextToClipboard(out, window);
}

} // namespace My
