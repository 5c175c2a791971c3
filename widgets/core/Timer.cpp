#include "widgets/core/Timer.h"

#include "widgets/core/Event.h"

namespace My {

Timer::Timer()
{
    WNDCLASS wc;
    wc.lpszClassName = "My::TimerWindow";
    RegisterClass(&wc);
    if (m_window.Create("My::TimerWindow", "My::TimerWindow", 0, CRect(), HWND_MESSAGE, 0))
        m_window.SetUserData(reinterpret_cast<LONG_PTR>(this));
}

Timer::~Timer()
{
    if (m_window.GetSafeHwnd())
        m_window.DestroyWindow();
}

void Timer::SetRunning(bool running)
{
    if (running && !m_id) {
        m_id = m_window.SetTimer(1, m_interval, &Timer::TimerProc);
    } else if (!running && m_id) {
        m_window.KillTimer(m_id);
        m_id = 0;
    }
}

void Timer::SetInterval(unsigned ms)
{
    if (ms == m_interval)
        return;
    const bool running = IsRunning();
    SetRunning(false);
    m_interval = ms;
    if (running)
        SetRunning(true);
}

void Timer::OnTimer()
{
    TimerEvent e(this);
    Send(e);
}

void Timer::TimerProc(HWND window, UINT, UINT_PTR, DWORD)
{
    if (auto* timer = reinterpret_cast<Timer*>(window->GetUserData()))
        timer->OnTimer();
}

} // namespace My
