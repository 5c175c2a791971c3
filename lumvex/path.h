#pragma once

#include "lumvex/export.h"

#include <string>
#include <vector>

// Free functions over path strings in the notation that project files use:
// a drive ("c:") may lead, and both "\" and "/" separate folders. Case is
// kept everywhere and path comparisons are exact (file systems here are
// case-sensitive). Functions that touch the file system take either
// separator; paths made for storing (normalize, relative_path,
// absolute_path) use "\", and `native` turns any path into the form the
// operating system opens.
namespace paths {

// Component limits in characters.
constexpr std::size_t max_drive = 3;
constexpr std::size_t max_folder = 4096;
constexpr std::size_t max_name = 256;
constexpr std::size_t max_extension = 256;

// The path with every "\" turned into "/", for handing to the system.
LUMVEX_API std::string native(const std::string& path);

// Deletes the file; true on success.
bool remove_file(const std::string& path);
// True when anything exists at the path.
bool file_exists(const std::string& path);

// The name without drive, folder and extension.
LUMVEX_API std::string file_name(const std::string& path);
// The name with its extension (and its dot).
std::string file_name_with_extension(const std::string& path);

// The working folder; empty when it cannot be determined.
std::string current_directory();
// The absolute form of a path, "." and ".." folded away, against the working
// folder when the path is relative; the working folder for a null or empty
// path. The file need not exist.
LUMVEX_API std::string full_path(const char* path);

// Splits into drive ("c:"), folder (with its trailing separator), name and
// extension (with its dot); each non-null output receives its part.
void split(const std::string& path, std::string* drive, std::string* folder, std::string* name,
    std::string* extension);

// Composes drive, folder, name and extension; null or empty parts are left
// out. A drive gets its ":", a folder its trailing separator and an
// extension its dot when missing. Throws std::runtime_error "drive too
// long", "path too long", "file name too long" or "extension too long" when
// a part exceeds its limit.
std::string make_path(const char* drive, const char* folder, const char* name, const char* extension);

// Replaces the extension in place, drive, folder and name kept. Throws
// std::runtime_error "too long extension" for an extension of 256 characters
// or more.
LUMVEX_API void replace_extension(std::string& path, const std::string& extension);

// Drive and folder of the path (ending in a separator) after dropping one
// trailing separator: "c:\a\b\" gives "c:\a\"; empty for a path without a
// folder.
LUMVEX_API std::string parent_directory(const std::string& path);

// True when the path starts with a separator or with a drive and a
// separator ("c:\", as projects written elsewhere store them). A colon
// second in anything else ("1:1\plate.png", "d:clip") is part of a name.
bool is_absolute(const std::string& path);

// Turns every "/" into "\" (case is kept).
void normalize(std::string& path);

// Whether the path's extension is the given one, ignoring case: ".avi"
// compares with the dot, "avi" without. An empty extension matches a path
// without extension.
bool extension_is(const std::string& path, const std::string& extension);

// Creates the folder and its missing parents; true when it exists afterwards.
bool make_directories(const std::string& path);

// The path relative to the base folder, in "\" form: "..\" climbs out of
// the base, and ".\" leads a result whose first folder is named like a
// drive, so that absolute_path reads every result back to the path. A path
// that shares no folder with the base is returned absolute (normalised). An
// empty path, or an empty base, gives the path normalised.
LUMVEX_API std::string relative_path(std::string path, std::string base);

// The relative path made absolute against the base folder, in "\" form;
// "..\" that would climb above the base's root stay at the root. An empty
// relative path gives the base, an absolute one itself.
LUMVEX_API std::string absolute_path(const std::string& relative, const std::string& base);

// Whether a file name matches a pattern of "*" (any run) and "?" (any one
// character); every other character stands for itself, in either case when
// ignore_case is set.
LUMVEX_API bool matches_pattern(
    const std::string& name, const std::string& pattern, bool ignore_case = false);

// A search for files whose names match a pattern ("c:\clips\*.png"; "*" and
// "?" are wildcards, matched exactly in case; "*.*" matches every name).
// Folders are skipped, so the search yields files only, in name order.
class file_search {
public:
    file_search() = default;
    ~file_search();
    file_search(const file_search&) = delete;
    file_search& operator=(const file_search&) = delete;

    // Starts a search; false (and not open) when no file matches.
    bool start(const std::string& pattern);
    // Moves to the next file; false (and closed) when there is none.
    bool next();
    void close();

    bool is_open() const { return m_open; }
    // The current file's name, without folder; meaningful while open.
    const std::string& name() const { return m_name; }
    // Always false: folders are skipped.
    bool is_directory() const { return m_is_directory; }

private:
    bool m_open = false;
    std::string m_name;
    bool m_is_directory = false;
    // The matching file names, sorted; the search walks through them.
    std::vector<std::string> m_names;
    std::size_t m_position = 0;
};

} // namespace paths
