#include "platform/kernel/temporary_file.h"

#include "platform/kernel/file_sync.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <dirent.h>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

constexpr std::string_view suffix = ".tmp";

// Takes a lock of `type` on the whole file without waiting; 0 or the error.
// Open-file-description locks belong to the open file, not to the process:
// a clean-up in the writer's own process conflicts with the writer's lock,
// and closing the clean-up's descriptor leaves the writer's lock alone.
int lock_whole(int fd, short type)
{
    struct flock range { };
    range.l_type = type;
    range.l_whence = SEEK_SET;
    return ::fcntl(fd, F_OFD_SETLK, &range) == 0 ? 0 : errno;
}

// The answers to a lock that someone else holds.
bool held_elsewhere(int error)
{
    return error == EAGAIN || error == EACCES;
}

// A number as the names are written (decimal, no sign, no leading zero) up
// to `max`; false for anything else.
bool read_number(std::string_view text, std::uint64_t max, std::uint64_t& value)
{
    if (text.empty() || text.size() > 20 || (text.size() > 1 && text[0] == '0'))
        return false;
    value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        const auto digit = std::uint64_t(c - '0');
        if (value > (max - digit) / 10)
            return false;
        value = value * 10 + digit;
    }
    return true;
}

enum class name_kind { other, locked, member };

// What a file name is: a locked temporary, a file that belongs to the
// locked temporary `owner`, or neither (any name that the writers do not
// make exactly).
name_kind classify(std::string_view name, std::string& owner)
{
    if (name.size() <= suffix.size() || name.substr(name.size() - suffix.size()) != suffix)
        return name_kind::other;
    const std::string_view stem = name.substr(0, name.size() - suffix.size());
    const std::size_t mark = stem.rfind(".~");
    if (mark == std::string_view::npos || mark == 0)
        return name_kind::other;
    // The process number, the writer's number and, for a member, its own.
    const std::uint64_t limits[] = { INT_MAX, UINT_MAX, UINT_MAX };
    std::size_t count = 0;
    std::size_t at = mark + 2;
    for (;; ++count) {
        const std::size_t dot = stem.find('.', at);
        std::uint64_t value = 0;
        if (count == 3 || !read_number(stem.substr(at, dot - at), limits[count], value)
            || (count == 0 && value == 0))
            return name_kind::other;
        if (dot == std::string_view::npos)
            break;
        at = dot + 1;
    }
    if (count == 1)
        return name_kind::locked;
    if (count != 2)
        return name_kind::other;
    owner = std::string(stem.substr(0, stem.rfind('.'))) + std::string(suffix);
    return name_kind::member;
}

// A descriptor closed with its owner.
struct descriptor {
    int fd = -1;
    descriptor() = default;
    descriptor(const descriptor&) = delete;
    descriptor& operator=(const descriptor&) = delete;
    ~descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

bool same_file(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Opens the entry `name` of `folder` for reading when it is a regular file
// of this user, never through a symbolic link (nor a device or a pipe,
// whose opening may act); `file` then describes it. `gone` tells that there
// is no such entry.
int open_own_file(int folder, const std::string& name, struct stat& file, bool& gone)
{
    struct stat entry { };
    gone = false;
    if (::fstatat(folder, name.c_str(), &entry, AT_SYMLINK_NOFOLLOW) != 0) {
        gone = errno == ENOENT;
        return -1;
    }
    const uid_t user = ::geteuid();
    if (!S_ISREG(entry.st_mode) || entry.st_uid != user)
        return -1;
    const int fd = ::openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        gone = errno == ENOENT;
        return -1;
    }
    if (::fstat(fd, &file) != 0 || !same_file(file, entry) || !S_ISREG(file.st_mode) || file.st_uid != user) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Removes the entry `name` when it still names the file examined: the
// entry may have been moved away and made again since.
void remove_entry(int folder, const std::string& name, const struct stat& examined)
{
    struct stat now { };
    if (::fstatat(folder, name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 && same_file(now, examined))
        ::unlinkat(folder, name.c_str(), 0);
}

} // namespace

temporary_file::~temporary_file()
{
    remove();
}

int temporary_file::create(const std::string& target, unsigned mode)
{
    remove();
    remove_abandoned_temporaries(folder_of(target));
    static std::atomic<unsigned> counter { 0 };
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = target + ".~" + std::to_string(::getpid()) + "." + std::to_string(counter++)
            + std::string(suffix);
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode_t(mode));
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return errno;
        }
        // A clean-up that came between the making and the locking holds the
        // file, or has removed it already: it is no longer this writer's.
        const int locked = lock_whole(fd, F_WRLCK);
        struct stat made { };
        if (held_elsewhere(locked) || (locked == 0 && (::fstat(fd, &made) != 0 || made.st_nlink == 0))) {
            ::close(fd);
            continue;
        }
        const int keeper = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
        if (keeper < 0) {
            const int error = errno;
            ::unlink(name.c_str());
            ::close(fd);
            return error;
        }
        m_fd = fd;
        m_lock = keeper;
        m_path = std::move(name);
        return 0;
    }
    return EEXIST;
}

int temporary_file::close_descriptor()
{
    if (m_fd < 0)
        return 0;
    const int result = ::close(m_fd) == 0 ? 0 : errno;
    m_fd = -1;
    return result;
}

int temporary_file::move_to(const std::string& target)
{
    if (!held())
        return EBADF;
    if (::rename(m_path.c_str(), target.c_str()) != 0)
        return errno;
    release();
    return 0;
}

void temporary_file::remove() noexcept
{
    if (!held())
        return;
    ::unlink(m_path.c_str());
    release();
}

void temporary_file::release() noexcept
{
    close_descriptor();
    ::close(m_lock);
    m_lock = -1;
    m_path.clear();
}

std::string temporary_file::member(unsigned k) const
{
    return m_path.substr(0, m_path.size() - suffix.size()) + "." + std::to_string(k) + std::string(suffix);
}

void remove_abandoned_temporaries(const std::string& folder)
{
    DIR* listing = ::opendir(folder.c_str());
    if (listing == nullptr)
        return;
    const int dir = ::dirfd(listing);
    // Listed first: entries are removed below.
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(listing))
        names.emplace_back(entry->d_name);
    for (const std::string& name : names) {
        std::string owner;
        const name_kind kind = classify(name, owner);
        if (kind == name_kind::other)
            continue;
        descriptor file;
        struct stat examined { };
        bool gone = false;
        file.fd = open_own_file(dir, name, examined, gone);
        if (file.fd < 0)
            continue;
        // The lock that shows the file abandoned is held until it is removed,
        // so that no writer takes the file up in between.
        descriptor proof;
        if (kind == name_kind::locked) {
            if (lock_whole(file.fd, F_RDLCK) != 0)
                continue;
        } else {
            struct stat owner_file { };
            proof.fd = open_own_file(dir, owner, owner_file, gone);
            if (proof.fd < 0 ? !gone : lock_whole(proof.fd, F_RDLCK) != 0)
                continue;
        }
        remove_entry(dir, name, examined);
    }
    ::closedir(listing);
}

} // namespace platform
