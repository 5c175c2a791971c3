#pragma once

// The platform test program's fsync: it stands in for the C library's, so
// that tests see which files were flushed and can make the flush of regular
// files fail as a file system would. Folders are always flushed for real.

#include <sys/types.h>
#include <utility>
#include <vector>

namespace platform::testing {

// The files (device, inode) flushed since the last call.
std::vector<std::pair<dev_t, ino_t>> take_synced_files();

// While it lives, fsync of a regular file fails with `error` and flushes
// nothing.
class failing_file_syncs {
public:
    explicit failing_file_syncs(int error);
    ~failing_file_syncs();
    failing_file_syncs(const failing_file_syncs&) = delete;
    failing_file_syncs& operator=(const failing_file_syncs&) = delete;
};

} // namespace platform::testing
