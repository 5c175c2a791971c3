#include "platform/kernel/system_error.h"

#include <cerrno>
#include <string.h>

namespace platform {

namespace {

// Kept apart from errno because errno is overwritten by any later library
// call (even a successful one may change it), while the last error must
// survive until the caller composes its report.
thread_local int t_last_error = 0;

} // namespace

int last_error()
{
    return t_last_error;
}

void set_last_error(int code)
{
    t_last_error = code;
}

int set_last_error_from_errno()
{
    t_last_error = errno;
    return t_last_error;
}

std::string system_error_text(int code)
{
    // strerror_r makes up "Unknown error N" for codes it does not know;
    // strerrordesc_np tells those apart by returning null for them.
    if (strerrordesc_np(code) == nullptr)
        return {};
    char buffer[256];
    // The GNU strerror_r returns either buffer or a static text.
    const char* text = strerror_r(code, buffer, sizeof buffer);
    return text ? std::string(text) : std::string();
}

} // namespace platform
