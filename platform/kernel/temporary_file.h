#pragma once

// The files a writer fills beside the file they are to replace, and the
// clean-up of those that writers left behind when they crashed or were
// killed.
//
// A temporary is named "<target>.~<pid>.<n>.tmp". Its writer proves that it
// still runs by holding an advisory lock on it (an open-file-description
// lock, which network file systems that lock at all honour between
// machines) for the temporary's whole life. The process number in the name
// only keeps names apart: a process number means something in one PID
// namespace on one machine, while a writer in a container, a sandbox or on
// another machine may write to the same folder. A writer that fills several
// files holds one locked temporary and names the others after it:
// "<target>.~<pid>.<n>.<k>.tmp" belongs to "<target>.~<pid>.<n>.tmp" and is
// abandoned with it.
//
// Operations return 0 or the system's error code (an errno value). One
// thread at a time uses a temporary_file.

#include <string>

namespace platform {

class temporary_file {
public:
    temporary_file() = default;
    // Removes a file still held (see remove).
    ~temporary_file();
    temporary_file(const temporary_file&) = delete;
    temporary_file& operator=(const temporary_file&) = delete;

    // Removes the abandoned temporaries of the folder of `target` (see
    // remove_abandoned_temporaries), then makes a new empty file beside
    // `target`, open for writing, with the permission bits `mode` less the
    // process's creation mask, and locks it. A file system that has no locks
    // gets the file unlocked: no clean-up there can take a lock either, so
    // none removes it. A file held before is removed first.
    int create(const std::string& target, unsigned mode);

    // Made and neither moved nor removed yet.
    bool held() const { return m_lock >= 0; }
    const std::string& path() const { return m_path; }
    // The descriptor to write through (opened for writing only); -1 once
    // closed or when nothing is held.
    int descriptor() const { return m_fd; }
    // Closes the descriptor and tells what closing reports (write errors
    // that the file system delays until then). The file stays locked until
    // it is moved or removed.
    int close_descriptor();
    // Renames the file to `target`, which must be in the same folder; the
    // lock is given up after that. On failure the file is still held.
    int move_to(const std::string& target);
    // Removes the file while it is still locked and gives up the lock.
    // Nothing after move_to. A file that cannot be removed is left to the
    // next clean-up.
    void remove() noexcept;

    // The name of the k-th file that belongs to this one (see above).
    std::string member(unsigned k) const;

private:
    void release() noexcept;

    int m_fd = -1;
    // A second descriptor of the same open file, which keeps the lock when
    // the writing descriptor is closed.
    int m_lock = -1;
    std::string m_path;
};

// Removes from `folder` the temporaries that no running writer holds: a
// locked temporary whose lock this process can take, and a file that
// belongs to one when that one is gone or its lock can be taken. Only
// regular files of this user whose names are exactly of the forms above are
// touched, never through a symbolic link, and a file is removed only while
// the lock that shows it abandoned is held and its folder entry still names
// the file examined. Cleaning is a courtesy: a folder that cannot be read
// or a file that cannot be removed is no failure.
void remove_abandoned_temporaries(const std::string& folder);

} // namespace platform
