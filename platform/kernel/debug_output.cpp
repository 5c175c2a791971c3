#include "platform/kernel/debug_output.h"

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

namespace platform {

bool debugger_attached()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("TracerPid:", 0) == 0)
            return std::strtol(line.c_str() + 10, nullptr, 10) != 0;
    }
    return false;
}

void output_debug_string(std::string_view text)
{
    if (!debugger_attached())
        return;
    std::clog << text;
    std::clog.flush();
}

} // namespace platform
