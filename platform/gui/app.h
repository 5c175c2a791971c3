#pragma once

// The window system's session on the UI thread: start-up, the event loop,
// calls posted from other threads, and the report of errors thrown inside
// window handlers.

#include <exception>
#include <functional>

namespace platform::gui {

// Starts the window system on the calling thread, which becomes the UI
// thread. Answers false when no display is available; window creation then
// fails and drawing goes nowhere. Later calls answer the first result.
bool start();
// True once start succeeded.
bool running();
// Stops the window system (the process is about to end).
void stop();

// Runs the event loop until quit() is called; answers quit's code.
int run_loop();
void quit(int code = 0);
// Handles every pending event and posted call, then returns (for waits that
// must keep windows alive, and for tests).
void pump();

// Queues `call` to run on the UI thread, in posting order; any thread may
// call it. Without a running window system the calls wait for pump().
void post(std::function<void()> call);
// Runs the calls posted so far; UI thread only. Answers how many ran.
int run_posted();

// Where exceptions thrown inside window handlers go: the report is called on
// the UI thread with the exception, after the handler was left; the event
// loop then goes on. The default writes the exception's text to the
// diagnostic stream. An empty function restores the default.
using error_report = std::function<void(std::exception_ptr)>;
void set_error_report(error_report report);
// Hands the current exception to the report; for the layer's boundaries.
void report_current_exception() noexcept;

} // namespace platform::gui
