#include "platform/gui/wnd.h"

#include <algorithm>
#include <chrono>
#include <mutex>
#include <set>

#include "platform/gui/app.h"
#include "platform/gui/cursor.h"
#include "platform/gui/dc.h"
#include "platform/gui/detail/wx.h"
#include "platform/gui/gdi.h"

namespace {

// Sentinel object whose address is HWND_MESSAGE.
CWnd* message_parent_sentinel()
{
    static char storage;
    return reinterpret_cast<CWnd*>(&storage);
}

std::map<std::string, HCURSOR>& window_classes()
{
    static std::map<std::string, HCURSOR> classes;
    return classes;
}

// Windows alive, for messages posted from other threads: a message is
// delivered only when its window is still in the set.
std::mutex g_alive_mutex;
std::set<const CWnd*>& alive()
{
    static std::set<const CWnd*> windows;
    return windows;
}

// Hands an owner window's pointer move to its tooltip control.
void relay_pointer_to_tips(const CWnd* owner, LPARAM lParam);

CWnd* g_capture = nullptr;
CWnd* g_focus = nullptr;
CPoint g_cursor_pos;

} // namespace

CWnd* const HWND_MESSAGE = message_parent_sentinel();

BOOL RegisterClass(const WNDCLASS* wc)
{
    if (!wc || wc->lpszClassName.empty())
        return FALSE;
    auto [it, inserted] = window_classes().emplace(wc->lpszClassName, wc->hCursor);
    return inserted || it->second == wc->hCursor;
}

CWnd::CWnd() = default;

CWnd::~CWnd()
{
    if (m_peer) {
        try {
            DestroyWindow();
        } catch (...) {
            platform::gui::report_current_exception();
        }
    }
    Forget();
}

void CWnd::Forget()
{
    {
        std::lock_guard lock(g_alive_mutex);
        alive().erase(this);
    }
    if (g_capture == this)
        g_capture = nullptr;
    if (g_focus == this)
        g_focus = nullptr;
}

bool CWnd::IsAlive(const CWnd* w)
{
    std::lock_guard lock(g_alive_mutex);
    return alive().count(w) != 0;
}

std::unique_ptr<window_peer> CWnd::CreatePeer(CWnd* parent, const CRect& rect, DWORD style)
{
    return platform::gui::detail::make_window_peer(this, parent, rect, style);
}

BOOL CWnd::Create(const std::string& class_name, const std::string& /*title*/, DWORD style, const RECT& rect,
    CWnd* parent, UINT id)
{
    if (m_peer)
        return FALSE;
    HCURSOR cursor = nullptr;
    if (!class_name.empty()) {
        auto it = window_classes().find(class_name);
        if (it == window_classes().end())
            return FALSE;
        cursor = it->second;
    }
    if (!platform::gui::running())
        return FALSE;
    m_style = style;
    m_id = id;
    std::unique_ptr<window_peer> peer;
    if (parent == HWND_MESSAGE) {
        peer = platform::gui::detail::make_message_peer(this);
        parent = nullptr;
    } else {
        peer = CreatePeer(parent, CRect(rect), style);
    }
    if (!peer)
        return FALSE;
    return Finish(std::move(peer), parent, cursor);
}

BOOL CWnd::AttachPeer(std::unique_ptr<window_peer> peer, CWnd* parent)
{
    if (m_peer || !peer)
        return FALSE;
    return Finish(std::move(peer), parent, nullptr);
}

BOOL CWnd::Finish(std::unique_ptr<window_peer> peer, CWnd* parent, HCURSOR cursor)
{
    m_peer = std::move(peer);
    m_parent = parent;
    m_class_cursor = cursor;
    {
        std::lock_guard lock(g_alive_mutex);
        alive().insert(this);
    }
    if (SendMessage(WM_CREATE) == -1) {
        // A failed creation destroys the window without WM_DESTROY.
        auto p = std::move(m_peer);
        p->destroy();
        Forget();
        return FALSE;
    }
    // A created window learns its size at once, before it is painted.
    if (m_peer) {
        const CRect r = m_peer->client_rect();
        SendMessage(WM_SIZE, SIZE_RESTORED, MAKELPARAM(r.Width(), r.Height()));
    }
    return TRUE;
}

