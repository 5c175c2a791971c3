#include "lumvex/path.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace paths {

namespace {

bool is_separator(char c)
{
    return c == '\\' || c == '/';
}

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equal_ignoring_case(const std::string& a, const std::string& b)
{
    return a.size() == b.size()
        && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lower(x) == lower(y); });
}

void add_trailing_backslash(std::string& folder)
{
    if (folder.empty() || folder.back() != '\\')
        folder += '\\';
}

// "c:\" or "c:/" at the start: a drive of a project written elsewhere. A
// colon second in anything else ("1:1\", "4:3 crop\", "d:clip") belongs to
// a folder's or file's name.
bool starts_with_drive(const std::string& path)
{
    const char c = path.empty() ? '\0' : lower(path[0]);
    return c >= 'a' && c <= 'z' && path.size() >= 3 && path[1] == ':' && is_separator(path[2]);
}

bool is_folder(const std::string& native_path)
{
    struct stat status { };
    return stat(native_path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

} // namespace

bool matches_pattern(const std::string& name, const std::string& pattern, bool ignore_case)
{
    const auto same = [ignore_case](char a, char b) { return ignore_case ? lower(a) == lower(b) : a == b; };
    // Iterative, backtracking to the last "*": linear in practice and never
    // deeper than one frame for hostile patterns.
    std::size_t n = 0;
    std::size_t p = 0;
    std::size_t star = std::string::npos;
    std::size_t resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || same(pattern[p], name[n]))) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = n;
        } else if (star != std::string::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

std::string native(const std::string& path)
{
    std::string result = path;
    std::replace(result.begin(), result.end(), '\\', '/');
    return result;
}

bool remove_file(const std::string& path)
{
    return unlink(native(path).c_str()) == 0;
}

bool file_exists(const std::string& path)
{
    return access(native(path).c_str(), F_OK) == 0;
}

std::string file_name(const std::string& path)
{
    std::string name;
    split(path, nullptr, nullptr, &name, nullptr);
    return name;
}

std::string file_name_with_extension(const std::string& path)
{
    std::string name;
    std::string extension;
    split(path, nullptr, nullptr, &name, &extension);
    return name + extension;
}

std::string current_directory()
{
    std::string buffer(256, '\0');
    for (;;) {
        if (getcwd(buffer.data(), buffer.size()) != nullptr) {
            buffer.resize(buffer.find('\0'));
            return buffer;
        }
        if (errno != ERANGE || buffer.size() >= (std::size_t(1) << 20))
            return {};
        buffer.resize(buffer.size() * 2);
    }
}

std::string full_path(const char* path)
{
    if (path == nullptr || *path == '\0')
        return current_directory();
    std::string whole = native(path);
    if (whole.front() != '/')
        whole = current_directory() + '/' + whole;

    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= whole.size()) {
        std::size_t end = whole.find('/', start);
        if (end == std::string::npos)
            end = whole.size();
        const std::string part = whole.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string result;
    for (const std::string& part : parts)
        result += '/' + part;
    if (result.empty() || is_separator(whole.back()))
        result += '/';
    return result;
}

void split(const std::string& path, std::string* drive, std::string* folder, std::string* name,
    std::string* extension)
{
    const std::size_t folder_start = path.size() >= 2 && path[1] == ':' ? 2 : 0;
    const std::size_t last_separator = path.find_last_of("\\/");
    const std::size_t name_start = last_separator != std::string::npos && last_separator >= folder_start
        ? last_separator + 1
        : folder_start;
    std::size_t extension_start = path.rfind('.');
    if (extension_start == std::string::npos || extension_start < name_start)
        extension_start = path.size();
    if (drive)
        *drive = path.substr(0, folder_start);
    if (folder)
        *folder = path.substr(folder_start, name_start - folder_start);
    if (name)
        *name = path.substr(name_start, extension_start - name_start);
    if (extension)
        *extension = path.substr(extension_start);
}

std::string make_path(const char* drive, const char* folder, const char* name, const char* extension)
{
    const std::string d = drive ? drive : "";
    const std::string f = folder ? folder : "";
    const std::string n = name ? name : "";
    const std::string e = extension ? extension : "";
    if (d.size() > max_drive)
        throw std::runtime_error("drive too long");
    if (f.size() > max_folder)
        throw std::runtime_error("path too long");
    if (n.size() > max_name)
        throw std::runtime_error("file name too long");
    if (e.size() > max_extension)
        throw std::runtime_error("extension too long");

    std::string result;
    if (!d.empty()) {
        result += d.front();
        result += ':';
    }
    if (!f.empty()) {
        result += f;
        if (!is_separator(f.back())) {
            // Continue in the folder's own notation.
            const std::size_t separator = f.find_last_of("\\/");
            result += separator != std::string::npos ? f[separator] : '\\';
        }
    }
    result += n;
    if (!e.empty()) {
        if (e.front() != '.')
            result += '.';
        result += e;
    }
    return result;
}

void replace_extension(std::string& path, const std::string& extension)
{
    if (extension.size() >= max_extension)
        throw std::runtime_error("too long extension");
    std::string drive;
    std::string folder;
    std::string name;
    split(path, &drive, &folder, &name, nullptr);
    path = make_path(drive.c_str(), folder.c_str(), name.c_str(), extension.c_str());
}

std::string parent_directory(const std::string& path)
{
    if (path.empty())
        return {};
    std::string trimmed = path;
    if (is_separator(trimmed.back()))
        trimmed.pop_back();
    std::string drive;
    std::string folder;
    split(trimmed, &drive, &folder, nullptr, nullptr);
    return drive + folder;
}

bool is_absolute(const std::string& path)
{
    return !path.empty() && (is_separator(path[0]) || starts_with_drive(path));
}

void normalize(std::string& path)
{
    std::replace(path.begin(), path.end(), '/', '\\');
}

bool extension_is(const std::string& path, const std::string& extension)
{
    std::string own;
    split(path, nullptr, nullptr, nullptr, &own);
    if (extension.empty())
        return own.empty();
    if (extension.front() != '.' && !own.empty())
        own.erase(0, 1);
    return equal_ignoring_case(own, extension);
}

bool make_directories(const std::string& path)
{
    std::string folder = path;
    if (!folder.empty() && is_separator(folder.back()))
        folder.pop_back();
    if (folder.empty() || file_exists(folder))
        return true;
    const std::string parent = parent_directory(folder);
    // A bare drive ("c:") is its own parent; it cannot be created.
    if (parent.size() >= folder.size() || !make_directories(parent))
        return false;
    const std::string target = native(folder);
    if (mkdir(target.c_str(), 0777) == 0)
        return true;
    // Another thread or process may have made it in the meantime.
    return errno == EEXIST && is_folder(target);
}

std::string relative_path(std::string path, std::string base)
{
    if (path.empty())
        return path;
    normalize(path);
    if (base.empty())
        return path;
    normalize(base);
    add_trailing_backslash(base);

    // Common leading folders, compared whole and exactly.
    std::size_t common = 0;
    for (;;) {
        const std::size_t separator = base.find('\\', common);
        if (separator == std::string::npos)
            break;
        const std::size_t length = separator + 1 - common;
        if (path.size() < separator + 1 || path.compare(common, length, base, common, length) != 0)
            break;
        common = separator + 1;
    }
    if (common == 0 && is_absolute(path))
        return path;

    std::string result;
    const std::size_t climbs = static_cast<std::size_t>(std::count(base.begin() + common, base.end(), '\\'));
    for (std::size_t i = 0; i < climbs; ++i)
        result += "..\\";
    result += path.substr(common);
    // A first folder named like a drive ("d:") would read back as one.
    if (starts_with_drive(result))
        result.insert(0, ".\\");
    return result;
}

std::string absolute_path(const std::string& relative, const std::string& base)
{
    if (relative.empty())
        return base;
    if (is_absolute(relative))
        return relative;
    std::string rest = relative;
    normalize(rest);
    if (base.empty())
        return rest;
    std::string folder = base;
    normalize(folder);
    add_trailing_backslash(folder);

    std::size_t end = folder.size() - 1; // index of the base's last "\"
    std::size_t position = 0;
    while (rest.compare(position, 3, "..\\") == 0) {
        // Above the base's first folder there is nothing to climb to: stay.
        const std::size_t previous = end > 0 ? folder.rfind('\\', end - 1) : std::string::npos;
        if (previous != std::string::npos)
            end = previous;
        position += 3;
    }
    if (rest.compare(position, 2, ".\\") == 0)
        position += 2;
    return folder.substr(0, end + 1) + rest.substr(position);
}

file_search::~file_search()
{
    close();
}

bool file_search::start(const std::string& pattern)
{
    close();
    const std::string whole = native(pattern);
    const std::size_t separator = whole.rfind('/');
    const std::string folder
        = separator == std::string::npos ? std::string(".") : whole.substr(0, separator + 1);
    std::string wanted = separator == std::string::npos ? whole : whole.substr(separator + 1);
    if (wanted == "*.*")
        wanted = "*";

    DIR* directory = opendir(folder.c_str());
    if (directory == nullptr)
        return false;
    while (const dirent* entry = readdir(directory)) {
        const std::string name = entry->d_name;
        if (name == "." || name == ".." || !matches_pattern(name, wanted))
            continue;
        if (!is_folder(folder + (folder.back() == '/' ? "" : "/") + name))
            m_names.push_back(name);
    }
    closedir(directory);
    std::sort(m_names.begin(), m_names.end());
    m_position = 0;
    if (m_names.empty())
        return false;
    m_open = true;
    m_name = m_names.front();
    return true;
}

bool file_search::next()
{
    if (!m_open)
        return false;
    if (++m_position >= m_names.size()) {
        close();
        return false;
    }
    m_name = m_names[m_position];
    return true;
}

void file_search::close()
{
    m_open = false;
    m_is_directory = false;
    m_names.clear();
    m_position = 0;
}

} // namespace paths
