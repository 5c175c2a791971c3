#include "platform/gui/folder_dialog.h"

#include <wx/app.h>
#include <wx/dirdlg.h>

#include "platform/gui/app.h"
#include "platform/gui/detail/wx.h"

namespace {

folder_responder& the_responder()
{
    static folder_responder r;
    return r;
}

} // namespace

void SetFolderResponder(folder_responder r)
{
    the_responder() = std::move(r);
}

bool BrowseForFolder(const std::string& title, std::string& folder, CWnd* parent)
{
    if (auto& r = the_responder()) {
        std::string chosen = folder;
        if (!r(title, chosen))
            return false;
        folder = chosen;
        return true;
    }
    if (!platform::gui::running() && wxTheApp == nullptr)
        return false;
    wxWindow* owner = platform::gui::detail::dialog_owner(parent);
    wxDirDialog dialog(owner, wxString::FromUTF8(title), wxString::FromUTF8(folder), wxDD_DEFAULT_STYLE);
    platform::gui::detail::prepare_file_chooser(&dialog);
    platform::gui::detail::end_capture_for_modal();
    if (dialog.ShowModal() != wxID_OK)
        return false;
    folder = dialog.GetPath().utf8_string();
    return true;
}
