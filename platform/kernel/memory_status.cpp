#include "platform/kernel/memory_status.h"

#include "platform/kernel/system_error.h"

#include <cerrno>
#include <fstream>
#include <limits>
#include <sstream>
#include <sys/resource.h>

namespace platform {

namespace {

// The user part of the address space of a 64-bit process (47 bits).
constexpr std::uint64_t user_address_space = std::uint64_t(1) << 47;

// The value of a "Name: value kB" line in bytes; false when the file has no
// such line.
bool find_kilobytes(const std::string& text, const char* name, std::uint64_t& bytes)
{
    std::istringstream lines(text);
    std::string line;
    const std::string prefix = std::string(name) + ":";
    while (std::getline(lines, line)) {
        if (line.compare(0, prefix.size(), prefix) != 0)
            continue;
        std::istringstream value(line.substr(prefix.size()));
        std::uint64_t kilobytes = 0;
        if (!(value >> kilobytes) || kilobytes > std::numeric_limits<std::uint64_t>::max() / 1024)
            return false;
        bytes = kilobytes * 1024;
        return true;
    }
    return false;
}

bool read_text(const std::string& path, std::string& text)
{
    errno = 0;
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        set_last_error(errno ? errno : ENOENT);
        return false;
    }
    std::ostringstream content;
    content << file.rdbuf();
    text = content.str();
    return true;
}

} // namespace

bool read_meminfo(const std::string& path, memory_status& status)
{
    std::string text;
    if (!read_text(path, text))
        return false;
    std::uint64_t available = 0;
    if (!find_kilobytes(text, "MemAvailable", available)) {
        set_last_error(ENODATA);
        return false;
    }
    std::uint64_t swap_free = 0;
    if (!find_kilobytes(text, "SwapFree", swap_free))
        swap_free = 0;
    std::uint64_t total = 0;
    if (!find_kilobytes(text, "MemTotal", total))
        total = 0;
    status.total_physical = total;
    status.available_physical = available;
    // Saturates: a sum that wrapped would report less than the physical part.
    status.available_page_file = swap_free > std::numeric_limits<std::uint64_t>::max() - available
        ? std::numeric_limits<std::uint64_t>::max()
        : available + swap_free;
    return true;
}

bool global_memory_status(memory_status& status)
{
    memory_status result;
    if (!read_meminfo("/proc/meminfo", result))
        return false;
    std::string self;
    if (!read_text("/proc/self/status", self))
        return false;
    std::uint64_t mapped = 0;
    if (!find_kilobytes(self, "VmSize", mapped)) {
        set_last_error(ENODATA);
        return false;
    }
    rlimit limit {};
    if (getrlimit(RLIMIT_AS, &limit) != 0) {
        set_last_error_from_errno();
        return false;
    }
    std::uint64_t space = user_address_space;
    if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < space)
        space = limit.rlim_cur;
    result.available_virtual = space > mapped ? space - mapped : 0;
    status = result;
    return true;
}

} // namespace platform
