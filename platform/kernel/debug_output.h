#pragma once

#include <string_view>

namespace platform {

// Text for a developer's debugger. Written to the diagnostic stream (std::clog,
// flushed) while a debugger is attached to the process and dropped otherwise,
// so that a text a caller also reports elsewhere does not reach a user twice.
void output_debug_string(std::string_view text);

// Whether a debugger (a tracing process) is attached to this process.
bool debugger_attached();

} // namespace platform