BOOL CWnd::DestroyWindow()
{
    if (!m_peer)
        return FALSE;
    SendMessage(WM_DESTROY);
    for (auto& [id, proc] : m_timer_procs)
        if (m_peer)
            m_peer->kill_timer(id);
    m_timer_procs.clear();
    if (auto p = std::move(m_peer))
        p->destroy();
    Forget();
    PostNcDestroy();
    return TRUE;
}

void CWnd::OnPeerDestroyed()
{
    if (!m_peer)
        return;
    SendMessage(WM_DESTROY);
    m_peer.reset();
    m_timer_procs.clear();
    Forget();
    PostNcDestroy();
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    // The process's focus window changes before the focus messages arrive.
    if (message == WM_SETFOCUS && m_peer)
        g_focus = this;
    else if (message == WM_KILLFOCUS && g_focus == this)
        g_focus = nullptr;
    if (message == WM_MOUSEMOVE)
        relay_pointer_to_tips(this, lParam);
    MSG msg { GetSafeHwnd(), message, wParam, lParam };
    const MSG* outer = m_current;
    m_current = &msg;
    struct restore {
        CWnd* w;
        const MSG* m;
        ~restore() { w->m_current = m; }
    } r { this, outer };
    return WindowProc(message, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!IsAlive(this))
        return FALSE;
    CWnd* self = this;
    platform::gui::post([self, message, wParam, lParam] {
        if (IsAlive(self))
            self->SendMessage(message, wParam, lParam);
    });
    return TRUE;
}

LRESULT CWnd::Default()
{
    if (!m_current)
        return 0;
    return DefWindowProc(m_current->message, m_current->wParam, m_current->lParam);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProc(message, wParam, lParam);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SETCURSOR:
        if (m_peer)
            m_peer->set_cursor(m_class_cursor);
        return FALSE;
    case WM_SETFONT:
        m_font = reinterpret_cast<CFont*>(wParam);
        if (lParam)
            Invalidate();
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(m_font);
    case WM_CLOSE:
        DestroyWindow();
        return 0;
    case WM_CREATE:
    case WM_PAINT:
        return 0;
    default:
        if (m_peer)
            m_peer->default_processing();
        return 0;
    }
}

void CWnd::GetClientRect(RECT* r) const
{
    if (r)
        *r = m_peer ? m_peer->client_rect() : CRect();
}

void CWnd::GetWindowRect(RECT* r) const
{
    if (r)
        *r = m_peer ? m_peer->window_rect() : CRect();
}

void CWnd::ClientToScreen(POINT* p) const
{
    if (!p || !m_peer)
        return;
    const CPoint o = m_peer->client_origin();
    p->x += o.x;
    p->y += o.y;
}

void CWnd::ClientToScreen(RECT* r) const
{
    if (!r || !m_peer)
        return;
    static_cast<CRect*>(r)->OffsetRect(m_peer->client_origin());
}

void CWnd::ScreenToClient(POINT* p) const
{
    if (!p || !m_peer)
        return;
    const CPoint o = m_peer->client_origin();
    p->x -= o.x;
    p->y -= o.y;
}

void CWnd::ScreenToClient(RECT* r) const
{
    if (!r || !m_peer)
        return;
    const CPoint o = m_peer->client_origin();
    static_cast<CRect*>(r)->OffsetRect(-o.x, -o.y);
}

BOOL CWnd::SetWindowPos(const CWnd*, int x, int y, int cx, int cy, UINT flags)
{
    if (!m_peer)
        return FALSE;
    CRect now = m_peer->window_rect();
    if (m_parent && m_parent->GetPeer())
        m_parent->ScreenToClient(&now);
    CRect r = now;
    if (!(flags & SWP_NOMOVE))
        r.MoveToXY(x, y);
    if (!(flags & SWP_NOSIZE)) {
        r.right = r.left + std::max(0, cx);
        r.bottom = r.top + std::max(0, cy);
    }
    if (!(r == now))
        m_peer->set_bounds(r);
    return TRUE;
}

void CWnd::MoveWindow(int x, int y, int cx, int cy, BOOL repaint)
{
    SetWindowPos(nullptr, x, y, cx, cy, SWP_NOZORDER);
    if (repaint)
        Invalidate();
}

void CWnd::MoveWindow(const RECT& r, BOOL repaint)
{
    MoveWindow(r.left, r.top, r.right - r.left, r.bottom - r.top, repaint);
}

BOOL CWnd::ShowWindow(int command)
{
    if (!m_peer)
        return FALSE;
    const BOOL was = m_peer->is_visible();
    m_peer->show(command != SW_HIDE);
    if (command == SW_HIDE)
        m_style &= ~WS_VISIBLE;
    else
        m_style |= WS_VISIBLE;
    return was;
}

