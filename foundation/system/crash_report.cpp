#include "foundation/system/crash_report.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "platform/debug/symbols.h"
#include "platform/kernel/module.h"

namespace {

using platform::debug::address_info;
using platform::debug::fault_record;

// The longest line of a report; longer names are cut and end their line.
constexpr std::size_t line_limit = 1023;

struct exception_name {
    std::uint32_t code;
    const char* name;
};

const exception_name exception_names[] = {
    { 0x80000001u, "EXCEPTION_GUARD_PAGE" },
    { 0x80000002u, "EXCEPTION_DATATYPE_MISALIGNMENT" },
    { 0x80000003u, "EXCEPTION_BREAKPOINT" },
    { 0x80000004u, "EXCEPTION_SINGLE_STEP" },
    { 0xC0000005u, "EXCEPTION_ACCESS_VIOLATION" },
    { 0xC0000006u, "EXCEPTION_IN_PAGE_ERROR" },
    { 0xC0000008u, "EXCEPTION_INVALID_HANDLE" },
    { 0xC000001Du, "EXCEPTION_ILLEGAL_INSTRUCTION" },
    { 0xC0000025u, "EXCEPTION_NONCONTINUABLE_EXCEPTION" },
    { 0xC0000026u, "EXCEPTION_INVALID_DISPOSITION" },
    { 0xC000008Cu, "EXCEPTION_ARRAY_BOUNDS_EXCEEDED" },
    { 0xC000008Du, "EXCEPTION_FLT_DENORMAL_OPERAND" },
    { 0xC000008Eu, "EXCEPTION_FLT_DIVIDE_BY_ZERO" },
    { 0xC000008Fu, "EXCEPTION_FLT_INEXACT_RESULT" },
    { 0xC0000090u, "EXCEPTION_FLT_INVALID_OPERATION" },
    { 0xC0000091u, "EXCEPTION_FLT_OVERFLOW" },
    { 0xC0000092u, "EXCEPTION_FLT_STACK_CHECK" },
    { 0xC0000093u, "EXCEPTION_FLT_UNDERFLOW" },
    { 0xC0000094u, "EXCEPTION_INT_DIVIDE_BY_ZERO" },
    { 0xC0000095u, "EXCEPTION_INT_OVERFLOW" },
    { 0xC0000096u, "EXCEPTION_PRIV_INSTRUCTION" },
    { 0xC00000FDu, "EXCEPTION_STACK_OVERFLOW" },
    { 0xE06D7363u, "Microsoft C++ Exception" },
};

template <class... Values> std::string format(const char* pattern, Values... values)
{
    char text[128];
    std::snprintf(text, sizeof text, pattern, values...);
    return text;
}

// What happened: the name of the code, else the system's text for the signal.
std::string name_of(const fault_record& fault)
{
    for (const exception_name& entry : exception_names) {
        if (entry.code == fault.code)
            return entry.name;
    }
    return fault.signal != 0 ? platform::debug::signal_description(fault.signal) : "";
}

// The file name without folder and extension.
std::string file_title(const std::string& path)
{
    std::string name = path.substr(path.find_last_of('/') + 1);
    const std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0)
        name.erase(dot);
    return name;
}

std::string program_title()
{
    std::string path;
    return platform::module_file_name(path) ? file_title(path) : std::string();
}

// Appends part to line; when it does not fit, as much as fits is appended
// and false returned: the line ends there.
bool append_part(std::string& line, const std::string& part)
{
    if (line.size() + part.size() <= line_limit) {
        line += part;
        return true;
    }
    if (line.size() < line_limit)
        line.append(part, 0, line_limit - line.size());
    return false;
}

// ", name()+0012 byte(s)", or ", name" + exact_end at the function's start.
bool append_symbol(std::string& line, const address_info& info, const char* exact_end)
{
    if (info.function.empty())
        return true;
    const std::string rest = info.function_offset != 0
        ? format("()+%04llu byte(s)", static_cast<unsigned long long>(info.function_offset))
        : std::string(exact_end);
    return append_part(line, ", " + info.function + rest);
}

