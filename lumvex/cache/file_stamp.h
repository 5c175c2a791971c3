#pragma once

// What tells one content of a file from another at the same path: its size,
// its modification and status-change times and its file number. Rewriting a
// file in place changes its times; replacing it (a new file renamed over it)
// changes its number. Cache keys of file contents carry the stamp the file
// had when it was opened, so that images of an old content are never handed
// out for a new one, neither from memory nor, after a restart, from disc.

#include <cstdint>
#include <iosfwd>
#include <string>

namespace lumvex {

struct file_stamp {
    std::uint64_t size = 0;
    // Nanoseconds since the epoch.
    std::int64_t modified = 0;
    std::int64_t changed = 0;
    std::uint64_t number = 0;

    bool operator==(const file_stamp&) const = default;

    // The stamp of the file at `path` (either separator) now; the unknown
    // stamp (all zero) when the file cannot be examined.
    static file_stamp of(const std::string& path);
};

// The four numbers in decimal, separated by blanks.
std::ostream& operator<<(std::ostream& out, const file_stamp& stamp);
// Reads the four numbers; on failure the stream fails and `stamp` is the
// unknown stamp.
std::istream& operator>>(std::istream& in, file_stamp& stamp);

} // namespace lumvex
