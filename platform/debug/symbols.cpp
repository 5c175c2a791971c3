#include "platform/debug/symbols.h"

#include <cstdlib>
#include <mutex>

#include <cxxabi.h>
#include <elfutils/libdwfl.h>
#include <unistd.h>

#include "platform/debug/fault.h"

namespace platform::debug {

namespace {

// Separate debug files are not searched: the search may go to the network,
// which a crash report must never wait for. Debug information inside the
// module files is still used.
int no_separate_debug_file(
    Dwfl_Module*, void**, const char*, Dwarf_Addr, const char*, const char*, GElf_Word, char**)
{
    return -1;
}

const Dwfl_Callbacks callbacks = {
    dwfl_linux_proc_find_elf,
    no_separate_debug_file,
    nullptr,
    nullptr,
};

// elfutils is not safe for several threads at once.
std::mutex g_symbols_mutex;

std::string demangled(const char* name)
{
    int status = 0;
    char* readable = abi::__cxa_demangle(name, nullptr, nullptr, &status);
    if (status != 0 || readable == nullptr)
        return name;
    std::string result = readable;
    std::free(readable);
    return result;
}

bool ends_with(const std::string& text, std::string_view end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Parts of a function that the compiler split off or specialised carry a
// suffix: "f(int) [clone .cold]" when demangled, "f.cold", "f.part.0",
// "f.isra.0", "f.constprop.0" as a plain name. They are reported as f.
std::string without_clone_suffixes(std::string name)
{
    while (ends_with(name, "]")) {
        const std::size_t open = name.rfind(" [clone ");
        if (open == std::string::npos)
            break;
        name.erase(open);
    }
    for (;;) {
        const std::size_t dot = name.find_last_of(".");
        if (dot == std::string::npos || dot == 0)
            return name;
        std::string_view tail(name.c_str() + dot + 1);
        const bool number = !tail.empty() && tail.find_first_not_of("0123456789") == std::string_view::npos;
        std::size_t end = dot;
        if (number) {
            const std::size_t before = name.find_last_of(".", dot - 1);
            if (before == std::string::npos || before == 0)
                return name;
            tail = std::string_view(name.c_str() + before + 1, dot - before - 1);
            end = before;
        }
        if (tail != "cold" && tail != "part" && tail != "isra" && tail != "constprop" && tail != "lto_priv"
            && tail != "localalias")
            return name;
        name.erase(end);
    }
}

// "ns::f(int) const" becomes "ns::f": the parameter list is the last
// parenthesised group, found by matching parentheses from the end (so
// "ns::operator()(int)" keeps its "operator()").
std::string without_parameters(std::string name)
{
    for (bool trimmed = true; trimmed;) {
        trimmed = false;
        for (std::string_view qualifier : { " const", " volatile", " &&", " &", " noexcept" }) {
            if (ends_with(name, qualifier)) {
                name.erase(name.size() - qualifier.size());
                trimmed = true;
            }
        }
    }
    if (name.empty() || name.back() != ')')
        return name;
    int depth = 0;
    for (std::size_t i = name.size(); i-- > 0;) {
        if (name[i] == ')') {
            ++depth;
        } else if (name[i] == '(' && --depth == 0) {
            return name.substr(0, i);
        }
    }
    return name;
}

} // namespace

struct symbolizer::impl {
    std::unique_lock<std::mutex> lock;
    Dwfl* session = nullptr;
};

symbolizer::symbolizer()
    : m_impl(std::make_unique<impl>())
{
    // In the child that composes a fault report the lock may have been
    // copied while held, and no other thread exists to compete.
    if (!detail::composing_fault_report())
        m_impl->lock = std::unique_lock(g_symbols_mutex);
    m_impl->session = dwfl_begin(&callbacks);
    if (m_impl->session == nullptr)
        return;
    dwfl_report_begin(m_impl->session);
    dwfl_linux_proc_report(m_impl->session, getpid());
    dwfl_report_end(m_impl->session, nullptr, nullptr);
}

symbolizer::~symbolizer()
{
    if (m_impl->session != nullptr)
        dwfl_end(m_impl->session);
}

address_info symbolizer::describe(std::uintptr_t address, bool return_address) const
{
    address_info info;
    if (m_impl->session == nullptr || address == 0)
        return info;
    const Dwarf_Addr lookup = return_address ? address - 1 : address;
    Dwfl_Module* module = dwfl_addrmodule(m_impl->session, lookup);
    if (module == nullptr)
        return info;
    const char* module_name
        = dwfl_module_info(module, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    info.module = module_name != nullptr ? module_name : "";

    GElf_Off offset = 0;
    GElf_Sym symbol {};
    const char* name = dwfl_module_addrinfo(module, lookup, &offset, &symbol, nullptr, nullptr, nullptr);
    if (name != nullptr) {
        info.function = without_parameters(without_clone_suffixes(demangled(name)));
        info.function_offset = address - (lookup - offset);
    }

    Dwfl_Line* line = dwfl_module_getsrc(module, lookup);
    Dwarf_Addr line_address = 0;
    int line_number = 0;
    const char* file = line != nullptr
        ? dwfl_lineinfo(line, &line_address, &line_number, nullptr, nullptr, nullptr)
        : nullptr;
    if (file != nullptr && line_number > 0) {
        info.source_file = file;
        info.line = line_number;
        info.line_offset = address - line_address;
    }
    return info;
}

} // namespace platform::debug
