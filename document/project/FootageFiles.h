#pragma once

// The files an open composition reads, which no output of the program may
// write over: the object footage's and the background footage's files,
// every member of an image sequence, the source of a deinterlaced footage
// (and the path of a footage that was not found, where it is expected).
// UI thread.

#include <string>
#include <vector>

class TLComp;

// Empty while the composition is empty.
std::vector<std::string> FootageFiles(const TLComp& composition);
