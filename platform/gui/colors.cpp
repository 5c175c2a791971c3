#include "platform/gui/colors.h"

#include <array>
#include <optional>

#include <wx/colordlg.h>
#include <wx/settings.h>

#include "platform/gui/app.h"
#include "platform/gui/detail/wx.h"
#include "platform/gui/metrics.h"

namespace {

struct role {
    int index;
    wxSystemColour wx;
    COLORREF fallback;
};

// The fallback palette is the light theme's, so that drawing without a
// display looks like drawing with one.
constexpr std::array<role, 14> roles { {
    { COLOR_WINDOW, wxSYS_COLOUR_WINDOW, RGB(255, 255, 255) },
    { COLOR_WINDOWTEXT, wxSYS_COLOUR_WINDOWTEXT, RGB(0, 0, 0) },
    { COLOR_HIGHLIGHT, wxSYS_COLOUR_HIGHLIGHT, RGB(53, 132, 228) },
    { COLOR_HIGHLIGHTTEXT, wxSYS_COLOUR_HIGHLIGHTTEXT, RGB(255, 255, 255) },
    { COLOR_BTNFACE, wxSYS_COLOUR_BTNFACE, RGB(246, 245, 244) },
    { COLOR_BTNSHADOW, wxSYS_COLOUR_BTNSHADOW, RGB(160, 160, 160) },
    { COLOR_GRAYTEXT, wxSYS_COLOUR_GRAYTEXT, RGB(146, 149, 149) },
    { COLOR_BTNTEXT, wxSYS_COLOUR_BTNTEXT, RGB(46, 52, 54) },
    { COLOR_BTNHIGHLIGHT, wxSYS_COLOUR_BTNHIGHLIGHT, RGB(255, 255, 255) },
    { COLOR_3DDKSHADOW, wxSYS_COLOUR_3DDKSHADOW, RGB(105, 105, 105) },
    { COLOR_3DLIGHT, wxSYS_COLOUR_3DLIGHT, RGB(227, 227, 227) },
    { COLOR_INFOTEXT, wxSYS_COLOUR_INFOTEXT, RGB(255, 255, 255) },
    { COLOR_INFOBK, wxSYS_COLOUR_INFOBK, RGB(0, 0, 0) },
    { 0, wxSYS_COLOUR_SCROLLBAR, RGB(200, 200, 200) },
} };

CColorDialog::responder& the_responder()
{
    static CColorDialog::responder r;
    return r;
}

} // namespace

COLORREF GetSysColor(int index)
{
    // Read once from the theme: drawing asks for colours all the time.
    static std::array<std::optional<COLORREF>, 32> cache;
    for (const role& r : roles) {
        if (r.index != index)
            continue;
        if (!platform::gui::running())
            return r.fallback;
        auto& slot = cache[std::size_t(index) % cache.size()];
        if (!slot) {
            const wxColour c = wxSystemSettings::GetColour(r.wx);
            slot = c.IsOk() ? platform::gui::detail::from_wx(c) : r.fallback;
        }
        return *slot;
    }
    return 0;
}

CColorDialog::CColorDialog(COLORREF initial, DWORD flags, CWnd* parent)
    : m_color(initial)
    , m_flags(flags)
    , m_parent(parent)
{
}

void CColorDialog::SetResponder(responder r)
{
    the_responder() = std::move(r);
}

int CColorDialog::DoModal()
{
    if (auto& r = the_responder()) {
        COLORREF c = m_color;
        const int answer = r(c);
        if (answer == IDOK)
            m_color = c;
        return answer;
    }
    if (!platform::gui::running())
        return IDCANCEL;
    wxColourData data;
    data.SetChooseFull((m_flags & CC_FULLOPEN) != 0);
    data.SetColour(platform::gui::detail::to_wx(m_color));
    wxWindow* owner = nullptr;
    if (m_parent && m_parent->GetSafeHwnd())
        owner = wxWindow::FindFocus();
    wxColourDialog dialog(owner, &data);
    platform::gui::detail::end_capture_for_modal();
    if (dialog.ShowModal() != wxID_OK)
        return IDCANCEL;
    m_color = platform::gui::detail::from_wx(dialog.GetColourData().GetColour());
    return IDOK;
}

int GetSystemMetrics(int index)
{
    switch (index) {
    case SM_CXVSCROLL:
    case SM_CYHSCROLL: {
        int v = 0;
        if (platform::gui::running())
            v = wxSystemSettings::GetMetric(index == SM_CXVSCROLL ? wxSYS_VSCROLL_X : wxSYS_HSCROLL_Y);
        return v < min_scroll_bar_thickness ? min_scroll_bar_thickness : v;
    }
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK: {
        int v = platform::gui::running() ? wxSystemSettings::GetMetric(wxSYS_DCLICK_X) : -1;
        return v > 0 ? v : 4;
    }
    default:
        return 0;
    }
}
