#include "lumvex/dialogs/cache_settings_form.h"

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <set>
#include <sstream>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

namespace lumvex {

namespace fs = std::filesystem;

namespace {

constexpr double megabyte = 1024.0 * 1024.0;
constexpr std::size_t max_entry = 31;

// Whether a file can be made in the existing folder `folder`; the file is
// removed at once.
bool can_make_file_in(const fs::path& folder)
{
    static std::atomic<unsigned> serial { 0 };
    for (int attempt = 0; attempt < 16; ++attempt) {
        const fs::path probe = folder
            / (".lumvex-probe-" + std::to_string(::getpid()) + "-" + std::to_string(serial.fetch_add(1)));
        const int handle = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (handle >= 0) {
            ::close(handle);
            ::unlink(probe.c_str());
            return true;
        }
        if (errno != EEXIST)
            return false;
    }
    return false;
}

} // namespace

std::string megabytes_text(std::uint64_t bytes)
{
    // Tenths of a megabyte, rounded up, in integers so that no byte is lost
    // to rounding before the division.
    const std::uint64_t mib = 1024 * 1024;
    const std::uint64_t whole = bytes / mib;
    const std::uint64_t rest = bytes % mib;
    const std::uint64_t tenths = whole * 10 + (rest * 10 + mib - 1) / mib;
    std::ostringstream out;
    out << double(tenths) / 10.0;
    return out.str();
}

std::optional<std::uint64_t> megabytes_entry(const std::string& text)
{
    const std::string head = text.substr(0, max_entry);
    const double value = std::strtod(head.c_str(), nullptr);
    if (std::isnan(value) || value < 0 || std::signbit(value))
        return std::nullopt;
    const double bytes = value * megabyte;
    if (bytes >= 18446744073709551616.0)
        return std::numeric_limits<std::uint64_t>::max();
    return static_cast<std::uint64_t>(bytes);
}

int count_entry(const std::string& text)
{
    const std::string head = text.substr(0, max_entry);
    errno = 0;
    const long long value = std::strtoll(head.c_str(), nullptr, 10);
    if (value > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    if (value < std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    return static_cast<int>(value);
}

std::string with_trailing_separator(const std::string& folder)
{
    std::string out = folder;
    while (out.size() > 1 && (out.back() == '/' || out.back() == '\\'))
        out.pop_back();
    if (out.empty() || out.back() != '/')
        out += '/';
    return out;
}

bool folder_fits_disc_cache(const std::string& folder, const std::string& current_root)
{
    if (folder.empty())
        return false;
    const std::string wanted = with_trailing_separator(folder);
    if (!current_root.empty() && wanted == with_trailing_separator(current_root))
        return true;
    std::error_code error;
    // Without its separator, so that a file of that name is not taken for a
    // missing folder.
    const fs::file_status status
        = fs::status(wanted.size() > 1 ? wanted.substr(0, wanted.size() - 1) : wanted, error);
    if (status.type() == fs::file_type::not_found)
        return true;
    if (error || !fs::is_directory(status))
        return false;
    std::set<std::string> images, texts;
    fs::directory_iterator it(wanted, error);
    if (error)
        return false;
    for (; it != fs::directory_iterator(); it.increment(error)) {
        if (error)
            return false;
        const fs::directory_entry& entry = *it;
        if (!entry.is_regular_file(error) || error)
            return false;
        const fs::path name = entry.path().filename();
        const std::string extension = name.extension().string();
        if (extension == ".png")
            images.insert(name.stem().string());
        else if (extension == ".txt")
            texts.insert(name.stem().string());
        else
            return false;
    }
    return images == texts;
}

bool folder_writable(const std::string& folder)
{
    if (folder.empty())
        return false;
    std::error_code error;
    fs::path path = fs::absolute(fs::path(folder), error);
    if (error)
        return false;
    // Without its separator, so that its parent is the folder above.
    if (!path.has_filename() && path.has_relative_path())
        path = path.parent_path();
    for (;;) {
        const fs::file_status status = fs::status(path, error);
        // Missing (or lying under a file): the folder above decides.
        if (status.type() == fs::file_type::not_found) {
            if (path == path.root_path() || !path.has_parent_path())
                return false;
            path = path.parent_path();
            continue;
        }
        if (error || !fs::is_directory(status))
            return false;
        return can_make_file_in(path);
    }
}

std::string disc_folder_refusal(const std::string& folder, const std::string& current_root)
{
    if (!folder.empty() && !current_root.empty()
        && with_trailing_separator(folder) == with_trailing_separator(current_root))
        return {};
    if (!folder_fits_disc_cache(folder, current_root))
        return "This folder holds other files. Please choose an empty folder for the disc cache.";
    if (!folder_writable(folder))
        return "The disc cache cannot write to this folder. Please choose a folder where files can be "
               "written.";
    return {};
}

} // namespace lumvex
