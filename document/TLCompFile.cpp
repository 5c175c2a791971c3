#include "document/TLComp.h"

#include "foundation/exception.h"

// The project file's reading and writing.

void TLComp::Load(const std::string& path, int)
{
    throw xtd::exception("Cannot read project file '" + path + "': project files are not supported.");
}

void TLComp::Store(const std::string& path)
{
    throw xtd::exception("Cannot write project file '" + path + "': project files are not supported.");
}
