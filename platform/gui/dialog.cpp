#include "platform/gui/dialog.h"

#include <wx/app.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/dialog.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/timer.h>

#include <algorithm>
#include <cctype>
#include <exception>

#include "platform/gui/app.h"
#include "platform/gui/detail/wx.h"
#include "platform/gui/messages.h"

struct CDialog::control_state {
    dialog_control layout;
    std::string text;
    bool checked = false;
    bool enabled = true;
    std::vector<std::string> items;
    int selection = CB_ERR;
    wxWindow* window = nullptr;
};

namespace {

CDialog::responder& the_responder()
{
    static CDialog::responder r;
    return r;
}

std::string lower(std::string s)
{
    for (char& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

wxString wx_text(const std::string& s)
{
    return wxString::FromUTF8(s);
}

// The toolkit is up (in this module or in the program that loaded it).
bool toolkit_ready()
{
    return platform::gui::running() || wxTheApp != nullptr;
}

} // namespace

wxWindow* platform::gui::detail::dialog_owner(CWnd* parent)
{
    wxWindow* owner = native_window(parent);
    if (owner)
        owner = wxGetTopLevelParent(owner);
    if (!owner && wxTheApp)
        owner = wxTheApp->GetTopWindow();
    if (owner && (owner->IsBeingDeleted() || !owner->IsShown()))
        owner = nullptr;
    return owner;
}

struct CDialog::native : wxEvtHandler {
    CDialog& owner;
    wxDialog* dialog = nullptr;
    std::vector<std::unique_ptr<wxTimer>> timers;
    // What a handler of the modal dialog threw; DoModal throws it again.
    std::exception_ptr failure;

    explicit native(CDialog& d)
        : owner(d)
    {
    }
    ~native() override
    {
        timers.clear();
        if (dialog && wxTheApp) {
            dialog->Unbind(wxEVT_CLOSE_WINDOW, &native::on_close, this);
            dialog->Unbind(wxEVT_DESTROY, &native::on_destroy, this);
            dialog->Destroy();
        }
        owner.forget_windows();
    }
    // The toolkit destroyed the window itself (with its owner window): our
    // states stay, and the window is made again when next shown.
    void on_destroy(wxWindowDestroyEvent& e)
    {
        e.Skip();
        if (e.GetEventObject() != dialog)
            return;
        timers.clear();
        dialog = nullptr;
        owner.forget_windows();
        owner.m_visible = false;
    }
    // Runs a handler the toolkit called; nothing it throws reaches the
    // toolkit. A modal dialog ends and hands the error to DoModal's caller;
    // a modeless one reports it.
    template <class F> void guarded(F&& f)
    {
        try {
            f();
        } catch (...) {
            if (dialog && dialog->IsModal()) {
                if (!failure)
                    failure = std::current_exception();
                dialog->EndModal(IDCANCEL);
            } else {
                platform::gui::report_current_exception();
            }
        }
    }
    void on_close(wxCloseEvent&)
    {
        guarded([&] { owner.dispatch(IDCANCEL, BN_CLICKED); });
    }
    // The dialog's keys, before the control with the focus sees them:
    // Escape is Cancel; Return presses the button that has the focus, else
    // the default button (OK when the dialog names none). A disabled button
    // is not pressed.
    void on_key(wxKeyEvent& e)
    {
        const int key = e.GetKeyCode();
        const bool plain = !e.ControlDown() && !e.AltDown();
        if (!plain || (key != WXK_ESCAPE && key != WXK_RETURN && key != WXK_NUMPAD_ENTER)) {
            e.Skip();
            return;
        }
        guarded([&] {
            const int id = key == WXK_ESCAPE ? IDCANCEL : owner.return_button(wxWindow::FindFocus());
            const control_state* c = owner.find(id);
            if (!c || c->enabled)
                owner.dispatch(id, BN_CLICKED);
        });
    }
    void start_timer(unsigned id, unsigned ms)
    {
        auto t = std::make_unique<wxTimer>();
        t->Bind(wxEVT_TIMER, [this, id](wxTimerEvent&) { guarded([&] { owner.OnTimer(id); }); });
        t->Start(int(ms));
        timers.push_back(std::move(t));
    }
};

CDialog::CDialog(const dialog_template& layout, CWnd* parent)
    : m_layout(layout)
    , m_parent(parent)
{
    for (const dialog_control& c : m_layout.controls) {
        control_state s;
        s.layout = c;
        s.text = c.kind == dialog_control::drop_list ? std::string() : c.text;
        s.enabled = !c.disabled;
        m_controls.push_back(std::move(s));
    }
}

CDialog::~CDialog() = default;

void CDialog::SetResponder(responder r)
{
    the_responder() = std::move(r);
}

CDialog::control_state* CDialog::find(int id)
{
    if (id < 0)
        return nullptr;
    for (control_state& c : m_controls)
        if (c.layout.id == id)
            return &c;
    return nullptr;
}

const CDialog::control_state* CDialog::find(int id) const
{
    return const_cast<CDialog*>(this)->find(id);
}

void CDialog::build_native()
{
    if (m_native || !toolkit_ready())
        return;
    m_native = std::make_unique<native>(*this);
    native* n = m_native.get();
    wxWindow* owner = platform::gui::detail::dialog_owner(m_parent);
    auto* d = new wxDialog(owner, wxID_ANY, wx_text(m_layout.caption), wxDefaultPosition, wxDefaultSize,
        wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX);
    m_native->dialog = d;
    d->SetClientSize(d->ConvertDialogToPixels(wxSize(m_layout.cx, m_layout.cy)));
    d->Bind(wxEVT_CLOSE_WINDOW, &native::on_close, m_native.get());
    d->Bind(wxEVT_CHAR_HOOK, &native::on_key, m_native.get());
    d->Bind(wxEVT_DESTROY, &native::on_destroy, m_native.get());
    for (control_state& c : m_controls) {
        const dialog_control& l = c.layout;
        const wxPoint at = d->ConvertDialogToPixels(wxPoint(l.x, l.y));
        const wxSize size = d->ConvertDialogToPixels(wxSize(l.cx, l.cy));
        const int wid = platform::gui::detail::toolkit_id(l.id);
        wxWindow* w = nullptr;
        switch (l.kind) {
        case dialog_control::static_text:
            w = new wxStaticText(d, wid, wx_text(c.text), at, size, wxST_NO_AUTORESIZE);
            break;
        case dialog_control::group_box:
            w = new wxStaticBox(d, wid, wx_text(c.text), at, size);
            break;
        case dialog_control::edit:
        case dialog_control::read_only_edit: {
            auto* t = new wxTextCtrl(d, wid, wx_text(c.text), at, size,
                l.kind == dialog_control::read_only_edit ? wxTE_READONLY : 0);
            const int id = l.id;
            t->Bind(wxEVT_TEXT, [this, n, id, t](wxCommandEvent&) {
                n->guarded([&] {
                    if (control_state* s = find(id)) {
                        s->text = t->GetValue().utf8_string();
                        dispatch(id, EN_CHANGE);
                    }
                });
            });
            t->Bind(wxEVT_SET_FOCUS, [this, n, id](wxFocusEvent& e) {
                e.Skip();
                n->guarded([&] { dispatch(id, EN_SETFOCUS); });
            });
            w = t;
            break;
        }
        case dialog_control::check_box: {
            auto* b = new wxCheckBox(d, wid, wx_text(c.text), at, size);
            b->SetValue(c.checked);
            const int id = l.id;
            b->Bind(wxEVT_CHECKBOX, [this, n, id, b](wxCommandEvent&) {
                n->guarded([&] {
                    if (control_state* s = find(id))
                        s->checked = b->GetValue();
                    dispatch(id, BN_CLICKED);
                });
            });
            w = b;
            break;
        }
        case dialog_control::push_button:
        case dialog_control::default_button: {
            auto* b = new wxButton(d, wid, wx_text(c.text), at, size);
            if (l.kind == dialog_control::default_button)
                b->SetDefault();
            const int id = l.id;
            b->Bind(wxEVT_BUTTON,
                [this, n, id](wxCommandEvent&) { n->guarded([&] { dispatch(id, BN_CLICKED); }); });
            w = b;
            break;
        }
        case dialog_control::drop_list: {
            // A list to choose from, without a text field: only its items
            // can be chosen.
            auto* b = new wxChoice(d, wid, at, wxSize(size.x, -1));
            for (const std::string& item : c.items)
                b->Append(wx_text(item));
            if (c.selection != CB_ERR)
                b->SetSelection(c.selection);
            const int id = l.id;
            b->Bind(wxEVT_CHOICE, [this, n, id, b](wxCommandEvent&) {
                n->guarded([&] {
                    if (control_state* s = find(id))
                        s->selection = b->GetSelection();
                    dispatch(id, CBN_SELCHANGE);
                });
            });
            b->Bind(wxEVT_COMBOBOX_DROPDOWN,
                [this, n, id](wxCommandEvent&) { n->guarded([&] { dispatch(id, CBN_DROPDOWN); }); });
            w = b;
            break;
        }
        }
        w->Enable(c.enabled);
        c.window = w;
    }
    for (const auto& [id, ms] : m_timers)
        m_native->start_timer(id, ms);
    d->CentreOnParent();
}

int CDialog::DoModal()
{
    m_modal = true;
    m_ended = false;
    m_result = IDCANCEL;
    m_created = true;
    OnInitDialog();
    if (auto& r = the_responder()) {
        if (!m_ended)
            r(*this);
        return m_ended ? m_result : IDCANCEL;
    }
    if (m_ended || !toolkit_ready())
        return m_result;
    build_native();
    m_visible = true;
    platform::gui::detail::end_capture_for_modal();
    m_native->dialog->ShowModal();
    m_visible = false;
    const std::exception_ptr failure = m_native->failure;
    m_native.reset();
    if (failure)
        std::rethrow_exception(failure);
    return m_result;
}

void CDialog::Create(CWnd* parent)
{
    m_parent = parent;
    m_modal = false;
    m_created = true;
    OnInitDialog();
}

void CDialog::ShowWindow(int command)
{
    if (!m_created)
        return;
    m_visible = command != SW_HIDE;
    if (m_native && !m_native->dialog)
        m_native.reset();
    if (m_visible) {
        m_ended = false;
        build_native();
    }
    if (m_native && m_native->dialog) {
        m_native->dialog->Show(m_visible);
        if (m_visible)
            m_native->dialog->Raise();
    }
}

void CDialog::forget_windows()
{
    for (control_state& c : m_controls)
        c.window = nullptr;
}

void CDialog::SetParent(CWnd* parent)
{
    if (parent == m_parent)
        return;
    m_parent = parent;
    // The native window is made again under its new owner when next shown.
    const bool shown = m_visible && !m_modal;
    m_native.reset();
    if (shown)
        ShowWindow(SW_SHOW);
}

void CDialog::EndDialog(int result)
{
    m_result = result;
    m_ended = true;
    if (m_modal) {
        if (m_native && m_native->dialog && m_native->dialog->IsModal())
            m_native->dialog->EndModal(result);
    } else {
        ShowWindow(SW_HIDE);
    }
}

void CDialog::OnCommand(int id, int code)
{
    if (code != BN_CLICKED)
        return;
    if (id == IDOK)
        OnOK();
    else if (id == IDCANCEL)
        OnCancel();
}

void CDialog::dispatch(int id, int code)
{
    OnCommand(id, code);
}

int CDialog::return_button(const void* focus) const
{
    int default_id = IDOK;
    for (const control_state& c : m_controls) {
        const bool button
            = c.layout.kind == dialog_control::push_button || c.layout.kind == dialog_control::default_button;
        if (button && focus && c.window == focus)
            return c.layout.id;
        if (c.layout.kind == dialog_control::default_button)
            default_id = c.layout.id;
    }
    return default_id;
}

void CDialog::SetDlgItemText(int id, const std::string& text)
{
    control_state* c = find(id);
    if (!c)
        return;
    c->text = text;
    if (!c->window)
        return;
    if (auto* t = dynamic_cast<wxTextCtrl*>(c->window))
        t->ChangeValue(wx_text(text));
    else
        c->window->SetLabel(wx_text(text));
}

std::string CDialog::GetDlgItemText(int id) const
{
    const control_state* c = find(id);
    if (!c)
        return {};
    if (c->layout.kind == dialog_control::drop_list)
        return c->selection == CB_ERR ? std::string() : c->items[std::size_t(c->selection)];
    return c->text;
}

void CDialog::CheckDlgButton(int id, bool checked)
{
    control_state* c = find(id);
    if (!c)
        return;
    c->checked = checked;
    if (auto* b = dynamic_cast<wxCheckBox*>(c->window))
        b->SetValue(checked);
}

bool CDialog::IsDlgButtonChecked(int id) const
{
    const control_state* c = find(id);
    return c && c->checked;
}

void CDialog::EnableItem(int id, bool enabled)
{
    control_state* c = find(id);
    if (!c)
        return;
    c->enabled = enabled;
    if (c->window)
        c->window->Enable(enabled);
}

bool CDialog::IsItemEnabled(int id) const
{
    const control_state* c = find(id);
    return c && c->enabled;
}

int CDialog::AddString(int id, const std::string& text)
{
    control_state* c = find(id);
    if (!c || c->layout.kind != dialog_control::drop_list)
        return CB_ERR;
    std::size_t at = c->items.size();
    if (c->layout.sorted) {
        const std::string key = lower(text);
        at = std::size_t(std::upper_bound(c->items.begin(), c->items.end(), key,
                             [](const std::string& k, const std::string& item) { return k < lower(item); })
            - c->items.begin());
    }
    c->items.insert(c->items.begin() + std::ptrdiff_t(at), text);
    if (c->selection != CB_ERR && std::size_t(c->selection) >= at)
        ++c->selection;
    if (auto* b = dynamic_cast<wxChoice*>(c->window))
        b->Insert(wx_text(text), unsigned(at));
    return int(at);
}

void CDialog::ResetContent(int id)
{
    control_state* c = find(id);
    if (!c)
        return;
    c->items.clear();
    c->selection = CB_ERR;
    if (auto* b = dynamic_cast<wxChoice*>(c->window))
        b->Clear();
}

int CDialog::GetCount(int id) const
{
    const control_state* c = find(id);
    return c ? int(c->items.size()) : 0;
}

std::string CDialog::GetLBText(int id, int index) const
{
    const control_state* c = find(id);
    if (!c || index < 0 || std::size_t(index) >= c->items.size())
        return {};
    return c->items[std::size_t(index)];
}

void CDialog::SetCurSel(int id, int index)
{
    control_state* c = find(id);
    if (!c)
        return;
    c->selection = index >= 0 && std::size_t(index) < c->items.size() ? index : CB_ERR;
    if (auto* b = dynamic_cast<wxChoice*>(c->window))
        b->SetSelection(c->selection == CB_ERR ? wxNOT_FOUND : c->selection);
}

int CDialog::GetCurSel(int id) const
{
    const control_state* c = find(id);
    return c ? c->selection : CB_ERR;
}

int CDialog::FindString(int id, const std::string& prefix) const
{
    const control_state* c = find(id);
    if (!c)
        return CB_ERR;
    const std::string p = lower(prefix);
    for (std::size_t i = 0; i < c->items.size(); ++i)
        if (lower(c->items[i]).compare(0, p.size(), p) == 0)
            return int(i);
    return CB_ERR;
}

void CDialog::SetTimer(unsigned id, unsigned milliseconds)
{
    KillTimer(id);
    m_timers.emplace_back(id, milliseconds);
    if (m_native)
        m_native->start_timer(id, milliseconds);
}

void CDialog::KillTimer(unsigned id)
{
    m_timers.erase(
        std::remove_if(m_timers.begin(), m_timers.end(), [&](const auto& t) { return t.first == id; }),
        m_timers.end());
}

void CDialog::Click(int id)
{
    control_state* c = find(id);
    if (!c || !c->enabled)
        return;
    if (c->layout.kind == dialog_control::check_box)
        CheckDlgButton(id, !c->checked);
    dispatch(id, BN_CLICKED);
}

void CDialog::Select(int id, int index)
{
    control_state* c = find(id);
    if (!c || !c->enabled)
        return;
    SetCurSel(id, index);
    dispatch(id, CBN_SELCHANGE);
}

void CDialog::DropDown(int id)
{
    const control_state* c = find(id);
    if (c && c->enabled)
        dispatch(id, CBN_DROPDOWN);
}

void CDialog::Focus(int id)
{
    const control_state* c = find(id);
    if (c && c->enabled)
        dispatch(id, EN_SETFOCUS);
}

void CDialog::Type(int id, const std::string& text)
{
    control_state* c = find(id);
    if (!c || !c->enabled || c->layout.kind != dialog_control::edit)
        return;
    Focus(id);
    SetDlgItemText(id, text);
    dispatch(id, EN_CHANGE);
}
