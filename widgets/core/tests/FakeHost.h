#pragma once

// A window peer without a window system, for tests of window logic: the
// window is driven by sending it messages, and the peer records what the
// window asked of the window system.

#include <memory>
#include <string>
#include <vector>

#include "platform/gui/cursor.h"
#include "platform/gui/dc.h"
#include "platform/gui/window_peer.h"

namespace test {

struct FakePeerState {
    CRect client { 0, 0, 200, 100 };
    CPoint screen_origin { 1000, 500 };
    bool visible = true;
    bool enabled = true;
    bool captured = false;
    bool focused = false;
    int leave_requests = 0;
    int default_calls = 0;
    int updates = 0;
    std::vector<CRect> invalid;
    std::vector<HCURSOR> cursors;
    std::string tooltip;
    bool destroyed = false;
};

class FakePeer : public window_peer {
public:
    explicit FakePeer(std::shared_ptr<FakePeerState> s)
        : m_s(std::move(s))
    {
    }

    CRect client_rect() const override { return m_s->client; }
    CRect window_rect() const override { return m_s->client + m_s->screen_origin; }
    CPoint client_origin() const override { return m_s->screen_origin; }
    void set_bounds(const CRect& r) override { m_s->client = CRect(0, 0, r.Width(), r.Height()); }
    void show(bool v) override { m_s->visible = v; }
    bool is_visible() const override { return m_s->visible; }
    void enable(bool e) override { m_s->enabled = e; }
    void invalidate(const RECT* r) override { m_s->invalid.push_back(r ? CRect(*r) : m_s->client); }
    void update() override { ++m_s->updates; }
    void capture(bool take) override { m_s->captured = take; }
    bool has_capture() const override { return m_s->captured; }
    void focus() override { m_s->focused = true; }
    bool has_focus() const override { return m_s->focused; }
    void track_leave() override { ++m_s->leave_requests; }
    void set_text(const std::string&) override { }
    std::string text() const override { return {}; }
    CPoint cursor_pos() const override { return {}; }
    void set_cursor(HCURSOR c) override { m_s->cursors.push_back(c); }
    void set_tooltip(const std::string& t) override { m_s->tooltip = t; }
    bool set_timer(UINT_PTR, UINT) override { return true; }
    bool kill_timer(UINT_PTR) override { return true; }
    bool open_client_dc(CDC&) override { return false; }
    bool open_paint_dc(CDC&) override { return false; }
    CRect update_rect() const override { return {}; }
    void destroy() override { m_s->destroyed = true; }
    void default_processing() override { ++m_s->default_calls; }

private:
    std::shared_ptr<FakePeerState> m_s;
};

// Attaches a fake peer to a window and answers the peer's record.
template <class W> std::shared_ptr<FakePeerState> attach_fake(W& window, CWnd* parent = nullptr)
{
    auto s = std::make_shared<FakePeerState>();
    window.AttachPeer(std::make_unique<FakePeer>(s), parent);
    return s;
}

inline LPARAM at(int x, int y)
{
    return MAKELPARAM(x, y);
}

} // namespace test
