#include "platform/gui/app.h"
#include "platform/gui/message_box.h"

#include <cstdlib>
#include <deque>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/init.h>

namespace platform::gui {

namespace {

std::optional<bool> g_started;
bool g_running = false;

std::mutex g_posted_mutex;
std::deque<std::function<void()>>& posted()
{
    static std::deque<std::function<void()>> calls;
    return calls;
}

error_report& the_report()
{
    static error_report r;
    return r;
}

wxGUIEventLoop* g_loop = nullptr;

class session_app : public wxApp {
public:
    bool OnInit() override { return true; }
    // A failed toolkit check is a fault of ours to see in the diagnostics,
    // never a modal dialog that stops the program (or a test) in its tracks.
    void OnAssertFailure(
        const wxChar* file, int line, const wxChar* func, const wxChar* cond, const wxChar* msg) override
    {
        std::cerr << "\ntoolkit check failed: " << wxString(file) << ":" << line << " " << wxString(func)
                  << ": " << wxString(cond) << " " << wxString(msg) << std::endl;
    }
    // Exceptions are caught where the toolkit calls our handlers; one that
    // still reaches the loop is reported the same way and the loop goes on.
    bool OnExceptionInMainLoop() override
    {
        try {
            throw;
        } catch (...) {
            report_current_exception();
        }
        return true;
    }
};

} // namespace

bool start()
{
    if (g_started)
        return *g_started;
    const char* x = std::getenv("DISPLAY");
    const char* w = std::getenv("WAYLAND_DISPLAY");
    if ((!x || !*x) && (!w || !*w)) {
        g_started = false;
        return false;
    }
    wxApp::SetInstance(new session_app);
    static int argc = 1;
    static char name[] = "tavelo";
    static char* argv[] = { name, nullptr };
    g_running = wxEntryStart(argc, argv) && wxTheApp->CallOnInit();
    // The program, not the last closed window, decides when the loop ends.
    if (g_running)
        wxTheApp->SetExitOnFrameDelete(false);
    g_started = g_running;
    return g_running;
}

bool running()
{
    return g_running;
}

void stop()
{
    if (!g_running)
        return;
    run_posted();
    wxEntryCleanup();
    g_running = false;
}

int run_loop()
{
    if (!g_running)
        return -1;
    wxGUIEventLoop loop;
    wxGUIEventLoop* outer = g_loop;
    g_loop = &loop;
    const int code = loop.Run();
    g_loop = outer;
    return code;
}

void quit(int code)
{
    if (g_loop)
        g_loop->Exit(code);
}

void pump()
{
    if (g_running) {
        wxEventLoopBase* active = wxEventLoopBase::GetActive();
        std::unique_ptr<wxGUIEventLoop> own;
        std::optional<wxEventLoopActivator> activate;
        if (!active) {
            own = std::make_unique<wxGUIEventLoop>();
            activate.emplace(own.get());
            active = own.get();
        }
        for (int round = 0; round < 100; ++round) {
            bool any = false;
            while (active->Pending()) {
                active->Dispatch();
                any = true;
            }
            if (wxTheApp->HasPendingEvents()) {
                wxTheApp->ProcessPendingEvents();
                any = true;
            }
            if (run_posted() > 0)
                any = true;
            if (wxTheApp->ProcessIdle())
                any = true;
            if (!any)
                break;
        }
    } else {
        run_posted();
    }
}

void post(std::function<void()> call)
{
    {
        std::lock_guard lock(g_posted_mutex);
        posted().push_back(std::move(call));
    }
    if (g_running && wxTheApp)
        wxTheApp->CallAfter([] { run_posted(); });
}

int run_posted()
{
    int ran = 0;
    for (;;) {
        std::function<void()> call;
        {
            std::lock_guard lock(g_posted_mutex);
            if (posted().empty())
                break;
            call = std::move(posted().front());
            posted().pop_front();
        }
        ++ran;
        try {
            call();
        } catch (...) {
            report_current_exception();
        }
    }
    return ran;
}

void set_error_report(error_report report)
{
    the_report() = std::move(report);
}

void report_current_exception() noexcept
{
    std::exception_ptr e = std::current_exception();
    if (!e)
        return;
    try {
        if (auto& r = the_report()) {
            r(e);
            return;
        }
        std::rethrow_exception(e);
    } catch (const std::exception& x) {
        std::cerr << "\nerror in window handler: " << x.what() << std::endl;
        // A library's window reports to its user when the program's report
        // is not the one installed in this copy of the window layer.
        if (toolkit_loop_running())
            platform::MessageBox(x.what(), MB_OK | MB_ICONEXCLAMATION);
    } catch (...) {
        std::cerr << "\nerror in window handler: unknown exception" << std::endl;
    }
}

} // namespace platform::gui
