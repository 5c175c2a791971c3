#include "lumvex/dialogs/cache_settings_form.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <set>
#include <sstream>
#include <system_error>

namespace lumvex {

namespace fs = std::filesystem;

namespace {

constexpr double megabyte = 1024.0 * 1024.0;
constexpr std::size_t max_entry = 31;

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

} // namespace lumvex
