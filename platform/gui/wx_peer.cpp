// The peers of our windows over the toolkit: each toolkit event becomes the
// message wnd.h lists, sent to the owning CWnd; when the handler asks for the
// default processing, the event is passed on to the toolkit.

#include <map>

#include <wx/dcclient.h>
#include <wx/frame.h>
#include <wx/scrolbar.h>
#include <wx/textctrl.h>
#include <wx/timer.h>
#include <wx/tooltip.h>
#include <wx/toplevel.h>
#include <wx/utils.h>
#include <wx/window.h>

#include "platform/gui/app.h"
#include "platform/gui/cursor.h"
#include "platform/gui/detail/wx.h"
#include "platform/gui/shell.h"

namespace platform::gui::detail {

namespace {

WPARAM mouse_flags(const wxMouseState& m)
{
    WPARAM f = 0;
    if (m.LeftIsDown())
        f |= MK_LBUTTON;
    if (m.RightIsDown())
        f |= MK_RBUTTON;
    if (m.MiddleIsDown())
        f |= MK_MBUTTON;
    if (m.ShiftDown())
        f |= MK_SHIFT;
    if (m.ControlDown())
        f |= MK_CONTROL;
    return f;
}

// Alt with a letter or a digit (a menu title's mnemonic) and F10 alone
// (the menu bar): the keys the window system's menus act on.
bool is_menu_key(UINT vk, UINT modifiers)
{
    if (vk == VK_F1 + 9)
        return modifiers == 0;
    const bool alnum = (vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9');
    return alnum && (modifiers & MOD_ALT) && !(modifiers & MOD_CONTROL);
}

wxCursor to_wx_cursor(HCURSOR c)
{
    switch (c ? c->shape : cursor_shape::arrow) {
    case cursor_shape::ibeam:
        return wxCursor(wxCURSOR_IBEAM);
    case cursor_shape::wait:
        return wxCursor(wxCURSOR_WAIT);
    case cursor_shape::cross:
        return wxCursor(wxCURSOR_CROSS);
    case cursor_shape::size_we:
        return wxCursor(wxCURSOR_SIZEWE);
    case cursor_shape::size_ns:
        return wxCursor(wxCURSOR_SIZENS);
    case cursor_shape::size_nwse:
        return wxCursor(wxCURSOR_SIZENWSE);
    case cursor_shape::size_all:
        return wxCursor(wxCURSOR_SIZING);
    case cursor_shape::hand:
        return wxCursor(wxCURSOR_HAND);
    case cursor_shape::no:
        return wxCursor(wxCURSOR_NO_ENTRY);
    case cursor_shape::arrow:
        break;
    }
    return wxCursor(wxCURSOR_ARROW);
}

// A plain custom-drawn window: no background erasing, takes the focus.
class plain_window : public wxWindow {
public:
    plain_window(wxWindow* parent, const wxRect& r, long style)
    {
        SetBackgroundStyle(wxBG_STYLE_PAINT);
        Create(
            parent, wxID_ANY, r.GetPosition(), r.GetSize(), style | wxWANTS_CHARS | wxFULL_REPAINT_ON_RESIZE);
    }
    bool AcceptsFocus() const override { return true; }
};

class plain_frame : public wxFrame {
public:
    plain_frame(const wxRect& r, long style)
    {
        SetBackgroundStyle(wxBG_STYLE_PAINT);
        Create(nullptr, wxID_ANY, wxString(), r.GetPosition(), r.GetSize(), style);
    }
    bool AcceptsFocus() const override { return true; }
};

// Screen places of windows. The toolkit knows where a window is on the
// screen only once its top-level window is on the screen, that is, once the
// window system made its native window (and complains when asked before,
// also while the top-level window is being shown); until then a place adds
// up from the top-level window's position and each window's position inside
// its parent.
bool on_screen(const wxWindow* top)
{
    return !top || top->GTKGetDrawingWindow() != nullptr;
}

wxPoint screen_client_origin(const wxWindow* w)
{
    const wxWindow* top = wxGetTopLevelParent(const_cast<wxWindow*>(w));
    if (on_screen(top))
        return w->ClientToScreen(wxPoint(0, 0));
    if (w->IsTopLevel() || !w->GetParent())
        return w->GetPosition() + w->GetClientAreaOrigin();
    return screen_client_origin(w->GetParent()) + w->GetPosition() + w->GetClientAreaOrigin();
}

wxRect screen_rect(const wxWindow* w)
{
    const wxWindow* top = wxGetTopLevelParent(const_cast<wxWindow*>(w));
    if (on_screen(top))
        return w->GetScreenRect();
    if (w->IsTopLevel() || !w->GetParent())
        return w->GetRect();
    return wxRect(screen_client_origin(w->GetParent()) + w->GetPosition(), w->GetSize());
}

class wx_peer;

// Shared between a peer and the handlers it bound, so that a handler that
// runs after the peer went does nothing.
struct link {
    wx_peer* peer = nullptr;
};

class wx_peer : public window_peer {
public:
    wx_peer(CWnd* owner, wxWindow* win)
        : m_owner(owner)
        , m_win(win)
        , m_link(std::make_shared<link>())
    {
        m_link->peer = this;
        bind_all();
    }

    wxWindow* native() const { return m_win; }

    ~wx_peer() override
    {
        m_link->peer = nullptr;
        m_timers.clear();
        if (m_win) {
            // The owner let go of the window without destroying it: do so.
            wxWindow* w = m_win;
            m_win = nullptr;
            w->Destroy();
        }
    }

    CRect client_rect() const override
    {
        if (!m_win)
            return CRect();
        const wxSize s = m_win->GetClientSize();
        return CRect(0, 0, s.x, s.y);
    }
    CRect window_rect() const override { return m_win ? from_wx(screen_rect(m_win)) : CRect(); }
    CPoint client_origin() const override
    {
        if (!m_win)
            return CPoint();
        const wxPoint p = screen_client_origin(m_win);
        return CPoint(p.x, p.y);
    }
    void set_bounds(const CRect& r) override
    {
        if (m_win)
            m_win->SetSize(r.left, r.top, r.Width(), r.Height(), wxSIZE_ALLOW_MINUS_ONE);
    }
    void show(bool visible) override
    {
        if (m_win)
            m_win->Show(visible);
    }
    bool is_visible() const override { return m_win && m_win->IsShownOnScreen(); }
    void enable(bool enabled) override
    {
        if (m_win)
            m_win->Enable(enabled);
    }
    void invalidate(const RECT* r) override
    {
        if (!m_win)
            return;
        if (r) {
            const wxRect w = to_wx(*r);
            if (w.width > 0 && w.height > 0)
                m_win->RefreshRect(w, false);
        } else {
            m_win->Refresh(false);
        }
    }
    void update() override
    {
        if (m_win)
            m_win->Update();
    }
    void capture(bool take) override
    {
        if (!m_win || (!take && m_capture_lost))
            return;
        if (take && !m_win->HasCapture())
            m_win->CaptureMouse();
        else if (!take && m_win->HasCapture())
            m_win->ReleaseMouse();
    }
    bool has_capture() const override { return m_win && m_win->HasCapture(); }
    void focus() override
    {
        if (!m_win)
            return;
        // Focusing a window activates its top-level window, as it does on
        // the platform our callers expect.
        auto* top = dynamic_cast<wxTopLevelWindow*>(wxGetTopLevelParent(m_win));
        if (top && top->IsShown() && !top->IsActive())
            top->Raise();
        m_win->SetFocus();
    }
    bool has_focus() const override { return m_win && m_win->HasFocus(); }
    void track_leave() override { m_track = true; }
    void set_text(const std::string& text) override
    {
        if (m_win)
            m_win->SetLabel(wxString::FromUTF8(text));
    }
    std::string text() const override { return m_win ? m_win->GetLabel().utf8_string() : std::string(); }
    void set_scroll_info(int bar, const SCROLLINFO& si) override
    {
        if (!m_win)
            return;
        if (auto* sb = dynamic_cast<wxScrollBar*>(m_win); sb && bar == SB_CTL) {
            const toolkit_bar t = toolkit_bar_of(si);
            const bool enable = (si.fMask & SIF_DISABLENOSCROLL) ? can_scroll(si) : sb->IsEnabled();
            // Setting a bar again as it is makes the toolkit lay out and
            // paint again: a window that sets its bars while it paints
            // would paint without end.
            const int thumb = std::max(t.thumb, 1);
            if (sb->GetThumbPosition() != t.pos || sb->GetThumbSize() != thumb
                || sb->GetRange() != std::max(t.range, 1) || sb->GetPageSize() != thumb)
                sb->SetScrollbar(t.pos, thumb, std::max(t.range, 1), thumb);
            if (sb->IsEnabled() != enable)
                sb->Enable(enable);
        } else if (bar == SB_HORZ || bar == SB_VERT) {
            m_bar_info[bar] = si;
            m_bar_set[bar] = true;
            apply_window_bar(bar);
        }
    }
    CPoint cursor_pos() const override { return pointer_position(); }
    void set_cursor(HCURSOR c) override
    {
        if (!m_win || (m_cursor_set && c == m_cursor))
            return;
        m_cursor = c;
        m_cursor_set = true;
        m_win->SetCursor(to_wx_cursor(c));
    }
    void set_tooltip(const std::string& text) override
    {
        if (!m_win)
            return;
        if (text.empty())
            m_win->UnsetToolTip();
        else
            m_win->SetToolTip(wxString::FromUTF8(text));
    }
    bool set_timer(UINT_PTR id, UINT ms) override
    {
        if (!m_win)
            return false;
        auto& t = m_timers[id];
        if (!t)
            t = std::make_unique<wxTimer>(m_win, int(id));
        return t->Start(int(ms));
    }
    bool kill_timer(UINT_PTR id) override
    {
        auto it = m_timers.find(id);
        if (it == m_timers.end())
            return false;
        it->second->Stop();
        m_timers.erase(it);
        return true;
    }
    double scale_factor() const override { return m_win ? m_win->GetContentScaleFactor() : 1.0; }
    bool open_client_dc(CDC& dc) override
    {
        if (!m_win)
            return false;
        auto d = std::make_unique<wxClientDC>(m_win);
        dc.Impl().attach(d.get());
        dc.Impl().owned = std::move(d);
        return true;
    }
    bool open_paint_dc(CDC& dc) override
    {
        if (!m_paint)
            return false;
        dc.Impl().attach(m_paint);
        return true;
    }
    CRect update_rect() const override { return m_update; }
    void destroy() override
    {
        m_timers.clear();
        if (wxWindow* w = m_win) {
            m_win = nullptr;
            m_link->peer = nullptr;
            if (w->HasCapture())
                w->ReleaseMouse();
            // A top-level window is deleted later, at idle time; it must
            // leave the screen now.
            w->Hide();
            w->Destroy();
        }
    }
    void default_processing() override { m_skip = true; }

protected:
    // A bar as the toolkit takes it: its bars run from 0 to range - thumb;
    // ours from minimum to maximum - page + 1.
    struct toolkit_bar {
        int pos = 0;
        int thumb = 0;
        int range = 0;
        bool operator==(const toolkit_bar&) const = default;
    };
    static toolkit_bar toolkit_bar_of(const SCROLLINFO& si)
    {
        const bool scrolls = can_scroll(si);
        toolkit_bar t;
        t.range = scrolls ? si.nMax - si.nMin + 1 : 0;
        t.thumb = scrolls ? int(si.nPage) : 0;
        t.pos = std::clamp(si.nPos - si.nMin, 0, std::max(0, t.range - t.thumb));
        return t;
    }

    // The window's own bar (SB_HORZ or SB_VERT) from its stored information.
    // A bar is shown only where the window is long enough to hold it: the
    // toolkit cannot draw a bar shorter than its parts and complains at each
    // layout of one. The toolkit is told only of changes (see above).
    void apply_window_bar(int bar)
    {
        if (!m_win || !m_bar_set[bar])
            return;
        const int other = bar == SB_HORZ ? SB_VERT : SB_HORZ;
        const wxSize size = m_win->GetSize();
        const int length
            = (bar == SB_HORZ ? size.x : size.y) - (m_bar_shown[other] ? scroll_bar_size().thickness : 0);
        toolkit_bar t;
        if (length >= scroll_bar_size().length)
            t = toolkit_bar_of(m_bar_info[bar]);
        const int orient = bar == SB_HORZ ? wxHORIZONTAL : wxVERTICAL;
        if (m_bar_applied[bar] && t == m_bar_toolkit[bar] && m_win->GetScrollPos(orient) == t.pos)
            return;
        m_win->SetScrollbar(orient, t.pos, t.thumb, t.range);
        m_bar_toolkit[bar] = t;
        m_bar_applied[bar] = true;
        m_bar_shown[bar] = t.range > 0;
    }

    // The shortest bar the toolkit draws and its thickness, measured once on
    // a bar of the current theme.
    struct bar_size {
        int length;
        int thickness;
    };
    bar_size scroll_bar_size() const
    {
        static bar_size size { 0, 0 };
        if (size.length == 0 && m_win) {
            auto* probe = new wxScrollBar(m_win, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxSB_VERTICAL);
            probe->Hide();
            const wxSize best = probe->GetBestSize();
            probe->Destroy();
            size = { std::max(best.y, 1), std::max(best.x, 0) };
        }
        return size;
    }

    // Lets go of the window without destroying it (its owner does).
    void release()
    {
        m_timers.clear();
        m_link->peer = nullptr;
        if (m_win && m_win->HasCapture())
            m_win->ReleaseMouse();
        m_win = nullptr;
    }

    // Sends a message to the owner; answers whether the event is to go on to
    // the toolkit, and whether the peer survived the handler.
    struct outcome {
        bool alive;
        bool skip;
        LRESULT result;
    };
    outcome send(UINT msg, WPARAM wp = 0, LPARAM lp = 0)
    {
        auto l = m_link;
        const bool outer_skip = m_skip;
        m_skip = false;
        LRESULT result = 0;
        try {
            result = m_owner->SendMessage(msg, wp, lp);
        } catch (...) {
            platform::gui::report_current_exception();
        }
        if (!l->peer)
            return { false, false, result };
        const bool skip = m_skip;
        m_skip = outer_skip;
        return { true, skip, result };
    }
    template <class E> void send_or_skip(E& e, UINT msg, WPARAM wp = 0, LPARAM lp = 0)
    {
        const outcome o = send(msg, wp, lp);
        if (o.alive && o.skip)
            e.Skip();
    }

    void cursor_query()
    {
        set_cursor_target(m_owner);
        send(WM_SETCURSOR, WPARAM(m_owner), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        set_cursor_target(nullptr);
    }

    template <class E, class C> void on(const wxEventTypeTag<E>& type, void (C::*f)(E&))
    {
        auto l = m_link;
        m_win->Bind(type, [l, f](E& e) {
            if (wx_peer* p = l->peer)
                (static_cast<C*>(p)->*f)(e);
            else
                e.Skip();
        });
    }

    // The events of every window. Kinds with events of their own bind them
    // in their own constructors: a call from this constructor never reaches
    // an override.
    void bind_all()
    {
        on(wxEVT_PAINT, &wx_peer::on_paint);
        on(wxEVT_SIZE, &wx_peer::on_size);
        on(wxEVT_SET_FOCUS, &wx_peer::on_set_focus);
        on(wxEVT_KILL_FOCUS, &wx_peer::on_kill_focus);
        on(wxEVT_KEY_DOWN, &wx_peer::on_key_down);
        on(wxEVT_KEY_UP, &wx_peer::on_key_up);
        on(wxEVT_CHAR, &wx_peer::on_char);
        on(wxEVT_LEFT_DOWN, &wx_peer::on_mouse);
        on(wxEVT_LEFT_UP, &wx_peer::on_mouse);
        on(wxEVT_LEFT_DCLICK, &wx_peer::on_mouse);
        on(wxEVT_RIGHT_DOWN, &wx_peer::on_mouse);
        on(wxEVT_RIGHT_UP, &wx_peer::on_mouse);
        on(wxEVT_RIGHT_DCLICK, &wx_peer::on_mouse);
        on(wxEVT_MOTION, &wx_peer::on_mouse);
        on(wxEVT_MOUSEWHEEL, &wx_peer::on_wheel);
        on(wxEVT_LEAVE_WINDOW, &wx_peer::on_leave);
        on(wxEVT_MOUSE_CAPTURE_LOST, &wx_peer::on_capture_lost);
        on(wxEVT_TIMER, &wx_peer::on_timer);
        on(wxEVT_DESTROY, &wx_peer::on_destroy);
        for (auto t : { wxEVT_SCROLLWIN_TOP, wxEVT_SCROLLWIN_BOTTOM, wxEVT_SCROLLWIN_LINEUP,
                 wxEVT_SCROLLWIN_LINEDOWN, wxEVT_SCROLLWIN_PAGEUP, wxEVT_SCROLLWIN_PAGEDOWN,
                 wxEVT_SCROLLWIN_THUMBTRACK, wxEVT_SCROLLWIN_THUMBRELEASE })
            on(t, &wx_peer::on_window_scroll);
    }

    // A scroll bar of the window itself: WM_HSCROLL / WM_VSCROLL without a
    // scroll-bar window (LPARAM 0).
    void on_window_scroll(wxScrollWinEvent& e)
    {
        const wxEventType t = e.GetEventType();
        UINT code = SB_ENDSCROLL;
        if (t == wxEVT_SCROLLWIN_TOP)
            code = SB_TOP;
        else if (t == wxEVT_SCROLLWIN_BOTTOM)
            code = SB_BOTTOM;
        else if (t == wxEVT_SCROLLWIN_LINEUP)
            code = SB_LINEUP;
        else if (t == wxEVT_SCROLLWIN_LINEDOWN)
            code = SB_LINEDOWN;
        else if (t == wxEVT_SCROLLWIN_PAGEUP)
            code = SB_PAGEUP;
        else if (t == wxEVT_SCROLLWIN_PAGEDOWN)
            code = SB_PAGEDOWN;
        else if (t == wxEVT_SCROLLWIN_THUMBTRACK)
            code = SB_THUMBTRACK;
        else if (t == wxEVT_SCROLLWIN_THUMBRELEASE)
            code = SB_THUMBPOSITION;
        const int bar = e.GetOrientation() == wxHORIZONTAL ? SB_HORZ : SB_VERT;
        SCROLLINFO si;
        m_owner->GetScrollInfo(bar, &si);
        const int pos = e.GetPosition() + si.nMin;
        SCROLLINFO track;
        track.fMask = SIF_TRACKPOS;
        track.nTrackPos = pos;
        m_owner->SetScrollInfo(bar, track);
        send(bar == SB_HORZ ? WM_HSCROLL : WM_VSCROLL, MAKEWPARAM(int(code), pos), 0);
    }

    void on_paint(wxPaintEvent&)
    {
        wxPaintDC dc(m_win);
        const wxRect box = m_win->GetUpdateRegion().GetBox();
        m_update = from_wx(box);
        m_paint = &dc;
        auto l = m_link;
        send(WM_PAINT);
        if (l->peer) {
            m_paint = nullptr;
            m_update = CRect();
        }
    }
    void on_size(wxSizeEvent& e)
    {
        const wxSize s = m_win->GetClientSize();
        auto l = m_link;
        send_or_skip(e, WM_SIZE, SIZE_RESTORED, MAKELPARAM(s.x, s.y));
        // A bar that did not fit may fit now, and the other way round.
        if (l->peer) {
            apply_window_bar(SB_HORZ);
            apply_window_bar(SB_VERT);
        }
    }
    void on_set_focus(wxFocusEvent& e) { send_or_skip(e, WM_SETFOCUS); }
    void on_kill_focus(wxFocusEvent& e) { send_or_skip(e, WM_KILLFOCUS); }
    void on_key_down(wxKeyEvent& e)
    {
        const UINT vk = vk_from_wx(e.GetKeyCode());
        const UINT modifiers = (e.ShiftDown() ? MOD_SHIFT : 0) | (e.ControlDown() ? MOD_CONTROL : 0)
            | (e.AltDown() ? MOD_ALT : 0);
        auto l = m_link;
        bool consumed = false;
        try {
            consumed = filter_key(m_owner, vk, modifiers);
        } catch (...) {
            platform::gui::report_current_exception();
        }
        if (consumed || !l->peer)
            return;
        // The menu bar's keys go on to the toolkit after the window has
        // seen them, as the system keys do where our windows were designed:
        // a window that takes every key still leaves the menus reachable.
        const outcome o = send(WM_KEYDOWN, vk, 1);
        if (o.alive && (o.skip || is_menu_key(vk, modifiers)))
            e.Skip();
    }
    void on_key_up(wxKeyEvent& e)
    {
        send_or_skip(e, WM_KEYUP, vk_from_wx(e.GetKeyCode()), LPARAM(1) | (LPARAM(KF_UP | KF_REPEAT) << 16));
    }
    void on_char(wxKeyEvent& e)
    {
        const wxChar c = e.GetUnicodeKey();
        // A character typed with Alt is a menu's mnemonic, not text.
        if (c == WXK_NONE || (e.AltDown() && !e.ControlDown())) {
            e.Skip();
            return;
        }
        send_or_skip(e, WM_CHAR, WPARAM(c), 1);
    }
    void on_mouse(wxMouseEvent& e)
    {
        set_mouse_window(m_owner);
        UINT msg = WM_MOUSEMOVE;
        const wxEventType t = e.GetEventType();
        if (t == wxEVT_LEFT_DOWN)
            msg = WM_LBUTTONDOWN;
        else if (t == wxEVT_LEFT_UP)
            msg = WM_LBUTTONUP;
        else if (t == wxEVT_LEFT_DCLICK)
            msg = WM_LBUTTONDBLCLK;
        else if (t == wxEVT_RIGHT_DOWN)
            msg = WM_RBUTTONDOWN;
        else if (t == wxEVT_RIGHT_UP)
            msg = WM_RBUTTONUP;
        else if (t == wxEVT_RIGHT_DCLICK)
            msg = WM_RBUTTONDBLCLK;
        if (msg == WM_MOUSEMOVE || msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN) {
            auto l = m_link;
            cursor_query();
            if (!l->peer)
                return;
        }
        WPARAM flags = mouse_flags(e);
        // The button of a release is no longer down; of a press it is.
        if (msg == WM_LBUTTONUP)
            flags &= ~WPARAM(MK_LBUTTON);
        if (msg == WM_RBUTTONUP)
            flags &= ~WPARAM(MK_RBUTTON);
        if (msg == WM_LBUTTONDOWN || msg == WM_LBUTTONDBLCLK)
            flags |= MK_LBUTTON;
        if (msg == WM_RBUTTONDOWN || msg == WM_RBUTTONDBLCLK)
            flags |= MK_RBUTTON;
        const wxPoint p = e.GetPosition();
        CWnd* const focus = CWnd::GetFocus();
        const outcome o = send(msg, flags, MAKELPARAM(p.x, p.y));
        // Button presses go on, so that the toolkit focuses and activates as
        // usual; unless the handler moved the focus itself (to an edit field
        // it opened), which the toolkit's focusing would undo.
        const bool press = msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN;
        if (o.alive && (o.skip || (press && CWnd::GetFocus() == focus)))
            e.Skip();
    }
    // The vertical wheel: WM_MOUSEWHEEL with the rotation in multiples of
    // 120 per notch and the pointer in screen coordinates.
    void on_wheel(wxMouseEvent& e)
    {
        const int step = e.GetWheelDelta();
        const long delta = step > 0 ? long(e.GetWheelRotation()) * 120 / step : 0;
        if (e.GetWheelAxis() != wxMOUSE_WHEEL_VERTICAL || delta == 0 || delta < -32768 || delta > 32767) {
            e.Skip();
            return;
        }
        const wxPoint p = m_win->ClientToScreen(e.GetPosition());
        send_or_skip(e, WM_MOUSEWHEEL, MAKEWPARAM(int(mouse_flags(e)), int(delta)), MAKELPARAM(p.x, p.y));
    }
    void on_leave(wxMouseEvent& e)
    {
        e.Skip();
        // A crossing caused by our own capture is not a leave.
        if (!m_track || m_win->HasCapture())
            return;
        m_track = false;
        send(WM_MOUSELEAVE);
    }
    void on_capture_lost(wxMouseCaptureLostEvent&)
    {
        // The toolkit has let go of the capture and is telling every window
        // that held it: letting go again now would spoil its own record.
        if (CWnd::GetCapture() == m_owner) {
            m_capture_lost = true;
            ReleaseCapture();
            m_capture_lost = false;
        }
        send(WM_CAPTURECHANGED);
    }
    void on_timer(wxTimerEvent& e)
    {
        auto l = m_link;
        try {
            deliver_timer(m_owner, UINT_PTR(e.GetId()));
        } catch (...) {
            platform::gui::report_current_exception();
        }
    }
    void on_destroy(wxWindowDestroyEvent& e)
    {
        e.Skip();
        if (e.GetEventObject() != m_win)
            return;
        // The toolkit destroyed the window by itself (its parent went).
        m_win = nullptr;
        m_timers.clear();
        CWnd* owner = m_owner;
        try {
            owner->OnPeerDestroyed();
        } catch (...) {
            platform::gui::report_current_exception();
        }
    }

    CWnd* m_owner;
    wxWindow* m_win;
    std::shared_ptr<link> m_link;
    bool m_track = false;
    bool m_skip = false;
    bool m_capture_lost = false;
    bool m_cursor_set = false;
    HCURSOR m_cursor = nullptr;
    wxPaintDC* m_paint = nullptr;
    CRect m_update;
    std::map<UINT_PTR, std::unique_ptr<wxTimer>> m_timers;
    // The window's own bars, by SB_HORZ / SB_VERT: what our code set, and
    // what the toolkit was told.
    SCROLLINFO m_bar_info[2];
    bool m_bar_set[2] = { false, false };
    toolkit_bar m_bar_toolkit[2];
    bool m_bar_applied[2] = { false, false };
    bool m_bar_shown[2] = { false, false };
};

// A top-level plain window: a borderless frame whose only child, filling
// it, is the window that paints and takes input and focus. Placement and
// visibility act on the frame.
class toplevel_peer : public wx_peer {
public:
    toplevel_peer(CWnd* owner, wxFrame* frame, wxWindow* client)
        : wx_peer(owner, client)
        , m_frame(frame)
    {
    }

    CRect window_rect() const override { return m_win ? from_wx(screen_rect(m_frame)) : CRect(); }
    void set_bounds(const CRect& r) override
    {
        if (m_win)
            m_frame->SetSize(r.left, r.top, r.Width(), r.Height(), wxSIZE_ALLOW_MINUS_ONE);
    }
    void show(bool visible) override
    {
        if (m_win)
            m_frame->Show(visible);
    }
    void destroy() override
    {
        if (!m_win)
            return;
        wx_peer::release();
        m_frame->Hide();
        m_frame->Destroy();
    }

private:
    wxFrame* m_frame;
};

// A native text field: its text is the field's value; every change of it
// reaches the edit window itself as WM_COMMAND with EN_UPDATE.
class edit_peer : public wx_peer {
public:
    edit_peer(CWnd* owner, wxTextCtrl* edit)
        : wx_peer(owner, edit)
        , m_edit(edit)
    {
        on(wxEVT_TEXT, &edit_peer::on_text);
    }

    void set_text(const std::string& text) override
    {
        if (m_win)
            m_edit->ChangeValue(wxString::FromUTF8(text));
    }
    std::string text() const override { return m_win ? m_edit->GetValue().utf8_string() : std::string(); }
    void select_text(int start, int end) override
    {
        if (m_win)
            m_edit->SetSelection(start, end < 0 ? -1 : end);
    }
    int char_from_pos(const CPoint& p) const override
    {
        long pos = -1;
        if (!m_win)
            return -1;
        const wxTextCtrlHitTestResult hit = m_edit->HitTest(wxPoint(p.x, p.y), &pos);
        if (hit == wxTE_HT_UNKNOWN)
            return -1;
        // Past the end of the text: its end.
        return hit == wxTE_HT_BEYOND ? int(m_edit->GetLastPosition()) : int(pos);
    }
    void set_margins(int left, int) override
    {
        if (m_win && left >= 0)
            m_edit->SetMargins(left);
    }

private:
    void on_text(wxCommandEvent&)
    {
        send(WM_COMMAND, MAKEWPARAM(int(m_owner->GetDlgCtrlID()), int(EN_UPDATE)),
            reinterpret_cast<LPARAM>(m_owner));
    }

    wxTextCtrl* m_edit;
};

class frame_peer : public wx_peer {
public:
    frame_peer(CWnd* owner, wxFrame* frame)
        : wx_peer(owner, frame)
    {
        on(wxEVT_ACTIVATE, &frame_peer::on_activate);
        on(wxEVT_IDLE, &frame_peer::on_idle);
        on(wxEVT_CLOSE_WINDOW, &frame_peer::on_close);
    }

protected:
    void on_activate(wxActivateEvent& e)
    {
        send_or_skip(e, WM_ACTIVATE, e.GetActive() ? WA_ACTIVE : WA_INACTIVE, 0);
    }
    void on_idle(wxIdleEvent& e)
    {
        e.Skip();
        if (e.GetEventObject() == m_win)
            send(WM_IDLEUPDATECMDUI, TRUE);
    }
    void on_close(wxCloseEvent& e)
    {
        // The default processing of WM_CLOSE destroys the window; a handler
        // that keeps it open refuses the close.
        const outcome o = send(WM_CLOSE);
        if (o.alive)
            e.Veto();
    }
};

class scroll_bar_peer : public wx_peer {
public:
    scroll_bar_peer(CWnd* owner, wxScrollBar* bar, CWnd* parent)
        : wx_peer(owner, bar)
        , m_parent(parent)
        , m_vertical(bar->IsVertical())
    {
        on(wxEVT_SCROLL_TOP, &scroll_bar_peer::on_scroll);
        on(wxEVT_SCROLL_BOTTOM, &scroll_bar_peer::on_scroll);
        on(wxEVT_SCROLL_LINEUP, &scroll_bar_peer::on_scroll);
        on(wxEVT_SCROLL_LINEDOWN, &scroll_bar_peer::on_scroll);
        on(wxEVT_SCROLL_PAGEUP, &scroll_bar_peer::on_scroll);
        on(wxEVT_SCROLL_PAGEDOWN, &scroll_bar_peer::on_scroll);
        on(wxEVT_SCROLL_THUMBTRACK, &scroll_bar_peer::on_scroll);
        on(wxEVT_SCROLL_THUMBRELEASE, &scroll_bar_peer::on_scroll);
        on(wxEVT_SCROLL_CHANGED, &scroll_bar_peer::on_scroll);
    }

protected:
    void on_scroll(wxScrollEvent& e)
    {
        const wxEventType t = e.GetEventType();
        UINT code = SB_ENDSCROLL;
        if (t == wxEVT_SCROLL_TOP)
            code = SB_TOP;
        else if (t == wxEVT_SCROLL_BOTTOM)
            code = SB_BOTTOM;
        else if (t == wxEVT_SCROLL_LINEUP)
            code = SB_LINEUP;
        else if (t == wxEVT_SCROLL_LINEDOWN)
            code = SB_LINEDOWN;
        else if (t == wxEVT_SCROLL_PAGEUP)
            code = SB_PAGEUP;
        else if (t == wxEVT_SCROLL_PAGEDOWN)
            code = SB_PAGEDOWN;
        else if (t == wxEVT_SCROLL_THUMBTRACK)
            code = SB_THUMBTRACK;
        else if (t == wxEVT_SCROLL_THUMBRELEASE)
            code = SB_THUMBPOSITION;
        if (!m_parent || !CWnd::IsAlive(m_parent))
            return;
        SCROLLINFO track;
        track.fMask = SIF_TRACKPOS;
        track.nTrackPos = e.GetPosition();
        m_owner->SetScrollInfo(SB_CTL, track);
        try {
            m_parent->SendMessage(m_vertical ? WM_VSCROLL : WM_HSCROLL, MAKEWPARAM(code, e.GetPosition()),
                reinterpret_cast<LPARAM>(m_owner));
        } catch (...) {
            platform::gui::report_current_exception();
        }
    }

    CWnd* m_parent;
    bool m_vertical;
};

wxWindow* native_parent(CWnd* parent)
{
    if (!parent || !parent->GetPeer())
        return nullptr;
    // Peers of the toolkit are wx_peer objects; anything else has no native
    // window to hold children.
    auto* p = dynamic_cast<wx_peer*>(parent->GetPeer());
    return p ? p->native() : nullptr;
}

long wx_style(DWORD style)
{
    long s = 0;
    if (style & WS_BORDER)
        s |= wxBORDER_SIMPLE;
    else
        s |= wxBORDER_NONE;
    if (style & WS_HSCROLL)
        s |= wxHSCROLL;
    if (style & WS_VSCROLL)
        s |= wxVSCROLL;
    return s;
}

template <class W> void finish_native(W* w, DWORD style)
{
    // Children start shown and top-level windows hidden: make both follow
    // the style.
    w->Show((style & WS_VISIBLE) != 0);
    if (style & WS_DISABLED)
        w->Disable();
}

} // namespace

std::unique_ptr<window_peer> make_window_peer(CWnd* owner, CWnd* parent, const CRect& r, DWORD style)
{
    wxWindow* host = native_parent(parent);
    if (parent && !host)
        return nullptr;
    if (!host) {
        auto* frame = new plain_frame(to_wx(r), wxBORDER_NONE | wxFRAME_NO_TASKBAR);
        const wxSize client = frame->GetClientSize();
        auto* w = new plain_window(frame, wxRect(0, 0, client.x, client.y),
            wxBORDER_NONE | (wx_style(style) & (wxHSCROLL | wxVSCROLL)));
        auto peer = std::make_unique<toplevel_peer>(owner, frame, w);
        finish_native(frame, style);
        return peer;
    }
    auto* w = new plain_window(host, to_wx(r), wx_style(style));
    finish_native(w, style);
    return std::make_unique<wx_peer>(owner, w);
}

std::unique_ptr<window_peer> make_edit_peer(CWnd* owner, CWnd* parent, const CRect& r, DWORD style)
{
    wxWindow* host = native_parent(parent);
    if (!host)
        return nullptr;
    auto* w = new wxTextCtrl(host, wxID_ANY, wxString(), wxPoint(r.left, r.top),
        wxSize(r.Width(), r.Height()), wx_style(style) | wxTE_PROCESS_ENTER | wxWANTS_CHARS);
    finish_native(w, style);
    return std::make_unique<edit_peer>(owner, w);
}

std::unique_ptr<window_peer> make_scroll_bar_peer(CWnd* owner, CWnd* parent, const CRect& r, DWORD style)
{
    wxWindow* host = native_parent(parent);
    if (!host)
        return nullptr;
    auto* w = new wxScrollBar(host, wxID_ANY, wxPoint(r.left, r.top), wxSize(r.Width(), r.Height()),
        (style & SBS_VERT) ? wxSB_VERTICAL : wxSB_HORIZONTAL);
    finish_native(w, style);
    return std::make_unique<scroll_bar_peer>(owner, w, parent);
}

std::unique_ptr<window_peer> make_frame_peer(CWnd* owner, CWnd* parent, const CRect& r, DWORD style)
{
    (void)parent;
    auto* frame = new plain_frame(to_wx(r), wxDEFAULT_FRAME_STYLE);
    finish_native(frame, style);
    return std::make_unique<frame_peer>(owner, frame);
}

wxWindow* native_window(CWnd* w)
{
    return native_parent(w);
}

CPoint pointer_position()
{
    const wxPoint p = wxGetMousePosition();
    return CPoint(p.x, p.y);
}

void end_capture_for_modal()
{
    CWnd* w = CWnd::GetCapture();
    if (!w)
        return;
    ReleaseCapture();
    if (CWnd::IsAlive(w))
        w->SendMessage(WM_CAPTURECHANGED);
}

} // namespace platform::gui::detail
