#pragma once

// The text form of one key's values, as the settings store keeps it in the
// key's folder. Internal to platform/registry (and its tests and fuzz target).
//
//     Tavelo settings 1
//     <name> TAB <type> TAB <payload>
//
// one line per value, sorted by name, each ending in a line feed. Names and
// texts are percent-escaped: every byte below 0x21 except the space, 0x7F,
// "%" and "#" is written as "%XX". The type is "sz", "binary", "dword",
// "qword" or the registry's number for any other type. The payload is the
// natural form of the value — a text (whose terminating NUL is implied), hex
// byte pairs, or a decimal number — or, when the bytes have no natural form
// (a text without terminating NUL, an integer of another size, any other
// type), "#" followed by the escaped bytes.

#include "platform/registry/registry.h"

#include <cstddef>
#include <map>
#include <string>

namespace platform::detail {

using value_map = std::map<std::string, registry_value>;

// Files larger than this are not read: a settings file never grows so far.
inline constexpr std::size_t max_value_file = 16u * 1024 * 1024;

// The file's text for the values.
std::string format_values(const value_map& values);

// The values of a file's text; false (values unspecified) when the text is
// not in the form above, or names a value twice.
bool parse_values(const std::string& text, value_map& values);

} // namespace platform::detail
