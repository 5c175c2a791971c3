#pragma once

// The per-user settings store that stands in for the registry.
//
// A key is a folder below the user's configuration folder ($XDG_CONFIG_HOME
// when it is an absolute path, else ~/.config). Key paths separate their
// parts with "\"; a leading "Software" part names the configuration folder
// itself, so "Software\Norvane\lumvex" lives in ~/.config/Norvane/lumvex/.
// Each key keeps its values in one text file, ".values", in its folder (the
// form is in value_file.h); sub keys are sub folders. Part names are escaped
// so that none starts with "." and none holds "/": the store's own files
// never clash with a sub key.
//
// Every change is atomic and safe between processes: under an exclusive lock
// on the key's ".lock" file the values are read again, the one value is
// changed, and the whole file is written to a temporary file, synced and
// renamed over the old one. Two processes (or threads) that write the same
// key at once therefore keep each other's values. Reading takes no lock: it
// sees one complete file, old or new.
//
// A missing values file holds no values; so does a corrupt one (bad form, or
// larger than any settings file), which is never a failure when reading. The
// next change moves a corrupt file aside, to ".values.corrupt" (or
// ".values.corrupt.1", ".2", ...), instead of overwriting it, and the user
// keeps its bytes.
//
// Errors are returned as the system's error codes (errno values; their text
// is platform::system_error_text): 0 success, ENOENT a missing key or value,
// EACCES or EPERM a refused access, EBADF a closed key, EFBIG a change that
// would make the key's values file larger than the store reads (nothing is
// written), and whatever else the file system reports. Value names and key parts compare exactly (case
// counts). Every operation may be called from any thread.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// Value types, numbered as the registry numbers them.
enum class registry_type : std::uint32_t { none = 0, sz = 1, binary = 3, dword = 4, qword = 11 };

// The root keys; the store holds only the current user's.
enum class registry_root { current_user };

// A value as stored: its type and its bytes (a text's bytes include its
// terminating NUL; integers are little-endian).
struct registry_value {
    registry_type type = registry_type::none;
    std::vector<unsigned char> data;

    bool operator==(const registry_value&) const = default;
};

// The folder that holds the current user's keys, ending in "/"; empty when
// neither $XDG_CONFIG_HOME nor a home folder is known. Read at each call.
std::string registry_user_folder();

// One open key, or none. Copying copies the handle (both name the same
// folder).
class registry_key {
public:
    registry_key() = default;

    // Opens `sub_key` below `parent`, or below the root when `parent` is
    // null; with `create`, missing folders are made. An empty `sub_key`
    // opens `parent` (or the root) again. On failure the key is closed and
    // the error returned.
    int open(registry_root root, const std::string& sub_key, bool create);
    int open(const registry_key& parent, const std::string& sub_key, bool create);
    void close() { m_folder.clear(); }
    bool is_open() const { return !m_folder.empty(); }

    // The value of that name: 0 and the value, ENOENT when the key holds none
    // of that name.
    int query(const std::string& name, registry_value& value) const;
    // Stores the value under that name, replacing any value of that name.
    int set(const std::string& name, const registry_value& value);

    // The key's folder, ending in "/"; empty while closed.
    const std::string& folder() const { return m_folder; }

private:
    int open_below(const std::string& base, const std::string& sub_key, bool create, bool skip_software);

    std::string m_folder;
};

} // namespace platform
