#pragma once

// The recent-file list: the last opened or saved project paths, newest
// first, kept in the profile section "Recent File List" as "File1" to
// "FileN". UI thread only.

#include <string>
#include <vector>

class RecentFileList {
public:
    explicit RecentFileList(int size);

    // Reads the list from the profile (missing entries end it).
    void Read();
    // Writes the list to the profile.
    void Write() const;
    // Puts path first; an entry equal to it moves, the oldest falls off.
    void Add(const std::string& path);
    void Remove(std::size_t index);
    const std::vector<std::string>& GetPaths() const { return m_paths; }
    int GetSize() const { return m_size; }
    // The menu text of entry index: "&1 walk.tvp" (the name without folder),
    // each "&" of the name doubled so that the menu shows it as it is.
    std::string GetMenuText(std::size_t index) const;

private:
    int m_size;
    std::vector<std::string> m_paths;
};