// ", file, line 0042+0003 byte(s)", or ", file, line 0042" at the line's start.
void append_source(std::string& line, const address_info& info)
{
    if (info.source_file.empty())
        return;
    const std::string rest = info.line_offset != 0
        ? format(", line %04d+%04llu byte(s)", info.line, static_cast<unsigned long long>(info.line_offset))
        : format(", line %04d", info.line);
    append_part(line, ", " + info.source_file + rest);
}

std::string description_line(const fault_record& fault, const address_info& at)
{
    std::string line;
    append_part(line,
        program_title() + " caused an " + name_of(fault) + " in module "
            + (at.module.empty() ? std::string("<UNKNOWN>") : file_title(at.module))
            + format(" at %04X:%016llX", static_cast<unsigned>(fault.regs.cs),
                static_cast<unsigned long long>(fault.address)));
    if (append_symbol(line, at, " "))
        append_source(line, at);
    return line;
}

// Frame lines until a frame outside every module.
void append_frames(
    std::ostringstream& report, const fault_record& fault, const platform::debug::symbolizer& symbols)
{
    for (std::size_t i = 0; i < fault.frame_count; ++i) {
        const std::uintptr_t pc = fault.frames[i];
        if (pc == 0)
            break;
        const address_info info = symbols.describe(pc, i > 0 || !fault.first_frame_exact);
        if (info.module.empty())
            break;
        std::string line = format(
            "%04X:%016llX ", static_cast<unsigned>(fault.regs.cs), static_cast<unsigned long long>(pc));
        if (append_part(line, file_title(info.module)) && append_symbol(line, info, ""))
            append_source(line, info);
        report << line << '\n';
    }
}

std::string register_dump(const platform::debug::registers& r)
{
    char text[640];
    std::snprintf(text, sizeof text,
        "RAX=%016llX  RBX=%016llX  RCX=%016llX  RDX=%016llX\n"
        "RSI=%016llX  RDI=%016llX  RBP=%016llX  RSP=%016llX\n"
        "R8=%016llX   R9=%016llX   R10=%016llX  R11=%016llX\n"
        "R12=%016llX  R13=%016llX  R14=%016llX  R15=%016llX\n"
        "RIP=%016llX  FLG=%08llX\n"
        "CS=%04X   FS=%04X  GS=%04X",
        static_cast<unsigned long long>(r.rax), static_cast<unsigned long long>(r.rbx),
        static_cast<unsigned long long>(r.rcx), static_cast<unsigned long long>(r.rdx),
        static_cast<unsigned long long>(r.rsi), static_cast<unsigned long long>(r.rdi),
        static_cast<unsigned long long>(r.rbp), static_cast<unsigned long long>(r.rsp),
        static_cast<unsigned long long>(r.r8), static_cast<unsigned long long>(r.r9),
        static_cast<unsigned long long>(r.r10), static_cast<unsigned long long>(r.r11),
        static_cast<unsigned long long>(r.r12), static_cast<unsigned long long>(r.r13),
        static_cast<unsigned long long>(r.r14), static_cast<unsigned long long>(r.r15),
        static_cast<unsigned long long>(r.rip), static_cast<unsigned long long>(r.flags),
        static_cast<unsigned>(r.cs), static_cast<unsigned>(r.fs), static_cast<unsigned>(r.gs));
    return text;
}

} // namespace

std::string build_crash_report(const fault_record& fault)
{
    // Made first: it serialises the reports of the process.
    const platform::debug::symbolizer symbols;
    std::ostringstream report;
    const address_info at = symbols.describe(fault.address, !fault.first_frame_exact);
    report << description_line(fault, at) << '\n';
    append_frames(report, fault, symbols);
    report << register_dump(fault.regs) << '\n';
    return report.str();
}

std::string build_exception_report()
{
    fault_record fault;
    // Leaves out this function's own frame.
    platform::debug::capture_exception_context(fault, 1);
    return build_crash_report(fault);
}

std::string crash_report_folder()
{
    // A relative XDG_STATE_HOME is invalid and ignored.
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/')
        return std::string(state) + "/Norvane/Tavelo";
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/')
        return {};
    return std::string(home) + "/.local/state/Norvane/Tavelo";
}

void install_crash_reporter()
{
    platform::debug::install_fault_handler(&build_crash_report, crash_report_folder());
}
