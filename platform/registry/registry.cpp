#include "platform/registry/registry.h"

#include "platform/kernel/file_sync.h"
#include "platform/registry/value_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

const char values_name[] = ".values";
const char lock_name[] = ".lock";
const char corrupt_name[] = ".values.corrupt";

// How many set-aside copies of corrupt files a key keeps at most.
constexpr int max_corrupt_copies = 1000;

bool absolute(const char* path)
{
    return path != nullptr && path[0] == '/';
}

std::string with_slash(std::string folder)
{
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    return folder;
}

std::string home_folder()
{
    const char* home = std::getenv("HOME");
    if (absolute(home))
        return home;
    passwd entry {};
    passwd* found = nullptr;
    char buffer[4096];
    if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr
        && absolute(found->pw_dir))
        return found->pw_dir;
    return {};
}

// A key part as a folder name: "/", "%", control bytes and a leading "."
// escaped as "%XX", so that no part is "." or "..", hidden, or clashes with
// the store's own files.
std::string folder_name(const std::string& part)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < part.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(part[i]);
        if (c < 0x20 || c == 0x7F || c == '/' || c == '%' || (i == 0 && c == '.')) {
            out += '%';
            out += digits[c >> 4];
            out += digits[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

bool equal_ignoring_case(const std::string& a, const char* b)
{
    return strcasecmp(a.c_str(), b) == 0;
}

// Makes the folder and its missing parents; 0 or the error.
int make_folders(const std::string& folder)
{
    for (std::size_t end = folder.find('/', 1); end != std::string::npos; end = folder.find('/', end + 1)) {
        const std::string prefix = folder.substr(0, end);
        if (mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST)
            return errno;
    }
    return 0;
}

int folder_state(const std::string& folder)
{
    struct stat info { };
    if (stat(folder.c_str(), &info) != 0)
        return errno == ENOTDIR ? ENOENT : errno;
    return S_ISDIR(info.st_mode) ? 0 : ENOENT;
}

// Reads the whole file; ENOENT when it is missing, EFBIG when it is larger
// than any settings file.
int read_file(const std::string& path, std::string& text)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    int result = 0;
    struct stat info { };
    if (fstat(fd, &info) != 0) {
        result = errno;
    } else if (static_cast<std::uint64_t>(info.st_size) > detail::max_value_file) {
        result = EFBIG;
    } else {
        text.clear();
        char buffer[8192];
        for (;;) {
            const ssize_t got = ::read(fd, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0) {
                result = errno;
                break;
            }
            if (got == 0)
                break;
            text.append(buffer, static_cast<std::size_t>(got));
            if (text.size() > detail::max_value_file) {
                result = EFBIG;
                break;
            }
        }
    }
    ::close(fd);
    return result;
}

int write_all(int fd, const std::string& text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t wrote = ::write(fd, text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote < 0)
            return errno;
        done += static_cast<std::size_t>(wrote);
    }
    return 0;
}

// Writes the text to a temporary file beside `path`, syncs it and renames it
// over `path`, so that readers see the old file or the new one, whole.
int replace_file(const std::string& path, const std::string& text)
{
    std::string temporary = path + ".XXXXXX";
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return errno;
    int result = write_all(fd, text);
    if (result == 0)
        result = sync_file(fd);
    if (::close(fd) != 0 && result == 0)
        result = errno;
    if (result == 0 && std::rename(temporary.c_str(), path.c_str()) != 0)
        result = errno;
    if (result != 0) {
        ::unlink(temporary.c_str());
        return result;
    }
    // The rename itself reaches the disc with the folder.
    sync_folder_of(path);
    return 0;
}