BOOL CWnd::IsWindowVisible() const
{
    return m_peer && m_peer->is_visible();
}

BOOL CWnd::EnableWindow(BOOL enable)
{
    if (!m_peer)
        return FALSE;
    const BOOL was_disabled = (m_style & WS_DISABLED) != 0;
    if (enable)
        m_style &= ~WS_DISABLED;
    else
        m_style |= WS_DISABLED;
    m_peer->enable(enable != FALSE);
    return was_disabled;
}

void CWnd::Invalidate(BOOL)
{
    InvalidateRect(nullptr);
}

void CWnd::InvalidateRect(const RECT* r, BOOL)
{
    if (m_peer)
        m_peer->invalidate(r);
}

void CWnd::UpdateWindow()
{
    if (m_peer)
        m_peer->update();
}

BOOL CWnd::GetUpdateRect(RECT* r, BOOL) const
{
    const CRect u = m_peer ? m_peer->update_rect() : CRect();
    if (r)
        *r = u;
    return !u.IsRectEmpty();
}

double CWnd::GetContentScaleFactor() const
{
    return m_peer ? m_peer->scale_factor() : 1.0;
}

CWnd* CWnd::SetCapture()
{
    CWnd* old = g_capture;
    if (!m_peer)
        return old;
    if (old && old != this && old->m_peer)
        old->m_peer->capture(false);
    g_capture = this;
    m_peer->capture(true);
    return old;
}

CWnd* CWnd::GetCapture()
{
    return g_capture;
}

BOOL ReleaseCapture()
{
    CWnd* w = g_capture;
    if (!w)
        return TRUE;
    g_capture = nullptr;
    if (w->GetPeer())
        w->GetPeer()->capture(false);
    return TRUE;
}

CWnd* CWnd::SetFocus()
{
    CWnd* old = g_focus;
    if (m_peer) {
        g_focus = this;
        m_peer->focus();
    }
    return old;
}

CWnd* CWnd::GetFocus()
{
    return g_focus;
}

BOOL CWnd::TrackMouseLeave()
{
    if (!m_peer)
        return FALSE;
    m_peer->track_leave();
    return TRUE;
}

BOOL TrackMouseEvent(CWnd* w, DWORD flags)
{
    if (!w || !(flags & TME_LEAVE))
        return FALSE;
    return w->TrackMouseLeave();
}

BOOL GetCursorPos(POINT* p)
{
    if (!p)
        return FALSE;
    if (platform::gui::running()) {
        *p = platform::gui::detail::pointer_position();
    } else {
        *p = g_cursor_pos;
    }
    return TRUE;
}

BOOL SetCursorPos(int x, int y)
{
    g_cursor_pos = CPoint(x, y);
    return TRUE;
}

void CWnd::SetFont(CFont* font, BOOL redraw)
{
    SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw);
}

CFont* CWnd::GetFont() const
{
    return reinterpret_cast<CFont*>(const_cast<CWnd*>(this)->SendMessage(WM_GETFONT));
}

void CWnd::SetWindowText(const std::string& text)
{
    if (m_peer)
        m_peer->set_text(text);
}

std::string CWnd::GetWindowText() const
{
    return m_peer ? m_peer->text() : std::string();
}

UINT_PTR CWnd::SetTimer(UINT_PTR id, UINT elapse_ms, TIMERPROC proc)
{
    if (!m_peer || !m_peer->set_timer(id, std::max(1u, elapse_ms)))
        return 0;
    m_timer_procs[id] = proc;
    return id;
}

BOOL CWnd::KillTimer(UINT_PTR id)
{
    auto it = m_timer_procs.find(id);
    if (!m_peer || it == m_timer_procs.end())
        return FALSE;
    m_timer_procs.erase(it);
    return m_peer->kill_timer(id);
}

// A tick of timer `id` of `w`: its procedure when it has one, else WM_TIMER.
LRESULT deliver_timer(CWnd* w, UINT_PTR id)
{
    auto it = w->m_timer_procs.find(id);
    if (it == w->m_timer_procs.end())
        return 0;
    if (TIMERPROC proc = it->second) {
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        proc(w, WM_TIMER, id, DWORD(std::chrono::duration_cast<std::chrono::milliseconds>(now).count()));
        return 0;
    }
    return w->SendMessage(WM_TIMER, id, 0);
}

