#pragma once

// A periodic event source: while running, sends a My::TimerEvent carrying
// itself to its listeners every interval. Its ticks arrive on the UI thread
// through a hidden message-only window; without a running window system the
// timer never ticks.

#include "platform/gui/wnd.h"
#include "widgets/core/EventDispatcher.h"

namespace My {

class Timer : public EventDispatcher {
public:
    Timer();
    virtual ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    // Starting a running timer or stopping a stopped one does nothing.
    void SetRunning(bool running);
    bool IsRunning() const { return m_id != 0; }
    // Milliseconds (1000 at first); a running timer restarts with it.
    void SetInterval(unsigned ms);
    unsigned GetInterval() const { return m_interval; }

protected:
    // One tick: sends the TimerEvent.
    virtual void OnTimer();

private:
    static void TimerProc(HWND window, UINT message, UINT_PTR id, DWORD time);

    unsigned m_interval = 1000;
    CWnd m_window;
    UINT_PTR m_id = 0;
};

} // namespace My
