// The settings store's value files on arbitrary bytes: parsing never fails
// badly, and whatever parses is written back and parses to the same values.

#include "platform/registry/value_file.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    platform::detail::value_map values;
    if (!platform::detail::parse_values(text, values))
        return 0;
    platform::detail::value_map again;
    if (!platform::detail::parse_values(platform::detail::format_values(values), again) || again != values)
        std::abort();
    return 0;
}