LONG_PTR CWnd::SetUserData(LONG_PTR v)
{
    if (!m_peer)
        return 0;
    std::swap(m_peer->user_data, v);
    return v;
}

LONG_PTR CWnd::GetUserData() const
{
    return m_peer ? m_peer->user_data : 0;
}

void CWnd::ToggleXorLine(const CPoint& from, const CPoint& to, COLORREF color, bool alternate)
{
    const xor_line line { from, to, color, alternate };
    auto it = std::find(m_xor_lines.begin(), m_xor_lines.end(), line);
    if (it != m_xor_lines.end())
        m_xor_lines.erase(it);
    else
        m_xor_lines.push_back(line);
    CRect r(std::min(from.x, to.x), std::min(from.y, to.y), std::max(from.x, to.x) + 1,
        std::max(from.y, to.y) + 1);
    InvalidateRect(&r, FALSE);
}

void CWnd::DrawXorOverlay(CDC& dc, const RECT& clip) const
{
    if (m_xor_lines.empty())
        return;
    CRgn keep;
    const bool had_clip = dc.GetClipRgn(&keep) == 1;
    const CPoint org = dc.GetWindowOrg();
    CRgn area;
    area.CreateRectRgn(clip.left - org.x, clip.top - org.y, clip.right - org.x, clip.bottom - org.y);
    dc.SelectClipRgn(&area, RGN_AND);
    const int rop = dc.SetROP2(R2_XORPEN);
    for (const auto& l : m_xor_lines) {
        CPen pen(l.alternate ? PS_ALTERNATE : PS_SOLID, 1, l.color);
        CPen* old = dc.SelectObject(&pen);
        dc.MoveTo(l.from.x + org.x, l.from.y + org.y);
        dc.LineTo(l.to.x + org.x, l.to.y + org.y);
        dc.SelectObject(old);
    }
    dc.SetROP2(rop);
    dc.SelectClipRgn(had_clip ? &keep : nullptr);
}

BOOL CWnd::SetScrollInfo(int bar, const SCROLLINFO& info, BOOL)
{
    if (bar < SB_HORZ || bar > SB_CTL)
        return FALSE;
    SCROLLINFO& s = m_scroll[bar];
    if (info.fMask & SIF_RANGE) {
        s.nMin = info.nMin;
        s.nMax = info.nMax;
    }
    if (info.fMask & SIF_PAGE)
        s.nPage = info.nPage;
    if (info.fMask & SIF_POS)
        s.nPos = info.nPos;
    if (info.fMask & SIF_TRACKPOS)
        s.nTrackPos = info.nTrackPos;
    s.fMask = (s.fMask & ~SIF_DISABLENOSCROLL) | (info.fMask & (SIF_ALL | SIF_DISABLENOSCROLL));
    // The track position is what the window system reported; it goes back
    // to nothing.
    if (m_peer && (info.fMask & ~SIF_TRACKPOS))
        m_peer->set_scroll_info(bar, s);
    return TRUE;
}

BOOL CWnd::GetScrollInfo(int bar, SCROLLINFO* info) const
{
    if (bar < SB_HORZ || bar > SB_CTL || !info)
        return FALSE;
    *info = m_scroll[bar];
    return TRUE;
}

std::unique_ptr<window_peer> CEdit::CreatePeer(CWnd* parent, const CRect& rect, DWORD style)
{
    return platform::gui::detail::make_edit_peer(this, parent, rect, style);
}

LRESULT CEdit::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case EM_SETSEL:
        if (GetPeer())
            GetPeer()->select_text(int(wParam), int(lParam));
        return 0;
    case EM_CHARFROMPOS:
        return GetPeer() ? GetPeer()->char_from_pos(CPoint(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam))) : -1;
    case EM_SETMARGINS:
        if (GetPeer()) {
            const bool left = wParam & EC_LEFTMARGIN, right = wParam & EC_RIGHTMARGIN;
            GetPeer()->set_margins(left ? LOWORD(lParam) : -1, right ? HIWORD(lParam) : -1);
        }
        return 0;
    default:
        return CWnd::DefWindowProc(message, wParam, lParam);
    }
}

bool IsTextInput(const CWnd* w)
{
    return w && CWnd::IsAlive(w) && dynamic_cast<const CEdit*>(w) != nullptr;
}

