#pragma once

// What a CWnd needs of the window system: the peer of one window. The
// window layer makes peers over the toolkit (CWnd::Create); tests of window
// logic attach a peer of their own (CWnd::AttachPeer) and drive the window by
// sending it messages, so routing, capture and focus run without a display.
//
// A peer belongs to the UI thread. Rectangles and points are logical pixels.

#include <string>

#include "platform/gui/messages.h"
#include "platform/gui/types.h"

class CDC;
class CWnd;

struct cursor;
using HCURSOR = const cursor*;

class window_peer {
public:
    virtual ~window_peer() = default;

    // The client area, (0, 0, width, height).
    virtual CRect client_rect() const = 0;
    // The window's outer rectangle in screen coordinates.
    virtual CRect window_rect() const = 0;
    // Screen position of the client area's top-left.
    virtual CPoint client_origin() const = 0;
    // Moves and sizes the window; the rectangle is in the parent window's
    // client coordinates (screen coordinates for a top-level window).
    virtual void set_bounds(const CRect& r) = 0;
    virtual void show(bool visible) = 0;
    virtual bool is_visible() const = 0;
    virtual void enable(bool enabled) = 0;
    // Marks a rectangle (null: all) to be painted; the next paint's update
    // rectangle covers it.
    virtual void invalidate(const RECT* r) = 0;
    // Paints the invalid part now.
    virtual void update() = 0;
    virtual void capture(bool take) = 0;
    virtual bool has_capture() const = 0;
    virtual void focus() = 0;
    virtual bool has_focus() const = 0;
    // Asks for one WM_MOUSELEAVE when the pointer next leaves the window.
    virtual void track_leave() = 0;
    virtual void set_text(const std::string& text) = 0;
    virtual std::string text() const = 0;
    // The pointer's position in screen coordinates.
    virtual CPoint cursor_pos() const = 0;
    // Shows `c` while the pointer is over the window (null: the window's
    // class cursor).
    virtual void set_cursor(HCURSOR c) = 0;
    virtual void set_tooltip(const std::string& text) = 0;
    // Starts (or restarts) timer `id`; its ticks arrive as WM_TIMER.
    virtual bool set_timer(UINT_PTR id, UINT ms) = 0;
    virtual bool kill_timer(UINT_PTR id) = 0;
    // Physical pixels per logical pixel.
    virtual double scale_factor() const { return 1.0; }
    // Prepares `dc` to draw into the client area (a client DC); answers false
    // when it cannot, and the DC then draws nowhere.
    virtual bool open_client_dc(CDC& dc) = 0;
    // During the window's painting, prepares `dc` to draw into it.
    virtual bool open_paint_dc(CDC& dc) = 0;
    // The update rectangle of the painting under way (empty outside it).
    virtual CRect update_rect() const = 0;
    // Destroys the native window; the peer is deleted by its CWnd afterwards.
    virtual void destroy() = 0;
    // Tells the peer that the current message wants the toolkit's own
    // processing of the event that caused it.
    virtual void default_processing() { }
    // Native controls only: a scroll bar of the window (SB_HORZ, SB_VERT) or
    // the control itself (SB_CTL) takes the information.
    virtual void set_scroll_info(int /*bar*/, const SCROLLINFO& /*info*/) { }
    // Text fields only: selects characters start..end (-1: to the end), and
    // sets the inner margins in pixels.
    virtual void select_text(int /*start*/, int /*end*/) { }
    virtual void set_margins(int /*left*/, int /*right*/) { }
    // The character nearest a client point; -1 when unknown.
    virtual int char_from_pos(const CPoint& /*p*/) const { return -1; }

    LONG_PTR user_data = 0;
};
