#include "platform/kernel/file_sync.h"

#include <cerrno>
#include <unistd.h>

namespace platform {

namespace {

// The answers of a file system that has no flush at all, as opposed to one
// whose flush failed: the data was not lost, and refusing every save to such
// a mount would help no one.
bool cannot_sync(int error)
{
#if EOPNOTSUPP != ENOTSUP
    if (error == EOPNOTSUPP)
        return true;
#endif
    return error == EINVAL || error == ENOTSUP;
}

} // namespace

int sync_file(int fd)
{
    if (::fsync(fd) == 0)
        return 0;
    const int error = errno;
    return cannot_sync(error) ? 0 : error;
}

} // namespace platform
