#pragma once

// Finding the files a project's footage names. Projects travel between
// systems: their relative paths may differ in case from the files on disc
// (written where case does not count), and "\" may separate folders. UI
// thread; reads the file system only.

#include <string>

// The file (pattern false) or the folder of a file pattern (pattern true)
// that `stored`, a path relative to the folder `base` or absolute, names.
// When it exists as written, returns the absolute path as written;
// otherwise each folder and then the name are looked up without regard to
// case, folder by folder from `base` (or from the root for an absolute
// path), and the path found is returned ("/" separated). Empty when nothing
// is found, or for a drive-letter path that does not exist as written.
std::string FindFootageFile(const std::string& stored, const std::string& base, bool pattern);
