#pragma once

namespace platform {

// Flushes what was written to the open file `fd` to the disc (fsync).
// Returns 0 or the system's error code (an errno value). A file system that
// cannot flush at all (some network and FUSE mounts refuse with EINVAL or
// ENOTSUP) returns 0: the data has gone as far as that file system takes it.
// A flush that fails (EIO, ENOSPC, EDQUOT, ...) returns its error.
int sync_file(int fd);

} // namespace platform
