#pragma once

#include <string>

namespace platform {

// The calling thread's last error: the layer records the system's error code
// here whenever one of its calls fails, and callers read it right after the
// failed call to report it. Each thread has its own; 0 means no error.
int last_error();
void set_last_error(int code);

// Records the C library's current error code (errno) as the last error and
// returns it; for platform code right after a failed system call.
int set_last_error_from_errno();

// The system's text for an error code, without a trailing line break; empty
// when the system has no text for that code.
std::string system_error_text(int code);

} // namespace platform
