#pragma once

#include <string>

#include "platform/debug/fault.h"

// The crash reporter: a text report of a fault or of an exception of a type
// no handler knows. The report is a description line (the program, what
// happened, the module and address, the function and source line), one line
// per stack frame (address, module, function, source line) and the register
// dump, each ending in a line feed.
//
// Reports are built one at a time (a caller on another thread waits), and
// each call returns its own text.

// The report of a fault.
std::string build_crash_report(const platform::debug::fault_record& fault);

// The report of the C++ exception being handled, for a catch-all handler:
// call it inside the handler; its stack starts at the caller.
std::string build_exception_report();

// The folder of crash files: $XDG_STATE_HOME (default ~/.local/state) +
// "/Norvane/Tavelo".
std::string crash_report_folder();

// Installs the process's fault handler with this reporter: on a fault signal
// the report goes to the diagnostic stream and to "crash-<time>.txt" in
// crash_report_folder(), then the process ends as the signal would end it.
// The first call in the process installs; later calls do nothing.
void install_crash_reporter();
