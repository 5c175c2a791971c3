#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform::debug {

// Exception codes: what kind of fault a fault record describes.
inline constexpr std::uint32_t EXCEPTION_DATATYPE_MISALIGNMENT = 0x80000002u;
inline constexpr std::uint32_t EXCEPTION_ACCESS_VIOLATION = 0xC0000005u;
inline constexpr std::uint32_t EXCEPTION_IN_PAGE_ERROR = 0xC0000006u;
inline constexpr std::uint32_t EXCEPTION_ILLEGAL_INSTRUCTION = 0xC000001Du;
inline constexpr std::uint32_t EXCEPTION_ARRAY_BOUNDS_EXCEEDED = 0xC000008Cu;
inline constexpr std::uint32_t EXCEPTION_FLT_DIVIDE_BY_ZERO = 0xC000008Eu;
inline constexpr std::uint32_t EXCEPTION_FLT_INEXACT_RESULT = 0xC000008Fu;
inline constexpr std::uint32_t EXCEPTION_FLT_INVALID_OPERATION = 0xC0000090u;
inline constexpr std::uint32_t EXCEPTION_FLT_OVERFLOW = 0xC0000091u;
inline constexpr std::uint32_t EXCEPTION_FLT_UNDERFLOW = 0xC0000093u;
inline constexpr std::uint32_t EXCEPTION_INT_DIVIDE_BY_ZERO = 0xC0000094u;
inline constexpr std::uint32_t EXCEPTION_INT_OVERFLOW = 0xC0000095u;
inline constexpr std::uint32_t EXCEPTION_PRIV_INSTRUCTION = 0xC0000096u;
inline constexpr std::uint32_t EXCEPTION_STACK_OVERFLOW = 0xC00000FDu;
// A C++ exception of a type that no handler knows.
inline constexpr std::uint32_t EXCEPTION_CPP = 0xE06D7363u;

// The processor registers of the fault, x86-64. Registers that the capture
// could not see are 0.
struct registers {
    std::uint64_t rax, rbx, rcx, rdx, rsi, rdi, rbp, rsp;
    std::uint64_t r8, r9, r10, r11, r12, r13, r14, r15;
    std::uint64_t rip, flags;
    std::uint16_t cs, fs, gs;
};

// What is known of a fault when it happens: plain data, filled without
// allocating, so that a signal handler can fill it.
struct fault_record {
    // One of the codes above; 0 when the signal has no code (SIGABRT, or a
    // fault signal sent by another process).
    std::uint32_t code = 0;
    // The signal that reported the fault; 0 for a C++ exception.
    int signal = 0;
    // The instruction at which it happened.
    std::uintptr_t address = 0;
    registers regs {};

    // The stack, innermost frame first: frames[0] is the address above, the
    // others are return addresses into the callers. When first_frame_exact
    // is false, frames[0] is a return address as well.
    static constexpr std::size_t max_frames = 128;
    std::size_t frame_count = 0;
    bool first_frame_exact = true;
    std::uintptr_t frames[max_frames] {};
};

// Fills record for a C++ exception of a type no handler knows, caught by the
// caller: code EXCEPTION_CPP, the caller's registers, and the stack from the
// caller outward, leaving out the skip innermost frames of the callers.
void capture_exception_context(fault_record& record, int skip = 0);

// The system's description of a signal ("Segmentation fault"); empty for an
// unknown one. A static text, safe to use in a signal handler.
const char* signal_description(int signal);

// Composes the text report of a fault. It runs in a child process made for
// the purpose (a copy of the faulting process), so it may allocate and take
// locks; if it fails or takes too long, a short report made without it is
// written instead.
using fault_formatter = std::string (*)(const fault_record& fault);

// Installs the process's handler of the fault signals SIGSEGV, SIGBUS,
// SIGFPE, SIGILL and SIGABRT, and gives the calling thread an alternate
// signal stack for good. On a fault the handler writes the report to the
// diagnostic stream and to a new file "crash-<local time>.txt" in
// report_folder (created when missing), names that file on the diagnostic
// stream, then the process ends as the signal would end it. A report of
// 256 KiB or more is cut short after its last whole line that fits, with a
// note saying so. A second fault in another thread waits for the first
// report. The first call installs; later calls do nothing.
void install_fault_handler(fault_formatter formatter, const std::string& report_folder);

// An alternate signal stack for the calling thread while the object lives, so
// that even a stack overflow can be reported. Must be destroyed on the thread
// that made it.
class fault_stack {
public:
    fault_stack();
    ~fault_stack();
    fault_stack(const fault_stack&) = delete;
    fault_stack& operator=(const fault_stack&) = delete;

private:
    void* m_memory = nullptr;
    std::size_t m_size = 0;
    bool m_had_previous = false;
    void* m_previous_memory = nullptr;
    std::size_t m_previous_size = 0;
};

namespace detail {
// True only in the child process that composes a fault report: it has one
// thread, and locks copied from the faulting process may be held forever.
bool composing_fault_report();
} // namespace detail

} // namespace platform::debug
