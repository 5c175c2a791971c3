#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>

#include "xmldoc/export.h"

namespace xml {

// Saves a file so that a failure never leaves a half-written file in place of
// a good one. `write` gets a binary output stream that throws
// std::ios_base::failure on any failure. The bytes go to a new file beside
// the target, made with the permissions (and, where allowed, the owner) of
// the file it replaces; once complete it is flushed to the disc and renamed
// over the target, and the folder is flushed too. A path that is a symbolic
// link (or a chain of them) keeps its link: the file it finally points to is
// replaced, or made when it does not exist yet.
//
// Returns the bytes written. On failure the new file is removed and the old
// one stays as it was; failures throw std::ios_base::failure naming the path,
// or pass on what `write` throws. Used by every file-saving path of the
// system (XML documents and binary files).
SARNEL_API std::uint64_t replace_file(
    const std::string& path, const std::function<void(std::ostream&)>& write);

} // namespace xml