std::unique_ptr<window_peer> CScrollBar::CreatePeer(CWnd* parent, const CRect& rect, DWORD style)
{
    return platform::gui::detail::make_scroll_bar_peer(this, parent, rect, style);
}

std::unique_ptr<window_peer> CFrameWnd::CreatePeer(CWnd* parent, const CRect& rect, DWORD style)
{
    return platform::gui::detail::make_frame_peer(this, parent, rect, style);
}

namespace {

// The tooltip control of each owner window, so that the owner's pointer
// moves reach it.
std::map<const CWnd*, CToolTipCtrl*>& tip_controls()
{
    static std::map<const CWnd*, CToolTipCtrl*> tips;
    return tips;
}

void relay_pointer_to_tips(const CWnd* owner, LPARAM lParam)
{
    auto& tips = tip_controls();
    auto it = tips.find(owner);
    if (it != tips.end())
        it->second->RelayPointer(CPoint(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)));
}

} // namespace

CToolTipCtrl::~CToolTipCtrl()
{
    DestroyWindow();
}

BOOL CToolTipCtrl::Create(CWnd* owner, DWORD)
{
    if (!owner || !owner->GetSafeHwnd())
        return FALSE;
    DestroyWindow();
    m_owner = owner;
    tip_controls()[owner] = this;
    return TRUE;
}

void CToolTipCtrl::DestroyWindow()
{
    for (const auto& [wnd, text] : m_shown)
        if (!text.empty() && CWnd::IsAlive(wnd) && wnd->GetPeer())
            wnd->GetPeer()->set_tooltip(std::string());
    if (m_owner) {
        auto& tips = tip_controls();
        auto it = tips.find(m_owner);
        if (it != tips.end() && it->second == this)
            tips.erase(it);
    }
    m_owner = nullptr;
    m_tools.clear();
    m_shown.clear();
    m_pointerKnown = false;
}

BOOL CToolTipCtrl::AddTool(CWnd* wnd, const std::string& text, const RECT* rect, UINT id)
{
    if (!m_owner || !wnd)
        return FALSE;
    DelTool(wnd, id);
    m_tools.push_back(tool { wnd, id, rect == nullptr, rect ? CRect(*rect) : CRect(), text });
    m_text = text;
    Apply();
    return TRUE;
}

void CToolTipCtrl::DelTool(CWnd* wnd, UINT id)
{
    const auto it = std::find_if(
        m_tools.begin(), m_tools.end(), [&](const tool& t) { return t.wnd == wnd && t.id == id; });
    if (it == m_tools.end())
        return;
    m_tools.erase(it);
    Apply();
}

void CToolTipCtrl::UpdateTipText(const std::string& text, CWnd* wnd, UINT id)
{
    for (tool& t : m_tools)
        if (t.wnd == wnd && t.id == id) {
            t.text = text;
            m_text = text;
            Apply();
            return;
        }
}

void CToolTipCtrl::SetToolRect(CWnd* wnd, UINT id, const RECT& rect)
{
    for (tool& t : m_tools)
        if (t.wnd == wnd && t.id == id) {
            t.whole = false;
            t.rect = rect;
            Apply();
            return;
        }
}

void CToolTipCtrl::Activate(BOOL active)
{
    m_active = active != FALSE;
    Apply();
}

void CToolTipCtrl::RelayPointer(const CPoint& point)
{
    m_pointer = point;
    m_pointerKnown = true;
    Apply();
}

void CToolTipCtrl::Apply()
{
    // Each window with a tool (or a tip shown) gets the text of its newest
    // tool under the pointer. Only the owner's pointer is followed; a tool of
    // another window counts as under the pointer.
    std::map<CWnd*, std::string> wanted;
    for (const auto& [wnd, text] : m_shown)
        wanted[wnd];
    for (const tool& t : m_tools) {
        const bool under = t.whole || t.wnd != m_owner || !m_pointerKnown || t.rect.PtInRect(m_pointer);
        std::string& w = wanted[t.wnd];
        if (under && m_active)
            w = t.text;
    }
    for (const auto& [wnd, text] : wanted)
        Show(wnd, text);
}

void CToolTipCtrl::Show(CWnd* wnd, const std::string& text)
{
    auto it = m_shown.find(wnd);
    if (it != m_shown.end() && it->second == text)
        return;
    if (!CWnd::IsAlive(wnd) || !wnd->GetPeer()) {
        m_shown.erase(wnd);
        return;
    }
    m_shown[wnd] = text;
    wnd->GetPeer()->set_tooltip(text);
}
