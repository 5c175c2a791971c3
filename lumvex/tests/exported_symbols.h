#pragma once

// What a shared library exports, for the tests that keep each library's
// interface to the names its callers use.

#include <cstdio>
#include <memory>
#include <regex>
#include <set>
#include <stdexcept>
#include <string>

namespace library_test {

// The demangled names of the symbols the shared object at `path` defines in
// its dynamic table (as `nm -D --defined-only -C` lists them). Throws
// std::runtime_error when nm cannot be started.
inline std::set<std::string> exported_names(const std::string& path)
{
    const std::string command = "nm -D --defined-only -C '" + path + "'";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe)
        throw std::runtime_error("cannot run " + command);
    std::set<std::string> names;
    char line[4096];
    while (std::fgets(line, sizeof line, pipe.get()) != nullptr) {
        std::string text(line);
        if (!text.empty() && text.back() == '\n')
            text.pop_back();
        // "address type name"
        const std::size_t type_end = text.find(' ', text.find(' ') + 1);
        if (type_end == std::string::npos)
            continue;
        names.insert(text.substr(type_end + 1));
    }
    return names;
}

// The names that `allowed` does not match as a whole.
inline std::set<std::string> names_outside(const std::set<std::string>& names, const std::regex& allowed)
{
    std::set<std::string> outside;
    for (const std::string& name : names)
        if (!std::regex_match(name, allowed))
            outside.insert(name);
    return outside;
}

} // namespace library_test
