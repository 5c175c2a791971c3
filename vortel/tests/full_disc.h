#pragma once

// A folder on a file system with no room left, for the writers' tests: a
// small tmpfs of the test's own, filled up. It is mounted in a mount
// namespace of the calling thread's own, so that nothing outside the test
// sees it and it goes away with the process. Where the process may not
// mount, the folder is an ordinary one and a file-size limit of no bytes
// stands in while the object lives: writes then fail with "File too large".

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

namespace vortel_test {

// Files of this process may not grow past `bytes` while it lives.
class file_size_limit {
public:
    explicit file_size_limit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limited = m_old;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~file_size_limit() { setrlimit(RLIMIT_FSIZE, &m_old); }
    file_size_limit(const file_size_limit&) = delete;
    file_size_limit& operator=(const file_size_limit&) = delete;

private:
    rlimit m_old;
};

class full_folder {
public:
    full_folder()
        : m_root(std::filesystem::temp_directory_path()
            / ("tavelo_full_" + std::to_string(::getpid()) + "_"
                + ::testing::UnitTest::GetInstance()->current_test_info()->name()))
    {
        std::filesystem::create_directories(m_root);
        m_mounted = ::unshare(CLONE_NEWNS) == 0
            && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0
            && ::mount("tavelo-full", m_root.c_str(), "tmpfs", 0, "size=512k") == 0;
        if (!m_mounted) {
            m_limit.emplace(0);
            return;
        }
        // Zeros until the system refuses more.
        std::FILE* filler = std::fopen(file(filler_name).c_str(), "wb");
        std::vector<char> block(4096);
        while (filler && std::fwrite(block.data(), 1, block.size(), filler) == block.size()) { }
        if (filler)
            std::fclose(filler);
    }
    ~full_folder()
    {
        m_limit.reset();
        if (m_mounted)
            ::umount2(m_root.c_str(), MNT_DETACH);
        std::error_code ignored;
        std::filesystem::remove_all(m_root, ignored);
    }
    full_folder(const full_folder&) = delete;
    full_folder& operator=(const full_folder&) = delete;

    std::string file(const std::string& name) const { return (m_root / name).string(); }
    // Whether the folder is a full file system (else the limit stands in).
    bool is_full_disc() const { return m_mounted; }
    // The system's text for the refusal a write meets here.
    std::string reason() const { return std::strerror(m_mounted ? ENOSPC : EFBIG); }
    // What the folder holds besides the filler.
    std::vector<std::string> names() const
    {
        std::vector<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(m_root))
            if (entry.path().filename() != filler_name)
                found.push_back(entry.path().filename().string());
        return found;
    }

private:
    static constexpr const char* filler_name = "filler";
    std::filesystem::path m_root;
    bool m_mounted = false;
    std::optional<file_size_limit> m_limit;
};

} // namespace vortel_test
