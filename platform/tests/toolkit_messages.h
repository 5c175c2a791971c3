#pragma once

// What the toolkit writes to the diagnostic stream while a window test
// runs: its criticals and warnings, its failed checks and its debug lines.
// A normal session writes none of them; a test catches the stream (file
// descriptor 2, where the toolkit's libraries write) around what it does
// and expects no complaint.

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

namespace platform::testing {

// The toolkit's complaints among the lines of `text`. The settings store
// of the desktop (dconf) warns when the machine runs no session bus, as
// under Xvfb; that is the test machine's, not ours.
inline std::vector<std::string> toolkit_complaints(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        const bool complaint = line.find("-CRITICAL **") != std::string::npos
            || line.find("-WARNING **") != std::string::npos
            || line.find("toolkit check failed") != std::string::npos
            || line.find(": Debug: ") != std::string::npos;
        if (complaint && line.find("dconf-WARNING") == std::string::npos)
            out.push_back(line);
    }
    return out;
}

// Catches the diagnostic stream from construction to text() (or
// destruction) in a file of the tests' temporary folder.
class diagnostic_capture {
public:
    diagnostic_capture()
        : m_path(::testing::TempDir() + "tavelo_stderr_" + std::to_string(::getpid()) + ".txt")
    {
        std::fflush(stderr);
        m_saved = ::dup(2);
        if (std::FILE* f = std::fopen(m_path.c_str(), "w")) {
            ::dup2(::fileno(f), 2);
            std::fclose(f);
        }
    }
    ~diagnostic_capture() { text(); }
    diagnostic_capture(const diagnostic_capture&) = delete;
    diagnostic_capture& operator=(const diagnostic_capture&) = delete;

    // Ends the capture (the stream goes where it went before) and answers
    // what was written meanwhile; later calls answer the same.
    const std::string& text()
    {
        if (m_saved >= 0) {
            std::fflush(stderr);
            ::dup2(m_saved, 2);
            ::close(m_saved);
            m_saved = -1;
            std::ifstream in(m_path, std::ios::binary);
            m_text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
            std::remove(m_path.c_str());
        }
        return m_text;
    }
    std::vector<std::string> complaints() { return toolkit_complaints(text()); }

private:
    std::string m_path;
    std::string m_text;
    int m_saved = -1;
};

} // namespace platform::testing
