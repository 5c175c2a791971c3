// Message-only windows: no window on screen, only messages and timers.

#include <map>

#include <wx/event.h>
#include <wx/timer.h>

#include "platform/gui/app.h"
#include "platform/gui/detail/wx.h"

namespace platform::gui::detail {

namespace {

class message_peer : public window_peer {
public:
    explicit message_peer(CWnd* owner)
        : m_owner(owner)
        , m_alive(std::make_shared<bool>(true))
    {
        auto alive = m_alive;
        CWnd* o = owner;
        m_handler.Bind(wxEVT_TIMER, [alive, o](wxTimerEvent& e) {
            if (!*alive)
                return;
            try {
                deliver_timer(o, UINT_PTR(e.GetId()));
            } catch (...) {
                platform::gui::report_current_exception();
            }
        });
    }
    ~message_peer() override { *m_alive = false; }

    CRect client_rect() const override { return CRect(); }
    CRect window_rect() const override { return CRect(); }
    CPoint client_origin() const override { return CPoint(); }
    void set_bounds(const CRect&) override { }
    void show(bool) override { }
    bool is_visible() const override { return false; }
    void enable(bool) override { }
    void invalidate(const RECT*) override { }
    void update() override { }
    void capture(bool) override { }
    bool has_capture() const override { return false; }
    void focus() override { }
    bool has_focus() const override { return false; }
    void track_leave() override { }
    void set_text(const std::string& text) override { m_text = text; }
    std::string text() const override { return m_text; }
    CPoint cursor_pos() const override { return pointer_position(); }
    void set_cursor(HCURSOR) override { }
    void set_tooltip(const std::string&) override { }
    bool set_timer(UINT_PTR id, UINT ms) override
    {
        auto& t = m_timers[id];
        if (!t)
            t = std::make_unique<wxTimer>(&m_handler, int(id));
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
    bool open_client_dc(CDC&) override { return false; }
    bool open_paint_dc(CDC&) override { return false; }
    CRect update_rect() const override { return CRect(); }
    void destroy() override
    {
        *m_alive = false;
        m_timers.clear();
    }

private:
    [[maybe_unused]] CWnd* m_owner;
    std::shared_ptr<bool> m_alive;
    std::string m_text;
    wxEvtHandler m_handler;
    std::map<UINT_PTR, std::unique_ptr<wxTimer>> m_timers;
};

} // namespace

std::unique_ptr<window_peer> make_message_peer(CWnd* owner)
{
    return std::make_unique<message_peer>(owner);
}

} // namespace platform::gui::detail
