#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform::debug {

// What the process's modules say of a code address.
struct address_info {
    // The file of the module that holds the address; empty when none does.
    std::string module;
    // The function, readable (demangled) and without its parameter list;
    // empty when the module has no symbol for the address.
    std::string function;
    // Bytes from the start of the function to the address.
    std::uintptr_t function_offset = 0;
    // The source file and line; empty and 0 without line information.
    std::string source_file;
    int line = 0;
    // Bytes from the first instruction of the line to the address.
    std::uintptr_t line_offset = 0;
};

// Looks up code addresses in the modules loaded when it was made (debug
// information in the module files themselves; nothing is fetched from
// elsewhere). Only one symbolizer exists at a time in the process: a second
// one waits until the first is destroyed.
class symbolizer {
public:
    symbolizer();
    ~symbolizer();
    symbolizer(const symbolizer&) = delete;
    symbolizer& operator=(const symbolizer&) = delete;

    // return_address: the address follows a call instruction (a caller's
    // frame), so the function and line of that call are looked up; offsets
    // are still counted to the address given.
    address_info describe(std::uintptr_t address, bool return_address) const;

private:
    struct impl;
    std::unique_ptr<impl> m_impl;
};

} // namespace platform::debug
