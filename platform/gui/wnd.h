#pragma once

// Windows and their messages. A CWnd is our window object; once created it
// has a peer in the window system (window_peer.h), whose events arrive as
// messages at WindowProc:
//
//   creation                       WM_CREATE (result -1 fails the creation)
//   destruction                    WM_DESTROY, then the peer goes
//   size change                    WM_SIZE (SIZE_RESTORED, client width/height)
//   keyboard focus gained / lost   WM_SETFOCUS / WM_KILLFOCUS
//   key pressed / released         WM_KEYDOWN / WM_KEYUP (virtual-key code;
//                                  repeat count in bits 0-15, KF_ flags << 16)
//   typed character                WM_CHAR
//   buttons and pointer moves      WM_LBUTTON*, WM_RBUTTON*, WM_MOUSEMOVE
//                                  (MK_ flags; client point in LPARAM)
//   pointer left (after            WM_MOUSELEAVE, once per TrackMouseEvent
//   TrackMouseEvent)
//   cursor query                   WM_SETCURSOR (HTCLIENT in the low word)
//   capture taken by the system    WM_CAPTURECHANGED
//   scroll bar child moved         WM_HSCROLL / WM_VSCROLL to its parent
//   (or the window's own bar)      (LPARAM the bar, 0 for the window's own);
//                                  the high word holds 16 bits of the
//                                  position, the bar's SIF_TRACKPOS all of it
//   painting                       WM_PAINT (update rectangle: GetUpdateRect)
//   frame (de)activated            WM_ACTIVATE (WA_ACTIVE / WA_INACTIVE)
//   idle time of the event loop    WM_IDLEUPDATECMDUI to each frame window
//   timer                          WM_TIMER, or the timer procedure
//   posted message                 the posted message (PostMessage)
//
// A message that WindowProc passes on reaches DefWindowProc, the default
// processing: the toolkit's own handling of the event (native controls edit,
// scroll and so on), the class cursor for WM_SETCURSOR, the stored font for
// WM_SETFONT / WM_GETFONT.
//
// Threads: windows belong to the UI thread; only PostMessage may be called
// from another thread. Exceptions thrown by a handler never cross into the
// toolkit: the layer catches them where the toolkit called in and hands them
// to the error report (app.h).

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/gui/messages.h"
#include "platform/gui/types.h"
#include "platform/gui/window_peer.h"

class CFont;
class CDC;
class CWnd;

using HWND = CWnd*;
using TIMERPROC = void (*)(HWND, UINT, UINT_PTR, DWORD);

// The parent that makes a message-only window: no window on screen, only
// messages and timers.
extern CWnd* const HWND_MESSAGE;

// A window class: a name and the cursor shown over its windows when no
// handler chooses one (null: the arrow).
struct WNDCLASS {
    std::string lpszClassName;
    HCURSOR hCursor = nullptr;
};

// Registers a class; answers FALSE when the name is empty or already taken
// by a different cursor (registering the same class twice is harmless).
BOOL RegisterClass(const WNDCLASS* wc);

struct MSG {
    HWND hwnd = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

class CWnd {
public:
    CWnd();
    // Destroys the window when it still exists.
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    // Creates the window: class `class_name` (empty: the default class;
    // an unregistered one fails), style WS_*, the rectangle in the parent's
    // client coordinates, the parent (null: a top-level window; HWND_MESSAGE:
    // a message-only window). Sends WM_CREATE; answers FALSE when the
    // class is unknown, the window exists already, or WM_CREATE answers -1.
    virtual BOOL Create(const std::string& class_name, const std::string& title, DWORD style,
        const RECT& rect, CWnd* parent, UINT id);
    // Destroys the window: WM_DESTROY, then the peer is destroyed.
    virtual BOOL DestroyWindow();
    // Makes `peer` this window's peer without a native window, as if it had
    // been created, and sends WM_CREATE; for tests of window logic. Answers
    // FALSE when the window exists already or WM_CREATE answers -1.
    BOOL AttachPeer(std::unique_ptr<window_peer> peer, CWnd* parent = nullptr);

