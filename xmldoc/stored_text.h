#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace xml {

class arena;

// Names and values as a document keeps them: a pointer to a length, written
// as a variable-length number, followed by the bytes. A long value made only
// of hexadecimal digits of one case (the encoded pictures a project file
// carries) is kept as packed bytes, two digits in each, and reads back as
// written. Internal to the library.
namespace stored_text {

// Values at least this long are packed when they can be.
inline constexpr std::size_t pack_threshold = 64;

// Copies text into the arena; a value may be packed, a name never is.
const char* store(arena& memory, std::string_view text, bool may_pack);
// The number of characters the text reads as.
std::size_t size(const char* stored) noexcept;
// The characters of a text that is not packed (names).
std::string_view view(const char* stored) noexcept;
bool is_packed(const char* stored) noexcept;
// Writes the text's size() characters to out.
void copy_to(const char* stored, char* out) noexcept;
// The text as a string.
std::string to_string(const char* stored);

} // namespace stored_text

} // namespace xml
