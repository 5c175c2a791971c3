#pragma once

// Files of one folder written under temporary names and put in place
// together, as a numbered image sequence replaces an earlier one only once
// every frame is written. While a batch is open it holds a locked temporary
// (see temporary_file.h) that shows clean-ups its files in use; the files
// are named after that one ("<pattern>.~<pid>.<n>.<k>.tmp"), so that no one
// takes them for the files they are to become.
//
// Operations return 0 or the system's error code (an errno value). One
// thread at a time uses a batch.

#include "platform/kernel/temporary_file.h"

#include <string>
#include <vector>

namespace platform {

class pending_files {
public:
    pending_files() = default;
    // Discards what finish did not put in place.
    ~pending_files();
    pending_files(const pending_files&) = delete;
    pending_files& operator=(const pending_files&) = delete;

    // Starts a batch for files in the folder of `pattern`, named after it;
    // abandoned temporaries of that folder are removed first.
    int open(const std::string& pattern);
    bool is_open() const { return m_lock.held(); }

    // Makes an empty file that is to become `target` and gives its path, for
    // the caller to write the file's contents to (replacing it whole, by a
    // rename, is fine). It has the permission bits of the file it is to
    // replace, or 0666 less the process's creation mask. EISDIR when
    // `target` is a folder, which would refuse the file only at finish.
    int reserve(const std::string& target, std::string& path);
    // The file reserved last is complete and flushed to the disc: finish
    // puts it in place.
    void confirm();
    // The file reserved last failed: it is removed now.
    void withdraw() noexcept;

    // Puts the confirmed files in place in the order they were reserved,
    // flushes the folder and ends the batch. When a file cannot be put in
    // place, the error is returned and `failed` names its target; the files
    // put in place before it give way again to the files they replaced
    // (where the file system keeps a second name for those while the files
    // move; a new name is removed) and nothing of the batch is left.
    int finish(std::string& failed);
    // Removes every file of the batch and ends it; nothing is replaced.
    void discard() noexcept;

private:
    struct entry {
        std::string path;
        std::string target;
        // `target` named a file when the files began to move, and `kept` is
        // a second name of it while they move (empty where the file system
        // could not give one).
        bool replaces;
        std::string kept;
    };

    void keep_replaced(entry& file);
    void put_back(std::size_t count);

    temporary_file m_lock;
    std::vector<entry> m_files;
    bool m_reserved = false;
    unsigned m_next = 0;
};

} // namespace platform
