#include "platform/gui/progress.h"

#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/frame.h>
#include <wx/gauge.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#include "platform/gui/app.h"
#include "platform/gui/detail/wx.h"

struct CProgressWindow::native {
    wxDialog* dialog = nullptr;
    wxStaticText* text = nullptr;
    wxGauge* gauge = nullptr;
    wxButton* cancel = nullptr;
};

CProgressWindow::CProgressWindow() = default;

CProgressWindow::~CProgressWindow()
{
    DestroyWindow();
}

bool CProgressWindow::Create(CWnd* parent, const std::string& caption)
{
    if (m_created)
        return false;
    m_created = true;
    m_caption = caption;
    if (!platform::gui::running())
        return true;
    m_native = std::make_unique<native>();
    wxWindow* owner = platform::gui::detail::native_window(parent);
    if (owner)
        owner = wxGetTopLevelParent(owner);
    auto* d = new wxDialog(owner, wxID_ANY, wxString::FromUTF8(caption), wxDefaultPosition, wxDefaultSize,
        wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX | wxFRAME_TOOL_WINDOW
            | (owner ? wxFRAME_FLOAT_ON_PARENT : 0));
    // The layout of the template, in dialog units: 186 x 55; the text at
    // (4, 4) 178 x 10, the bar at (4, 15) 178 x 8, Cancel at (72, 39) 42 x 12.
    const auto du = [d](int x, int y) { return d->ConvertDialogToPixels(wxPoint(x, y)); };
    const auto ds = [d](int w, int h) { return d->ConvertDialogToPixels(wxSize(w, h)); };
    m_native->text = new wxStaticText(
        d, 1001, wxString(), du(4, 4), ds(178, 10), wxALIGN_CENTRE_HORIZONTAL | wxST_NO_AUTORESIZE);
    m_native->gauge = new wxGauge(d, 1000, std::max(1, m_range), du(4, 15), ds(178, 8), wxGA_HORIZONTAL);
    m_native->cancel = new wxButton(d, wxID_CANCEL, "Cancel", du(72, 39), ds(42, 12));
    d->SetClientSize(ds(186, 55));
    d->SetEscapeId(wxID_CANCEL);
    d->Bind(
        wxEVT_BUTTON, [this](wxCommandEvent&) { PressCancel(); }, wxID_CANCEL);
    d->Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent& e) {
        e.Veto();
        PressCancel();
    });
    d->CentreOnParent();
    m_native->dialog = d;
    return true;
}

void CProgressWindow::DestroyWindow()
{
    if (m_native && m_native->dialog)
        m_native->dialog->Destroy();
    m_native.reset();
    m_created = false;
    m_visible = false;
}

void CProgressWindow::SetCaption(const std::string& caption)
{
    m_caption = caption;
    if (m_native && m_native->dialog)
        m_native->dialog->SetTitle(wxString::FromUTF8(caption));
}

void CProgressWindow::SetText(const std::string& text)
{
    m_text = text;
    if (m_native && m_native->text)
        m_native->text->SetLabel(wxString::FromUTF8(text));
}

void CProgressWindow::SetRange(int total)
{
    m_range = total;
    if (m_native && m_native->gauge)
        m_native->gauge->SetRange(std::max(1, total));
}

void CProgressWindow::SetPos(int pos)
{
    m_pos = pos;
    if (m_native && m_native->gauge)
        m_native->gauge->SetValue(std::clamp(pos, 0, m_native->gauge->GetRange()));
}

void CProgressWindow::Show(bool visible)
{
    m_visible = visible && m_created;
    if (m_native && m_native->dialog)
        m_native->dialog->Show(visible);
}

void CProgressWindow::Enable(bool enabled)
{
    if (m_native && m_native->dialog)
        m_native->dialog->Enable(enabled);
}

CRect CProgressWindow::GetCancelRect() const
{
    if (!m_native || !m_native->cancel)
        return CRect();
    return platform::gui::detail::from_wx(m_native->cancel->GetScreenRect());
}

void CProgressWindow::PressCancel()
{
    if (m_onCancel)
        m_onCancel();
}
