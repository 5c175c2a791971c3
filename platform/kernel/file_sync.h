#pragma once

#include <string>

namespace platform {

// Flushes what was written to the open file `fd` to the disc (fsync).
// Returns 0 or the system's error code (an errno value). A file system that
// cannot flush at all (some network and FUSE mounts refuse with EINVAL or
// ENOTSUP) returns 0: the data has gone as far as that file system takes it.
// A flush that fails (EIO, ENOSPC, EDQUOT, ...) returns its error.
int sync_file(int fd);

// Flushes the folder that holds `path` to the disc, so that a rename or a
// removal there lasts. Called once the files are in place, when a folder
// that cannot be flushed is no failure any more: nothing is told.
void sync_folder_of(const std::string& path);

// The folder that holds `path`: "." for a bare name, "/" for a file in the
// root.
std::string folder_of(const std::string& path);

} // namespace platform
