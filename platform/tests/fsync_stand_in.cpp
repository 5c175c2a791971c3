#include "platform/tests/fsync_stand_in.h"

#include <cerrno>
#include <mutex>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

struct sync_log {
    std::mutex lock;
    std::vector<std::pair<dev_t, ino_t>> synced;
    int fail_files = 0;
};

sync_log& syncs()
{
    static sync_log log;
    return log;
}

} // namespace

extern "C" int fsync(int fd)
{
    struct stat st { };
    if (::fstat(fd, &st) == 0) {
        std::lock_guard<std::mutex> locked(syncs().lock);
        if (S_ISREG(st.st_mode) && syncs().fail_files != 0) {
            errno = syncs().fail_files;
            return -1;
        }
        syncs().synced.emplace_back(st.st_dev, st.st_ino);
    }
    return int(::syscall(SYS_fsync, fd));
}

namespace platform::testing {

std::vector<std::pair<dev_t, ino_t>> take_synced_files()
{
    std::lock_guard<std::mutex> locked(syncs().lock);
    return std::exchange(syncs().synced, {});
}

failing_file_syncs::failing_file_syncs(int error)
{
    std::lock_guard<std::mutex> locked(syncs().lock);
    syncs().fail_files = error;
}

failing_file_syncs::~failing_file_syncs()
{
    std::lock_guard<std::mutex> locked(syncs().lock);
    syncs().fail_files = 0;
}

} // namespace platform::testing