    HWND GetSafeHwnd() const { return m_peer ? const_cast<CWnd*>(this) : nullptr; }
    window_peer* GetPeer() const { return m_peer.get(); }
    CWnd* GetParent() const { return m_parent; }
    DWORD GetStyle() const { return m_style; }
    UINT GetDlgCtrlID() const { return m_id; }

    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    // Queues the message for this window on the UI thread; any thread may
    // call it. A message still queued when the window is destroyed is
    // dropped. Answers FALSE when the window does not exist.
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    // The message being handled (innermost), or null.
    const MSG* GetCurrentMessage() const { return m_current; }
    // DefWindowProc of the current message.
    LRESULT Default();

    void GetClientRect(RECT* r) const;
    void GetWindowRect(RECT* r) const;
    void ClientToScreen(POINT* p) const;
    void ClientToScreen(RECT* r) const;
    void ScreenToClient(POINT* p) const;
    void ScreenToClient(RECT* r) const;
    BOOL SetWindowPos(const CWnd* insert_after, int x, int y, int cx, int cy, UINT flags);
    void MoveWindow(int x, int y, int cx, int cy, BOOL repaint = TRUE);
    void MoveWindow(const RECT& r, BOOL repaint = TRUE);
    BOOL ShowWindow(int command);
    BOOL IsWindowVisible() const;
    BOOL EnableWindow(BOOL enable = TRUE);
    void Invalidate(BOOL erase = TRUE);
    void InvalidateRect(const RECT* r, BOOL erase = TRUE);
    void UpdateWindow();
    // The update rectangle of the painting under way; FALSE when empty.
    BOOL GetUpdateRect(RECT* r, BOOL erase = FALSE) const;
    double GetContentScaleFactor() const;

    CWnd* SetCapture();
    static CWnd* GetCapture();
    CWnd* SetFocus();
    static CWnd* GetFocus();
    BOOL TrackMouseLeave();

    void SetFont(CFont* font, BOOL redraw = TRUE);
    CFont* GetFont() const;
    void SetWindowText(const std::string& text);
    std::string GetWindowText() const;

    UINT_PTR SetTimer(UINT_PTR id, UINT elapse_ms, TIMERPROC proc);
    BOOL KillTimer(UINT_PTR id);

    // The scroll information of a bar (SB_HORZ, SB_VERT, or SB_CTL for a
    // scroll-bar control): the parts named by the mask are stored and handed
    // to the window system. GetScrollInfo answers the stored parts (all zero
    // before the first SetScrollInfo).
    BOOL SetScrollInfo(int bar, const SCROLLINFO& info, BOOL redraw = TRUE);
    BOOL GetScrollInfo(int bar, SCROLLINFO* info) const;

    LONG_PTR SetUserData(LONG_PTR v);
    LONG_PTR GetUserData() const;

    // XOR lines drawn into the window outside its painting: each call adds
    // the line or, when the same line is already there, removes it, and
    // invalidates its pixels. DrawXorOverlay XORs the overlay into a DC that
    // holds the window's picture (the off-screen buffer during painting),
    // limited to `clip`; drawing the overlay after every repaint of a
    // rectangle keeps the screen as XOR drawing would.
    void ToggleXorLine(const CPoint& from, const CPoint& to, COLORREF color, bool alternate);
    void DrawXorOverlay(CDC& dc, const RECT& clip) const;
    bool HasXorOverlay() const { return !m_xor_lines.empty(); }

    // The window of a peer, if it is alive; for the layer.
    static bool IsAlive(const CWnd* w);
    // Called by the peer when the window system destroyed the window by
    // itself (its parent went): WM_DESTROY without destroying the peer.
    void OnPeerDestroyed();

protected:
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Makes the native peer for Create; the kinds of window override it.
    virtual std::unique_ptr<window_peer> CreatePeer(CWnd* parent, const CRect& rect, DWORD style);
    // After the window is gone.
    virtual void PostNcDestroy() { }

private:
    struct xor_line {
        CPoint from;
        CPoint to;
        COLORREF color;
        bool alternate;
        bool operator==(const xor_line&) const = default;
    };

    BOOL Finish(std::unique_ptr<window_peer> peer, CWnd* parent, HCURSOR cursor);
    void Forget();

