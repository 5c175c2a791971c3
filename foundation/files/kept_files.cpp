#include "foundation/files/kept_files.h"

#include "foundation/files/numbered_file_name.h"

#include <filesystem>
#include <system_error>

#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;

// The absolute form of a path with "." and ".." and the links of its
// existing part resolved; the path as given when even that fails.
std::string normalised(const std::string& path)
{
    std::error_code error;
    const fs::path absolute = fs::absolute(path, error);
    if (error)
        return path;
    const fs::path canonical = fs::weakly_canonical(absolute, error);
    return (error ? absolute.lexically_normal() : canonical).string();
}

// Splits a path after its last '/'.
void split(const std::string& path, std::string& folder, std::string& name)
{
    const std::size_t slash = path.find_last_of('/');
    folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    name = slash == std::string::npos ? path : path.substr(slash + 1);
}

bool all_digits(const std::string& text)
{
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return !text.empty();
}

} // namespace

kept_files::kept_files(const std::vector<std::string>& paths)
{
    for (const std::string& path : paths)
        add(path);
}

kept_files::file kept_files::describe(const std::string& path)
{
    file f;
    split(normalised(path), f.folder, f.name);
    struct stat st { };
    if (::stat(path.c_str(), &st) == 0) {
        f.exists = true;
        f.device = st.st_dev;
        f.inode = st.st_ino;
    }
    return f;
}

void kept_files::add(const std::string& path)
{
    if (!path.empty())
        m_files.push_back(describe(path));
}

bool kept_files::holds(const std::string& path) const
{
    if (m_files.empty() || path.empty())
        return false;
    const file wanted = describe(path);
    for (const file& f : m_files) {
        if (wanted.exists && f.exists && wanted.device == f.device && wanted.inode == f.inode)
            return true;
        if (wanted.folder == f.folder && wanted.name == f.name)
            return true;
    }
    return false;
}

bool kept_files::holds_any(const NumberedFileName& pattern) const
{
    if (m_files.empty())
        return false;
    std::string folder, prefix;
    split(pattern.prefix(), folder, prefix);
    // The folder as the names' files see it ("" is the current folder).
    folder = normalised(folder.empty() ? std::string(".") : folder);
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    const std::string& suffix = pattern.suffix();
    const std::size_t digits = pattern.digits() > 0 ? std::size_t(pattern.digits()) : 1;
    for (const file& f : m_files) {
        if (f.folder != folder || f.name.size() < prefix.size() + suffix.size() + 1)
            continue;
        if (f.name.compare(0, prefix.size(), prefix) != 0
            || f.name.compare(f.name.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        const std::string number
            = f.name.substr(prefix.size(), f.name.size() - prefix.size() - suffix.size());
        // Zero-filled to the digits; wider counters are written whole.
        if (all_digits(number) && (number.size() == digits || (number.size() > digits && number[0] != '0')))
            return true;
    }
    return false;
}

std::string first_untaken_path(
    const std::string& path, const std::string& tag, const std::function<bool(const std::string&)>& taken)
{
    if (!taken(path))
        return path;
    std::string folder, name;
    split(path, folder, name);
    const std::size_t dot = name.rfind('.');
    const std::string stem = dot == std::string::npos ? name : name.substr(0, dot);
    const std::string extension = dot == std::string::npos ? std::string() : name.substr(dot);
    for (int n = 1;; ++n) {
        const std::string candidate
            = folder + stem + tag + (n > 1 ? std::to_string(n) : std::string()) + extension;
        if (!taken(candidate) || n == 1000)
            return candidate;
    }
}
