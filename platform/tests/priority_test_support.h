#pragma once

// Priorities as an ordinary user's process sees them: the calling thread
// gives up the capability to raise priorities (threads it creates inherit
// that), and the nice values and ids of this process's threads are read
// from the system.

#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <set>
#include <string>

namespace priority_testing {

// Drops the capability to raise priorities from the calling thread; true
// when afterwards no thread it creates may be raised above its nice value
// (the nice limit allows no raise either).
inline bool become_ordinary_user()
{
    __user_cap_header_struct header { _LINUX_CAPABILITY_VERSION_3, 0 };
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] {};
    if (syscall(SYS_capget, &header, data) != 0)
        return false;
    data[0].effective &= ~(1u << CAP_SYS_NICE);
    if (syscall(SYS_capset, &header, data) != 0)
        return false;
    rlimit limit {};
    return getrlimit(RLIMIT_NICE, &limit) == 0 && limit.rlim_cur == 0;
}

// The calling thread as an ordinary user's while the scope lasts: the
// capability to raise priorities is given up and restored at the end.
class ordinary_user_scope {
public:
    ordinary_user_scope()
    {
        if (syscall(SYS_capget, &m_header, m_saved) == 0)
            active = become_ordinary_user();
    }
    ~ordinary_user_scope()
    {
        m_header = { _LINUX_CAPABILITY_VERSION_3, 0 };
        syscall(SYS_capset, &m_header, m_saved);
    }
    ordinary_user_scope(const ordinary_user_scope&) = delete;
    ordinary_user_scope& operator=(const ordinary_user_scope&) = delete;

    // Threads created meanwhile may not raise priorities either.
    bool active = false;

private:
    __user_cap_header_struct m_header { _LINUX_CAPABILITY_VERSION_3, 0 };
    __user_cap_data_struct m_saved[_LINUX_CAPABILITY_U32S_3] {};
};

inline int nice_of(long tid)
{
    errno = 0;
    return getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
}

inline std::set<long> thread_ids()
{
    std::set<long> ids;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task"))
        ids.insert(std::stol(task.path().filename().string()));
    return ids;
}

} // namespace priority_testing
