#include "platform/kernel/pending_files.h"

#include "platform/kernel/file_sync.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// Attempts at a free name before giving up: names are taken only by files
// left behind that a clean-up could not remove.
constexpr int name_attempts = 100;

} // namespace

pending_files::~pending_files()
{
    discard();
}

int pending_files::open(const std::string& pattern)
{
    discard();
    m_next = 0;
    return m_lock.create(pattern, 0600);
}

int pending_files::reserve(const std::string& target, std::string& path)
{
    if (!is_open())
        return EBADF;
    withdraw();
    struct stat old { };
    if (::lstat(target.c_str(), &old) == 0 && S_ISDIR(old.st_mode))
        return EISDIR;
    const bool replacing = ::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    const mode_t mode = replacing ? (old.st_mode & 07777) : 0666;
    for (int attempt = 0; attempt < name_attempts; ++attempt) {
        path = m_lock.member(m_next++);
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return errno;
        }
        // The creation mask may have taken bits away from the replaced file's.
        int result = replacing && ::fchmod(fd, mode) != 0 ? errno : 0;
        if (::close(fd) != 0 && result == 0)
            result = errno;
        if (result != 0) {
            ::unlink(path.c_str());
            return result;
        }
        m_files.push_back({ path, target, false, {} });
        m_reserved = true;
        return 0;
    }
    return EEXIST;
}

void pending_files::confirm()
{
    m_reserved = false;
}

void pending_files::withdraw() noexcept
{
    if (!m_reserved)
        return;
    ::unlink(m_files.back().path.c_str());
    m_files.pop_back();
    m_reserved = false;
}

void pending_files::keep_replaced(entry& file)
{
    struct stat old { };
    if (::lstat(file.target.c_str(), &old) != 0 || S_ISDIR(old.st_mode))
        return;
    file.replaces = true;
    for (int attempt = 0; attempt < name_attempts; ++attempt) {
        std::string name = m_lock.member(m_next++);
        // Not followed: a symbolic link is kept as the link it is.
        if (::linkat(AT_FDCWD, file.target.c_str(), AT_FDCWD, name.c_str(), 0) == 0) {
            file.kept = std::move(name);
            return;
        }
        if (errno != EEXIST)
            return;
    }
}

int pending_files::finish(std::string& failed)
{
    if (!is_open())
        return 0;
    withdraw();
    for (std::size_t i = 0; i < m_files.size(); ++i) {
        entry& file = m_files[i];
        // Without a second name (a file system without hard links) the file
        // replaced cannot come back; the move goes on all the same.
        keep_replaced(file);
        if (::rename(file.path.c_str(), file.target.c_str()) != 0) {
            const int error = errno;
            failed = file.target;
            put_back(i);
            discard();
            return error;
        }
    }
    sync_folder_of(m_lock.path());
    for (const entry& file : m_files)
        if (!file.kept.empty())
            ::unlink(file.kept.c_str());
    m_files.clear();
    m_lock.remove();
    return 0;
}

void pending_files::put_back(std::size_t count)
{
    for (std::size_t i = count; i-- > 0;) {
        const entry& file = m_files[i];
        // A file that cannot give way keeps the replaced one's second name,
        // which the next clean-up removes; the user may still find it first.
        if (!file.kept.empty())
            ::rename(file.kept.c_str(), file.target.c_str());
        else if (!file.replaces)
            ::unlink(file.target.c_str());
    }
    m_files.erase(m_files.begin(), m_files.begin() + std::ptrdiff_t(count));
    sync_folder_of(m_lock.path());
}

void pending_files::discard() noexcept
{
    for (const entry& file : m_files) {
        ::unlink(file.path.c_str());
        if (!file.kept.empty())
            ::unlink(file.kept.c_str());
    }
    m_files.clear();
    m_reserved = false;
    m_lock.remove();
}

} // namespace platform
