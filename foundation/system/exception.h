#pragma once

#include <exception>
#include <string>

namespace xtd {

// The base of the system's own errors: an exception that carries the
// sentence the user reads. `what` returns that sentence (empty by default).
class exception : public std::exception {
public:
    exception() = default;
    explicit exception(std::string message);

    const char* what() const noexcept override;

protected:
    // For derived errors that compose their text while they are constructed.
    void set_message(std::string message);

private:
    std::string m_message;
};

} // namespace xtd
