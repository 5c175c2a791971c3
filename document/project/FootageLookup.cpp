#include "document/project/FootageLookup.h"

#include "lumvex/path.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

bool SameIgnoringCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size()
        && std::equal(a.begin(), a.end(), b.begin(),
            [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

bool Exists(const fs::path& path)
{
    std::error_code error;
    return fs::exists(path, error);
}

bool HasDrive(const std::string& path)
{
    return path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]));
}

std::vector<std::string> Components(const std::string& path)
{
    std::vector<std::string> parts;
    std::string part;
    for (char c : path) {
        if (c == '/' || c == '\\') {
            if (!part.empty())
                parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty())
        parts.push_back(part);
    return parts;
}

// The entry of folder whose name equals name without regard to case; the
// exact name first. Empty when there is none.
std::string FindEntry(const fs::path& folder, const std::string& name)
{
    if (Exists(folder / name))
        return name;
    std::error_code error;
    fs::directory_iterator it(folder, error);
    if (error)
        return {};
    std::vector<std::string> matches;
    for (const fs::directory_entry& entry : it) {
        const std::string candidate = entry.path().filename().string();
        if (SameIgnoringCase(candidate, name))
            matches.push_back(candidate);
    }
    if (matches.empty())
        return {};
    // Several names differing in case only: the first in name order, so
    // the choice does not depend on the directory's order.
    return *std::min_element(matches.begin(), matches.end());
}

// Whether some file of folder matches the pattern.
bool AnyMatch(const fs::path& folder, const std::string& pattern, bool ignoreCase)
{
    std::error_code error;
    fs::directory_iterator it(folder, error);
    if (error)
        return false;
    for (const fs::directory_entry& entry : it) {
        std::error_code kind;
        if (!entry.is_directory(kind)
            && paths::matches_pattern(entry.path().filename().string(), pattern, ignoreCase))
            return true;
    }
    return false;
}

// A name of folder that the pattern's name matches without regard to case
// ("?" any one character), re-cased after it: "Shot_????.png" becomes
// "shot_????.png" when "shot_0001.png" is there. A pattern with a "*" is
// kept as written when some file matches it as written. Empty when no
// file matches.
std::string FindPatternCase(const fs::path& folder, const std::string& pattern)
{
    if (pattern.find('*') != std::string::npos)
        return AnyMatch(folder, pattern, false) ? pattern : std::string();
    std::error_code error;
    fs::directory_iterator it(folder, error);
    if (error)
        return {};
    std::vector<std::string> found;
    for (const fs::directory_entry& entry : it) {
        std::error_code kind;
        if (entry.is_directory(kind))
            continue;
        const std::string name = entry.path().filename().string();
        if (name.size() != pattern.size() || !paths::matches_pattern(name, pattern, true))
            continue;
        std::string recased = pattern;
        for (std::size_t i = 0; i < name.size(); ++i)
            if (pattern[i] != '?')
                recased[i] = name[i];
        found.push_back(recased);
    }
    if (found.empty())
        return {};
    return *std::min_element(found.begin(), found.end());
}

} // namespace

std::string FindFootageFile(const std::string& stored, const std::string& base, bool pattern)
{
    if (stored.empty())
        return {};
    const std::string written = paths::native(paths::absolute_path(stored, base));
    const fs::path exact(written);
    // A pattern names a sequence only while some file matches it.
    if (pattern ? AnyMatch(exact.parent_path(), exact.filename().string(), false) : Exists(exact))
        return written;
    if (HasDrive(stored))
        return {};

    const bool absolute = stored[0] == '/' || stored[0] == '\\';
    fs::path at = absolute ? fs::path("/") : fs::path(paths::native(base)).lexically_normal();
    if (!at.has_filename() && at.has_relative_path())
        at = at.parent_path();
    const std::vector<std::string> parts = Components(stored);
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::string& part = parts[i];
        const bool last = i + 1 == parts.size();
        if (part == ".")
            continue;
        if (part == "..") {
            at = at.parent_path();
            continue;
        }
        // A pattern's name matches files, not itself.
        const std::string found = last && pattern ? FindPatternCase(at, part) : FindEntry(at, part);
        if (found.empty())
            return {};
        at /= found;
    }
    return at.lexically_normal().string();
}
