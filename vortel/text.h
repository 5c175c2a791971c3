#pragma once

// Small text helpers of the render library.

#include <string>

namespace vortel {

// Whether two texts are equal ignoring the case of ASCII letters.
bool equal_ignoring_case(const std::string& a, const std::string& b);
// The text with ASCII letters in upper case.
std::string upper_case(std::string text);
// The extension of the path's file name, without its dot; empty when the
// name has none. Both "\" and "/" separate folders.
std::string file_extension(const std::string& path);

} // namespace vortel
