#include "foundation/system/thread.h"

#include <cxxabi.h>
#include <exception>
#include <iostream>

#include "foundation/system/crash_report.h"
#include "foundation/system/win32_error.h"
#include "platform/debug/fault.h"
#include "platform/kernel/debug_output.h"

namespace mswin {

thread::thread(bool create)
{
    if (create)
        start(false);
}

thread::~thread() = default;

void thread::start(bool resume)
{
    if (!m_handle.create(&thread::thread_proc, this))
        throw_win32_error("_beginthreadex");
    if (resume)
        m_handle.resume();
}

void thread::resume()
{
    m_handle.resume();
}

bool thread::join()
{
    m_handle.join();
    return result;
}

void thread::on_error(const std::string& text)
{
    std::clog << "\nthread error: " << text << std::endl;
    platform::output_debug_string(text);
}

bool thread::guarded_call(void (*body)(void* context), void* context)
{
    std::string report;
    try {
        body(context);
        return true;
    } catch (abi::__forced_unwind&) {
        // Thread cancellation unwinds through here and must go on.
        throw;
    } catch (const std::exception& error) {
        report = error.what();
    } catch (...) {
        report = build_exception_report();
    }
    try {
        on_error(report);
    } catch (...) {
        // An error handler that fails (a message box that cannot be shown)
        // must not end the thread; the default report still tells.
        try {
            thread::on_error(report);
        } catch (...) {
        }
    }
    return false;
}

unsigned thread::thread_proc(void* object)
{
    auto* self = static_cast<thread*>(object);
    self->run_guarded();
    return self->result ? 1 : 0;
}

void thread::run_guarded()
{
    const platform::debug::fault_stack stack;
    install_crash_reporter();
    while (!guarded_call([](void* self) { static_cast<thread*>(self)->run(); }, this)) {
        result = false;
        if (!restart)
            break;
    }
}

synchronizable_thread::synchronizable_thread(bool create)
    : thread(create)
{
}

void synchronizable_thread::request_step()
{
    std::lock_guard guard(m_lock);
    ++m_requested;
    m_idle.reset();
    m_go.set();
}

void synchronizable_thread::stop()
{
    std::lock_guard guard(m_lock);
    m_stop = true;
    m_go.set();
}

void synchronizable_thread::run()
{
    for (;;) {
        {
            // Idle is set only when every request was taken up, under the
            // lock of request_step: a request can no longer come between the
            // look at the go event and the setting of idle.
            std::lock_guard guard(m_lock);
            if (m_taken == m_requested)
                m_idle.set();
        }
        m_go.wait();
        {
            std::lock_guard guard(m_lock);
            m_go.reset();
            m_taken = m_requested;
        }
        if (m_stop)
            break;
        // A failed step is reported and the loop goes on with the next request.
        guarded_call([](void* self) { static_cast<synchronizable_thread*>(self)->step(); }, this);
    }
    m_idle.set();
}

WorkThreadBase::WorkThreadBase()
    : thread(true)
{
    wake.set();
    restart = true;
}

} // namespace mswin
