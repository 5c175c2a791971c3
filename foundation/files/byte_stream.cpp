#include "foundation/files/byte_stream.h"

#include <limits>
#include <system_error>

#include "xmldoc/replace_file.h"

namespace xtd {

std::uint64_t remaining_bytes(std::istream& in)
{
    constexpr auto unknown = std::numeric_limits<std::uint64_t>::max();
    std::streambuf* buffer = in.rdbuf();
    if (buffer == nullptr)
        return 0;
    const auto here = buffer->pubseekoff(0, std::ios::cur, std::ios::in);
    if (here == std::streampos(-1))
        return unknown;
    const auto end = buffer->pubseekoff(0, std::ios::end, std::ios::in);
    buffer->pubseekpos(here, std::ios::in);
    if (end == std::streampos(-1) || end < here)
        return unknown;
    return static_cast<std::uint64_t>(std::streamoff(end) - std::streamoff(here));
}

std::string system_reason(const std::ios_base::failure& failure)
{
    const std::error_code code = failure.code();
    return code.value() != 0 && code.category() == std::generic_category() ? code.message() : std::string();
}

std::uint64_t write_binary_file(const std::string& path, const std::function<void(std::ostream&)>& writer)
{
    return xml::replace_file(path, writer);
}

} // namespace xtd
