#pragma once

#include <functional>
#include <string>
#include <vector>

class NumberedFileName;

// What the user is told when an output would write over a kept file.
inline constexpr const char* kept_file_message
    = "The output would overwrite footage that the project reads. Please choose another file name.";

// Files that an output must never write over, such as the footage an open
// project reads. Paths are compared as the files they name, not as text:
// two paths name one file when both exist and are the same file (device and
// inode, so hard links too), or when their absolute forms, with "." and ".."
// and symbolic links resolved, are equal (files that do not exist yet).
// Filled on the UI thread; then read from any thread.
class kept_files {
public:
    kept_files() = default;
    explicit kept_files(const std::vector<std::string>& paths);

    void add(const std::string& path);
    bool empty() const { return m_files.empty(); }

    // `path` names a kept file.
    bool holds(const std::string& path) const;
    // Some name that `pattern` makes (its prefix, a counter of at least its
    // digits, its suffix) names a kept file.
    bool holds_any(const NumberedFileName& pattern) const;

private:
    struct file {
        std::string folder; // normalised, ending in '/'
        std::string name;
        bool exists = false;
        unsigned long long device = 0;
        unsigned long long inode = 0;
    };
    static file describe(const std::string& path);

    std::vector<file> m_files;
};

// `path` when `taken(path)` is false; else the first of `path` with `tag`,
// then `tag` and 2, 3, ... put before its extension ("clip.avi" with
// "_render" gives "clip_render.avi", "clip_render2.avi", ...) that is not
// taken.
std::string first_untaken_path(
    const std::string& path, const std::string& tag, const std::function<bool(const std::string&)>& taken);
