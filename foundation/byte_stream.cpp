#include "foundation/byte_stream.h"

#include <limits>
#include <random>
#include <system_error>

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

namespace {

// A name beside the target that no other writer picks at the same time.
std::filesystem::path temporary_beside(const std::filesystem::path& target)
{
    std::random_device random;
    const std::uint64_t tag = (std::uint64_t(random()) << 32) ^ random();
    std::filesystem::path name = target;
    name += ".~" + std::to_string(tag) + ".tmp";
    return name;
}

} // namespace

std::uint64_t write_binary_file(const std::string& path, const std::function<void(std::ostream&)>& writer)
{
    const std::filesystem::path target(path);
    const std::filesystem::path temporary = temporary_beside(target);
    std::uint64_t written = 0;
    try {
        bostream out(temporary);
        out.exceptions(std::ios::failbit | std::ios::badbit);
        writer(out);
        out.flush();
        written = static_cast<std::uint64_t>(std::streamoff(out.tellp()));
    } catch (...) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        throw;
    }
    std::error_code error;
    std::filesystem::rename(temporary, target, error);
    if (error) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        throw std::ios_base::failure("cannot replace " + path, error);
    }
    return written;
}

} // namespace xtd
