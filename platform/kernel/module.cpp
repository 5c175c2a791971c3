#include "platform/kernel/module.h"

#include "platform/kernel/system_error.h"

#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace platform {

bool module_file_name(std::string& path)
{
    // readlink does not say how long the target is; grow the buffer until
    // the whole name fits.
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) {
            set_last_error_from_errno();
            return false;
        }
        if (static_cast<std::size_t>(length) < buffer.size()) {
            path.assign(buffer.data(), static_cast<std::size_t>(length));
            return true;
        }
        if (buffer.size() >= (std::size_t(1) << 20)) {
            set_last_error(ENAMETOOLONG);
            return false;
        }
        buffer.resize(buffer.size() * 2);
    }
}

attribute_file::~attribute_file()
{
    close();
}

bool attribute_file::open(const std::string& path)
{
    close();
    // O_PATH opens the file itself without read or write access; fstat works
    // on such a descriptor.
    m_descriptor = ::open(path.c_str(), O_PATH | O_CLOEXEC);
    if (m_descriptor < 0) {
        set_last_error_from_errno();
        return false;
    }
    return true;
}

void attribute_file::close()
{
    if (m_descriptor >= 0) {
        ::close(m_descriptor);
        m_descriptor = -1;
    }
}

bool attribute_file::last_write_time(file_time& time) const
{
    struct stat status { };
    if (fstat(m_descriptor, &status) != 0) {
        set_last_error_from_errno();
        return false;
    }
    time.seconds = status.st_mtim.tv_sec;
    time.nanoseconds = static_cast<std::int32_t>(status.st_mtim.tv_nsec);
    return true;
}

bool file_time_to_system_time(const file_time& time, system_time& result)
{
    if (time.nanoseconds < 0 || time.nanoseconds >= 1000000000) {
        set_last_error(EINVAL);
        return false;
    }
    const time_t seconds = static_cast<time_t>(time.seconds);
    tm calendar {};
    if (gmtime_r(&seconds, &calendar) == nullptr) {
        set_last_error_from_errno();
        return false;
    }
    if (calendar.tm_year > std::numeric_limits<int>::max() - 1900) {
        set_last_error(EOVERFLOW);
        return false;
    }
    result.year = calendar.tm_year + 1900;
    result.month = calendar.tm_mon + 1;
    result.day = calendar.tm_mday;
    result.hour = calendar.tm_hour;
    result.minute = calendar.tm_min;
    result.second = calendar.tm_sec;
    result.milliseconds = time.nanoseconds / 1000000;
    return true;
}

} // namespace platform
