#include "platform/gui/clipboard.h"

#include <wx/clipbrd.h>
#include <wx/dataobj.h>

#include "platform/gui/app.h"

namespace platform::gui {

namespace {

clipboard_writer& writer()
{
    static clipboard_writer w;
    return w;
}

std::optional<std::string>& headless_text()
{
    static std::optional<std::string> text;
    return text;
}

} // namespace

void set_clipboard_writer(clipboard_writer w)
{
    writer() = std::move(w);
}

bool set_clipboard_text(const std::string& text)
{
    if (writer())
        return writer()(text);
    if (!running()) {
        headless_text() = text;
        return true;
    }
    wxClipboardLocker lock(wxTheClipboard);
    if (!lock)
        return false;
    wxTheClipboard->Clear();
    // Kept after the program ends where the window system allows it.
    const bool taken = wxTheClipboard->SetData(new wxTextDataObject(wxString::FromUTF8(text)));
    if (taken)
        wxTheClipboard->Flush();
    return taken;
}

std::optional<std::string> clipboard_text()
{
    if (!running())
        return headless_text();
    wxClipboardLocker lock(wxTheClipboard);
    if (!lock || !wxTheClipboard->IsSupported(wxDF_UNICODETEXT))
        return std::nullopt;
    wxTextDataObject data;
    if (!wxTheClipboard->GetData(data))
        return std::nullopt;
    return data.GetText().utf8_string();
}

} // namespace platform::gui
