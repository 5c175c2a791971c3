#include "lumvex/cache/file_stamp.h"

#include "lumvex/path.h"

#include <istream>
#include <ostream>

#include <sys/stat.h>

namespace lumvex {

namespace {

std::int64_t nanoseconds(const timespec& time)
{
    return static_cast<std::int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
}

} // namespace

file_stamp file_stamp::of(const std::string& path)
{
    struct stat status { };
    if (::stat(paths::native(path).c_str(), &status) != 0)
        return {};
    return { static_cast<std::uint64_t>(status.st_size), nanoseconds(status.st_mtim),
        nanoseconds(status.st_ctim), static_cast<std::uint64_t>(status.st_ino) };
}

std::ostream& operator<<(std::ostream& out, const file_stamp& stamp)
{
    return out << stamp.size << ' ' << stamp.modified << ' ' << stamp.changed << ' ' << stamp.number;
}

std::istream& operator>>(std::istream& in, file_stamp& stamp)
{
    file_stamp read;
    if (in >> read.size >> read.modified >> read.changed >> read.number)
        stamp = read;
    else
        stamp = {};
    return in;
}

} // namespace lumvex