    std::unique_ptr<window_peer> m_peer;
    CWnd* m_parent = nullptr;
    DWORD m_style = 0;
    UINT m_id = 0;
    HCURSOR m_class_cursor = nullptr;
    CFont* m_font = nullptr;
    const MSG* m_current = nullptr;
    std::map<UINT_PTR, TIMERPROC> m_timer_procs;
    std::vector<xor_line> m_xor_lines;
    SCROLLINFO m_scroll[3];

    friend LRESULT deliver_timer(CWnd* w, UINT_PTR id);
};

// The capture window of the process gives the capture back.
BOOL ReleaseCapture();
// The pointer's position in screen coordinates. Without a running window
// system: the last position given to SetCursorPos.
BOOL GetCursorPos(POINT* p);
BOOL SetCursorPos(int x, int y);
// Asks `w` for one WM_MOUSELEAVE when the pointer next leaves it.
BOOL TrackMouseEvent(CWnd* w, DWORD flags);

// A plain child window kind: a native one-line text field. Its window text
// is the field's contents. Keys typed into it stay with it: they never reach
// the windows around it or a frame's accelerators (IsTextInput).
class CEdit : public CWnd {
public:
    void SetSel(int start, int end) { SendMessage(EM_SETSEL, WPARAM(start), LPARAM(end)); }
    void SetMargins(UINT left, UINT right)
    {
        SendMessage(EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(int(left), int(right)));
    }
    int CharFromPos(const CPoint& p) { return int(SendMessage(EM_CHARFROMPOS, 0, MAKELPARAM(p.x, p.y))); }

protected:
    std::unique_ptr<window_peer> CreatePeer(CWnd* parent, const CRect& rect, DWORD style) override;
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
};

// True when `w` is a live text field; keyboard accelerators leave the keys
// of such a focus window alone.
bool IsTextInput(const CWnd* w);

// A native scroll bar (SBS_HORZ or SBS_VERT). Its moves reach the parent as
// WM_HSCROLL / WM_VSCROLL with the scroll code in the low word of WPARAM,
// the position in the high word and the scroll bar as LPARAM.
class CScrollBar : public CWnd {
protected:
    std::unique_ptr<window_peer> CreatePeer(CWnd* parent, const CRect& rect, DWORD style) override;
};

// A top-level frame with a title bar.
class CFrameWnd : public CWnd {
protected:
    std::unique_ptr<window_peer> CreatePeer(CWnd* parent, const CRect& rect, DWORD style) override;
};

// A tooltip control owned by a window. Tools are known by (window, id), each
// with a rectangle of that window's client area (null: all of it) and a
// text. A window shows the tip of its most recently added tool whose
// rectangle holds the pointer, and no tip elsewhere; the owner's pointer
// moves (WM_MOUSEMOVE) are followed by the control itself.
inline constexpr DWORD TTS_ALWAYSTIP = 0x01;
inline constexpr DWORD TTS_NOPREFIX = 0x02;

class CToolTipCtrl {
public:
    CToolTipCtrl() = default;
    ~CToolTipCtrl();
    CToolTipCtrl(const CToolTipCtrl&) = delete;
    CToolTipCtrl& operator=(const CToolTipCtrl&) = delete;

    BOOL Create(CWnd* owner, DWORD style);
    void DestroyWindow();
    bool IsCreated() const { return m_owner != nullptr; }
    // Adds the tool, or replaces the one with the same window and id.
    BOOL AddTool(CWnd* wnd, const std::string& text, const RECT* rect, UINT id);
    void DelTool(CWnd* wnd, UINT id);
    void UpdateTipText(const std::string& text, CWnd* wnd, UINT id);
    void SetToolRect(CWnd* wnd, UINT id, const RECT& rect);
    void Activate(BOOL active);
    // The pointer is at `point` of the owner's client area.
    void RelayPointer(const CPoint& point);
    // The text of the most recently added or updated tool.
    std::string GetText() const { return m_text; }
    bool IsActive() const { return m_active; }

private:
    struct tool {
        CWnd* wnd;
        UINT id;
        bool whole;
        CRect rect;
        std::string text;
    };

    void Apply();
    void Show(CWnd* wnd, const std::string& text);

    CWnd* m_owner = nullptr;
    std::vector<tool> m_tools;
    // The tips the windows show now.
    std::map<CWnd*, std::string> m_shown;
    std::string m_text;
    bool m_active = true;
    bool m_pointerKnown = false;
    CPoint m_pointer;
};
