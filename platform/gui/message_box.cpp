#include "platform/gui/message_box.h"

#include <iostream>

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/msgdlg.h>

#include "platform/gui/detail/wx.h"

namespace platform {

namespace {

int diagnostic(const std::string& text, unsigned style)
{
    std::cerr << text << '\n';
    return (style & 0xF) == MB_YESNO ? IDYES : IDOK;
}

// The toolkit is one shared library for the program and every library that
// links this service, so its application object and active loop tell each
// copy of this file whether a user can see a window now.
int automatic(const std::string& text, unsigned style)
{
    return toolkit_loop_running() ? native_message_box(text, style) : diagnostic(text, style);
}

message_box_presenter g_presenter = nullptr;

} // namespace

bool toolkit_loop_running()
{
    return wxTheApp != nullptr && wxEventLoopBase::GetActive() != nullptr;
}

int native_message_box(const std::string& text, unsigned style)
{
    long flags = 0;
    switch (style & 0xF) {
    case 0x1:
        flags = wxOK | wxCANCEL;
        break;
    case 0x3:
        flags = wxYES_NO | wxCANCEL;
        break;
    case MB_YESNO:
        flags = wxYES_NO;
        break;
    default:
        flags = wxOK;
        break;
    }
    switch (style & 0xF0) {
    case MB_ICONERROR:
        flags |= wxICON_ERROR;
        break;
    case MB_ICONQUESTION:
        flags |= wxICON_QUESTION;
        break;
    case MB_ICONEXCLAMATION:
        flags |= wxICON_EXCLAMATION;
        break;
    case MB_ICONINFORMATION:
        flags |= wxICON_INFORMATION;
        break;
    default:
        break;
    }
    wxMessageDialog dialog(wxTheApp ? wxTheApp->GetTopWindow() : nullptr, wxString::FromUTF8(text),
        wxTheApp ? wxTheApp->GetAppDisplayName() : wxString(), flags);
    platform::gui::detail::end_capture_for_modal();
    switch (dialog.ShowModal()) {
    case wxID_YES:
        return IDYES;
    case wxID_NO:
        return IDNO;
    case wxID_CANCEL:
        return IDCANCEL;
    default:
        return IDOK;
    }
}

message_box_presenter set_message_box_presenter(message_box_presenter presenter)
{
    message_box_presenter previous = g_presenter;
    g_presenter = presenter;
    return previous;
}

int MessageBox(const std::string& text, unsigned style)
{
    return (g_presenter != nullptr ? g_presenter : automatic)(text, style);
}

} // namespace platform
