#include "platform/kernel/file_sync.h"

#include <cerrno>
#include <fcntl.h>
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

std::string folder_of(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

void sync_folder_of(const std::string& path)
{
    const int fd = ::open(folder_of(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace platform
