#include "xmldoc/replace_file.h"

#include <array>
#include <cerrno>
#include <filesystem>
#include <ostream>
#include <random>
#include <streambuf>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace xml {

namespace {

namespace fs = std::filesystem;

std::ios_base::failure failure(const std::string& what, const std::string& path, int error)
{
    return std::ios_base::failure(what + " " + path, std::error_code(error, std::generic_category()));
}

// An output buffer over a file descriptor it does not own. A failed write
// throws std::ios_base::failure with the system's error: the stream over it
// passes that on (with exceptions enabled), so that whoever writes through
// the stream, an image encoder among them, learns why (a full disc).
class descriptor_buffer final : public std::streambuf {
public:
    explicit descriptor_buffer(int descriptor)
        : m_descriptor(descriptor)
    {
        setp(m_data.data(), m_data.data() + m_data.size());
    }

    std::uint64_t written() const { return m_written + static_cast<std::uint64_t>(pptr() - pbase()); }
    int error() const { return m_error; }

protected:
    int_type overflow(int_type c) override
    {
        if (!drain())
            throw_error();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }
    int sync() override
    {
        if (!drain())
            throw_error();
        return 0;
    }

private:
    [[noreturn]] void throw_error() const
    {
        throw std::ios_base::failure("cannot write", std::error_code(m_error, std::generic_category()));
    }

    bool drain()
    {
        const char* p = pbase();
        while (p < pptr()) {
            const ssize_t count = ::write(m_descriptor, p, static_cast<std::size_t>(pptr() - p));
            if (count < 0 && errno == EINTR)
                continue;
            if (count <= 0) {
                m_error = count < 0 ? errno : EIO;
                return false;
            }
            p += count;
            m_written += static_cast<std::uint64_t>(count);
        }
        setp(m_data.data(), m_data.data() + m_data.size());
        return true;
    }

    int m_descriptor;
    int m_error = 0;
    std::uint64_t m_written = 0;
    std::array<char, 1 << 16> m_data {};
};

// The file a path finally names: symbolic links are followed (relative ones
// from their own folder) to a path that is not a link; that file need not
// exist.
fs::path final_target(const std::string& path)
{
    fs::path current(path);
    for (int hop = 0; hop < 40; ++hop) {
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(current, error)) || error)
            return current;
        const fs::path link = fs::read_symlink(current, error);
        if (error)
            throw failure("cannot write", path, error.value());
        current = link.is_absolute() ? link : current.parent_path() / link;
    }
    throw failure("cannot write", path, ELOOP);
}

// Creates a new file beside target that no other writer picks at the same
// time; its name is left in name.
int create_beside(const fs::path& target, mode_t mode, fs::path& name)
{
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::uint64_t tag = (std::uint64_t(random()) << 32) ^ random();
        name = target;
        name += ".~" + std::to_string(tag) + ".tmp";
        const int descriptor = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (descriptor >= 0 || errno != EEXIST)
            return descriptor;
    }
    errno = EEXIST;
    return -1;
}

// Flushes the new file to the disc; 0 or the error. A file system that has no
// flush at all (some network and FUSE mounts refuse with EINVAL or ENOTSUP)
// has taken the bytes as far as it can: refusing the save there would make
// every save to such a mount fail. The platform layer's sync_file answers the
// same; this library sits beside that layer and cannot call it.
int sync_file(int descriptor)
{
    if (::fsync(descriptor) == 0)
        return 0;
    const int error = errno;
#if EOPNOTSUPP != ENOTSUP
    if (error == EOPNOTSUPP)
        return 0;
#endif
    return error == EINVAL || error == ENOTSUP ? 0 : error;
}

// Flushes a folder's entries (the rename) to the disc. The file is in place
// by then, so a folder that cannot be flushed (a file system that does not
// support it) is no failure of the save.
void sync_folder(const fs::path& folder)
{
    const int descriptor = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0)
        return;
    ::fsync(descriptor);
    ::close(descriptor);
}

} // namespace

std::uint64_t replace_file(const std::string& path, const std::function<void(std::ostream&)>& write)
{
    const fs::path target = final_target(path);
    struct stat old { };
    const bool replacing = ::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode);

    fs::path temporary;
    const int descriptor = create_beside(target, replacing ? (old.st_mode & 07777) : 0666, temporary);
    if (descriptor < 0)
        throw failure("cannot write", path, errno);
    std::uint64_t written = 0;
    try {
        if (replacing) {
            // The creation mask may have taken bits away; the owner can be
            // given back only where the system allows it (best effort).
            if (::fchown(descriptor, old.st_uid, old.st_gid) != 0) { }
            if (::fchmod(descriptor, old.st_mode & 07777) != 0)
                throw failure("cannot write", path, errno);
        }
        descriptor_buffer buffer(descriptor);
        std::ostream out(&buffer);
        out.exceptions(std::ios::failbit | std::ios::badbit);
        try {
            write(out);
            out.flush();
        } catch (const std::ios_base::failure&) {
            if (buffer.error() != 0)
                throw failure("cannot write", path, buffer.error());
            throw;
        }
        written = buffer.written();
        if (const int error = sync_file(descriptor))
            throw failure("cannot write", path, error);
    } catch (...) {
        ::close(descriptor);
        ::unlink(temporary.c_str());
        throw;
    }
    if (::close(descriptor) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        throw failure("cannot write", path, error);
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        throw failure("cannot replace", path, error);
    }
    sync_folder(target.parent_path());
    return written;
}

} // namespace xml