// Moves a corrupt values file aside under the first free name.
int keep_aside(const std::string& folder, const std::string& path)
{
    for (int n = 0; n < max_corrupt_copies; ++n) {
        const std::string aside = folder + corrupt_name + (n == 0 ? std::string() : "." + std::to_string(n));
        struct stat info { };
        if (lstat(aside.c_str(), &info) == 0)
            continue;
        if (errno != ENOENT)
            return errno;
        return std::rename(path.c_str(), aside.c_str()) == 0 ? 0 : errno;
    }
    return EEXIST;
}

// The exclusive lock of one key, held while it lives. flock locks belong to
// the open file, so two threads of one process exclude each other too.
class key_lock {
public:
    explicit key_lock(const std::string& folder)
    {
        m_fd = ::open((folder + lock_name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (m_fd < 0) {
            m_error = errno;
            return;
        }
        while (flock(m_fd, LOCK_EX) != 0) {
            if (errno != EINTR) {
                m_error = errno;
                return;
            }
        }
    }
    ~key_lock()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    key_lock(const key_lock&) = delete;
    key_lock& operator=(const key_lock&) = delete;

    int error() const { return m_error; }

private:
    int m_fd = -1;
    int m_error = 0;
};

} // namespace

std::string registry_user_folder()
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (absolute(config))
        return with_slash(config);
    const std::string home = home_folder();
    return home.empty() ? std::string() : with_slash(home) + ".config/";
}

int registry_key::open(registry_root, const std::string& sub_key, bool create)
{
    const std::string root = registry_user_folder();
    if (root.empty()) {
        close();
        return ENOENT;
    }
    return open_below(root, sub_key, create, true);
}

int registry_key::open(const registry_key& parent, const std::string& sub_key, bool create)
{
    if (!parent.is_open()) {
        close();
        return EBADF;
    }
    // The parent's folder is read before this key changes: parent may be
    // this key.
    const std::string base = parent.m_folder;
    return open_below(base, sub_key, create, false);
}

int registry_key::open_below(
    const std::string& base, const std::string& sub_key, bool create, bool skip_software)
{
    close();
    std::string folder = base;
    bool first = true;
    std::size_t start = 0;
    while (start <= sub_key.size()) {
        std::size_t end = sub_key.find('\\', start);
        if (end == std::string::npos)
            end = sub_key.size();
        const std::string part = sub_key.substr(start, end - start);
        start = end + 1;
        if (part.empty())
            continue;
        if (first && skip_software && equal_ignoring_case(part, "Software")) {
            first = false;
            continue;
        }
        first = false;
        folder += folder_name(part) + "/";
    }
    int result = create ? make_folders(folder) : 0;
    if (result == 0)
        result = folder_state(folder);
    if (result == 0)
        m_folder = folder;
    return result;
}

int registry_key::query(const std::string& name, registry_value& value) const
{
    if (!is_open())
        return EBADF;
    std::string text;
    const int read = read_file(m_folder + values_name, text);
    if (read == EFBIG)
        return ENOENT;
    if (read != 0)
        return read;
    detail::value_map values;
    if (!detail::parse_values(text, values))
        return ENOENT;
    const auto found = values.find(name);
    if (found == values.end())
        return ENOENT;
    value = found->second;
    return 0;
}

int registry_key::set(const std::string& name, const registry_value& value)
{
    if (!is_open())
        return EBADF;
    const key_lock lock(m_folder);
    if (lock.error() != 0)
        return lock.error();
    const std::string path = m_folder + values_name;
    std::string text;
    detail::value_map values;
    const int read = read_file(path, text);
    if (read == 0 || read == EFBIG) {
        if (read != 0 || !detail::parse_values(text, values)) {
            values.clear();
            if (const int aside = keep_aside(m_folder, path); aside != 0)
                return aside;
        }
    } else if (read != ENOENT) {
        return read;
    }
    values[name] = value;
    // A file beyond the reading limit would read back as holding nothing:
    // the change is refused and the values stay as they were.
    const std::string changed = detail::format_values(values);
    if (changed.size() > detail::max_value_file)
        return EFBIG;
    return replace_file(path, changed);
}

} // namespace platform
