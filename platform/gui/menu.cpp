#include "platform/gui/menu.h"

#include <wx/menu.h>
#include <wx/window.h>

#include "platform/gui/app.h"
#include "platform/gui/detail/menu_text.h"
#include "platform/gui/detail/wx.h"
#include "platform/gui/wnd.h"

namespace {

CMenu::responder& the_responder()
{
    static CMenu::responder r;
    return r;
}

} // namespace

void CMenu::SetResponder(responder r)
{
    the_responder() = std::move(r);
}

BOOL CMenu::CreatePopupMenu()
{
    if (m_created)
        return FALSE;
    m_created = true;
    m_items.clear();
    return TRUE;
}

BOOL CMenu::DestroyMenu()
{
    if (!m_created)
        return FALSE;
    m_created = false;
    m_items.clear();
    return TRUE;
}

BOOL CMenu::AppendMenu(UINT flags, UINT id, const std::string& text)
{
    if (!m_created)
        return FALSE;
    m_items.push_back(item { flags, id, text });
    return TRUE;
}

int CMenu::TrackPopupMenu(UINT flags, int x, int y, CWnd* owner)
{
    if (!m_created)
        return 0;
    int chosen = 0;
    if (the_responder()) {
        chosen = the_responder()(*this, flags, CPoint(x, y));
    } else if (platform::gui::running()) {
        wxWindow* host = platform::gui::detail::native_window(owner);
        if (!host)
            return 0;
        // Items are numbered from 1 for the toolkit, which takes ids below
        // 32767 only; the choice is mapped back to the item's own id.
        wxMenu menu;
        for (std::size_t n = 0; n < m_items.size(); ++n) {
            const item& i = m_items[n];
            const int native = int(n) + 1;
            if (i.flags & MF_SEPARATOR) {
                menu.AppendSeparator();
                continue;
            }
            const wxString label = platform::gui::detail::menu_label(i.text);
            wxMenuItem* made
                = (i.flags & MF_CHECKED) ? menu.AppendCheckItem(native, label) : menu.Append(native, label);
            if (i.flags & MF_CHECKED)
                made->Check(true);
            platform::gui::detail::show_key_hint(made, i.text);
        }
        wxPoint at = host->ScreenToClient(wxPoint(x, y));
        // The toolkit places a menu by its top-left and keeps it on the
        // screen; it cannot measure the menu before showing it, so a
        // right-aligned menu opens at the point too.
        platform::gui::detail::end_capture_for_modal();
        const int id = host->GetPopupMenuSelectionFromUser(menu, at);
        if (id >= 1 && std::size_t(id) <= m_items.size())
            chosen = int(m_items[std::size_t(id) - 1].id);
    }
    if (chosen && !(flags & TPM_NONOTIFY) && owner && CWnd::IsAlive(owner))
        owner->SendMessage(WM_COMMAND, WPARAM(chosen), 0);
    return (flags & TPM_RETURNCMD) ? chosen : (chosen != 0);
}
