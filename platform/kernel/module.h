#pragma once

#include <cstdint>
#include <string>

namespace platform {

// A point in time as the file system keeps it: seconds and nanoseconds since
// 1970-01-01 00:00 UTC.
struct file_time {
    std::int64_t seconds = 0;
    std::int32_t nanoseconds = 0;
};

// A calendar date and time of day in UTC.
struct system_time {
    int year = 0;
    int month = 0; // 1 .. 12
    int day = 0; // 1 .. 31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int milliseconds = 0;
};

// Every call below returns false on failure and records the system's error
// code as the calling thread's last error (system_error.h).

// The full path of the running executable.
bool module_file_name(std::string& path);

// A file opened for no access at all: only its attributes can be queried,
// so it opens whatever the file's permissions. Closed by the destructor.
class attribute_file {
public:
    attribute_file() = default;
    ~attribute_file();
    attribute_file(const attribute_file&) = delete;
    attribute_file& operator=(const attribute_file&) = delete;

    // Opens an existing file (any open one is closed first).
    bool open(const std::string& path);
    bool is_open() const { return m_descriptor >= 0; }
    void close();

    // The time of the file's last write.
    bool last_write_time(file_time& time) const;

private:
    int m_descriptor = -1;
};

// Converts a file time to a UTC calendar date; fails for a time outside the
// calendar's range.
bool file_time_to_system_time(const file_time& time, system_time& result);

} // namespace platform
