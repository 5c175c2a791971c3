#include "foundation/system/win32_error.h"

#include <cstdio>

#include "platform/kernel/module.h"
#include "platform/kernel/system_error.h"

Win32Error::Win32Error(const std::string& context)
{
    const int code = platform::last_error();
    std::string text = platform::system_error_text(code);
    if (text.empty())
        text = "error code " + std::to_string(code);
    set_message("System error: " + text + context);
}

void throw_win32_error(const std::string& call)
{
    throw Win32Error("\nas a result of " + call);
}

std::string module_file_date()
{
    std::string path;
    if (!platform::module_file_name(path))
        throw_win32_error("GetModuleFileName");
    platform::attribute_file file;
    if (!file.open(path))
        throw_win32_error("CreateFile");
    platform::file_time written;
    if (!file.last_write_time(written))
        throw_win32_error("GetFileTime");
    platform::system_time date;
    if (!platform::file_time_to_system_time(written, date))
        throw_win32_error("FileTimeToSystemTime");

    char text[32];
    std::snprintf(text, sizeof text, "%d.%02d.%02d", date.year, date.month, date.day);
    return text;
}
