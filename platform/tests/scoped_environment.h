#pragma once

// An environment variable set for the life of a test object and put back
// (or removed, when it was unset) at its end.

#include <cstdlib>
#include <optional>
#include <string>

#include <stdlib.h>

namespace platform::testing {

class scoped_environment {
public:
    scoped_environment(const char* name, const std::string& value)
        : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        setenv(name, value.c_str(), 1);
    }
    ~scoped_environment()
    {
        if (m_old)
            setenv(m_name.c_str(), m_old->c_str(), 1);
        else
            unsetenv(m_name.c_str());
    }
    scoped_environment(const scoped_environment&) = delete;
    scoped_environment& operator=(const scoped_environment&) = delete;

private:
    std::string m_name;
    std::optional<std::string> m_old;
};

} // namespace platform::testing
