#pragma once

// What the cache settings dialog shows and reads, apart from its window:
// byte counts in megabytes, megabyte entries in bytes, and whether a folder
// may take the disc cache.

#include <cstdint>
#include <optional>
#include <string>

namespace lumvex {

// Megabytes rounded up to one decimal, as a number is printed by default
// (0 shows "0", 1,048,576 bytes "1", 1,572,865 bytes "1.6").
std::string megabytes_text(std::uint64_t bytes);

// An entry in megabytes (decimals allowed, at most 31 characters read), in
// bytes truncated to an integer; text that is no number reads as 0. Empty
// for a negative entry or one that is not a number; entries beyond 64 bits
// saturate.
std::optional<std::uint64_t> megabytes_entry(const std::string& text);

// A count entry as a signed integer: text that is no number reads as 0,
// entries beyond an int saturate.
int count_entry(const std::string& text);

// Whether the disc cache may be pointed at `folder` without any file of
// someone else being at risk: the folder is the cache's current root, does
// not exist yet, is empty, or holds nothing but pairs of "<name>.png" and
// "<name>.txt" files such as the cache writes.
bool folder_fits_disc_cache(const std::string& folder, const std::string& current_root);

// Whether files can be written in `folder` or, when it does not exist yet,
// in the nearest folder above it that does (where it would be made): a
// file is made there and removed again, since neither the permissions
// shown nor the user's rights tell (read-only mounts, the administrator).
bool folder_writable(const std::string& folder);

// Why the disc cache may not be pointed at `folder`, in the words the
// dialog shows; empty when it may. The current root is always accepted.
std::string disc_folder_refusal(const std::string& folder, const std::string& current_root);

// The folder with one trailing "/".
std::string with_trailing_separator(const std::string& folder);

} // namespace lumvex
