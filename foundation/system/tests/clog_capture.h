#pragma once

// Catches what is written to the diagnostic stream (std::clog) while it
// lives, for tests of what the system reports there.

#include <iostream>
#include <sstream>
#include <streambuf>
#include <string>

namespace test_support {

class clog_capture {
public:
    clog_capture()
        : m_previous(std::clog.rdbuf(m_text.rdbuf()))
    {
    }
    ~clog_capture() { std::clog.rdbuf(m_previous); }
    clog_capture(const clog_capture&) = delete;
    clog_capture& operator=(const clog_capture&) = delete;

    std::string text() const { return m_text.str(); }

private:
    std::ostringstream m_text;
    std::streambuf* m_previous;
};

} // namespace test_support
