#pragma once

// Finding the files a project's footage names. Projects travel between
// systems: their relative paths may differ in case from the files on disc
// (written where case does not count), and "\" may separate folders. UI
// thread; reads the file system only.

#include <string>

// The file (pattern false) or the file pattern (pattern true; "?" any one
// character, "*" any run of them) that `stored`, a path relative to the
// folder `base` or absolute, names. When it exists as written (a pattern:
// some file of its folder matches it), returns the absolute path as
// written; otherwise each folder and then the name are looked up without
// regard to case, folder by folder from `base` (or from the root for an
// absolute path), and the path found is returned ("/" separated). Empty
// when nothing is found (a pattern whose folder holds no matching file
// included), or for a drive-letter path that does not exist as written.
std::string FindFootageFile(const std::string& stored, const std::string& base, bool pattern);
