#pragma once

#include <string>

#include "foundation/system/exception.h"

// A failed system call, reported with the system's text for the calling
// thread's last error (platform/kernel/system_error.h):
// "System error: " + text + context. When the system has no text for the
// code, the code itself stands in its place ("error code N").
class Win32Error : public xtd::exception {
public:
    explicit Win32Error(const std::string& context);
};

// Throws Win32Error with the context "\nas a result of " + call, call naming
// the failed system call.
[[noreturn]] void throw_win32_error(const std::string& call);

// The last-write date of the running executable, as year + "." + two-digit
// month + "." + two-digit day (UTC). Throws Win32Error naming the failed step:
// "GetModuleFileName", "CreateFile", "GetFileTime" or "FileTimeToSystemTime".
std::string module_file_date();
