#pragma once

// Joins the toolkit to the window system: starts it on the calling thread
// (which becomes the UI thread), lets its event loop run the UI-thread
// message queue, and sends exceptions thrown inside window handlers to the
// error report of the main loop (My::ReportError).

namespace My {

// Answers false when no display is available; windows then cannot be made.
bool StartWindowSystem();

} // namespace My
