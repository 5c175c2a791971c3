#include "platform/debug/fault.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <iterator>
#include <mutex>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <ucontext.h>
#include <unistd.h>
#include <unwind.h>

// Everything the signal handler touches is prepared beforehand and lives in
// static storage: between the fault and the end of the process this file
// calls only async-signal-safe functions. The report itself is composed in a
// child process (a copy of this one, made with the async-signal-safe _Fork).
// The child reads the stack while still in the handler, then leaves the
// handler into the composing function on a stack of its own, so it may
// allocate and read debug information like any program. The faulting
// process only waits for the text, with a time limit, and falls back to a
// short report of its own.

namespace platform::debug {

namespace {

constexpr int fault_signals[] = { SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT };
constexpr std::size_t alternate_stack_size = 64 * 1024;
constexpr std::size_t compose_stack_size = 1024 * 1024;
constexpr std::size_t report_capacity = 256 * 1024;
constexpr int compose_seconds = 20;
// A fault this close to the stack pointer is taken for a stack overflow.
constexpr std::uintptr_t stack_overflow_reach = 64 * 1024;

// Text composed in a fixed buffer, always zero-terminated; what does not fit
// is dropped.
class fixed_text {
public:
    fixed_text(char* data, std::size_t capacity)
        : m_data(data)
        , m_capacity(capacity)
    {
        m_data[0] = 0;
    }

    fixed_text& operator<<(const char* text)
    {
        while (*text != 0 && m_size + 1 < m_capacity)
            m_data[m_size++] = *text++;
        m_data[m_size] = 0;
        return *this;
    }

    // The value in hexadecimal (upper case) or decimal, zero-filled to width.
    void number(std::uint64_t value, unsigned base, int width)
    {
        char digits[24];
        int count = 0;
        do {
            digits[count++] = "0123456789ABCDEF"[value % base];
            value /= base;
        } while (value != 0 && count < 24);
        while (count < width && count < 24)
            digits[count++] = '0';
        char text[25];
        for (int i = 0; i < count; ++i)
            text[i] = digits[count - 1 - i];
        text[count] = 0;
        *this << text;
    }

    const char* data() const { return m_data; }
    std::size_t size() const { return m_size; }

private:
    char* m_data;
    std::size_t m_capacity;
    std::size_t m_size = 0;
};

struct handler_state {
    fault_formatter formatter = nullptr;
    fault_stack* main_stack = nullptr;
    char* compose_stack = nullptr; // its top, 16-byte aligned
    int compose_output = -1;
    char folder[PATH_MAX] {};
    char program[NAME_MAX + 1] {};
    long utc_offset = 0; // of local time when installed, in seconds
    fault_record record;
    char report[report_capacity];
    char path[PATH_MAX + 64];
};

handler_state g_handler;
std::atomic<bool> g_reporting { false };
bool g_composing = false; // set only in the child that composes

bool write_all(int descriptor, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = write(descriptor, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

struct unwinding {
    std::uintptr_t* frames;
    int capacity;
    int count;
};

_Unwind_Reason_Code add_frame(_Unwind_Context* context, void* argument)
{
    auto* walk = static_cast<unwinding*>(argument);
    if (walk->count == walk->capacity)
        return _URC_END_OF_STACK;
    walk->frames[walk->count++] = _Unwind_GetIP(context);
    return _URC_NO_REASON;
}

// The return addresses of the stack, starting with the caller's own frame.
// The unwinder is called directly: sanitizers wrap the C library's
// backtrace, which then shows a frame of theirs first.
[[gnu::noinline]] int unwind_stack(std::uintptr_t* frames, int capacity)
{
    unwinding walk { frames, capacity, 0 };
    _Unwind_Backtrace(&add_frame, &walk);
    // Drops the frame of this function.
    const int count = std::max(walk.count - 1, 0);
    std::memmove(frames, frames + 1, static_cast<std::size_t>(count) * sizeof *frames);
    return count;
}

void read_registers(const ucontext_t& context, registers& regs)
{
#if defined(__x86_64__)
    const greg_t* g = context.uc_mcontext.gregs;
    auto reg = [g](int index) { return static_cast<std::uint64_t>(g[index]); };
    regs.rax = reg(REG_RAX);
    regs.rbx = reg(REG_RBX);
    regs.rcx = reg(REG_RCX);
    regs.rdx = reg(REG_RDX);
    regs.rsi = reg(REG_RSI);
    regs.rdi = reg(REG_RDI);
    regs.rbp = reg(REG_RBP);
    regs.rsp = reg(REG_RSP);
    regs.r8 = reg(REG_R8);
    regs.r9 = reg(REG_R9);
    regs.r10 = reg(REG_R10);
    regs.r11 = reg(REG_R11);
    regs.r12 = reg(REG_R12);
    regs.r13 = reg(REG_R13);
    regs.r14 = reg(REG_R14);
    regs.r15 = reg(REG_R15);
    regs.rip = reg(REG_RIP);
    regs.flags = reg(REG_EFL);
    // Packed as cs, gs, fs, 16 bits each.
    const std::uint64_t segments = reg(REG_CSGSFS);
    regs.cs = static_cast<std::uint16_t>(segments);
    regs.gs = static_cast<std::uint16_t>(segments >> 16);
    regs.fs = static_cast<std::uint16_t>(segments >> 32);
#else
    (void)context;
    (void)regs;
#endif
}

std::uint32_t code_for(int signal, const siginfo_t& info, std::uintptr_t stack_pointer)
{
    // A fault signal sent by a process (kill, raise, abort) reports no fault.
    if (info.si_code <= 0)
        return 0;
    switch (signal) {
    case SIGSEGV: {
        const auto address = reinterpret_cast<std::uintptr_t>(info.si_addr);
        const std::uintptr_t distance
            = address > stack_pointer ? address - stack_pointer : stack_pointer - address;
        return distance < stack_overflow_reach ? EXCEPTION_STACK_OVERFLOW : EXCEPTION_ACCESS_VIOLATION;
    }
    case SIGBUS:
        return info.si_code == BUS_ADRALN ? EXCEPTION_DATATYPE_MISALIGNMENT : EXCEPTION_IN_PAGE_ERROR;
    case SIGILL:
        return info.si_code == ILL_PRVOPC || info.si_code == ILL_PRVREG ? EXCEPTION_PRIV_INSTRUCTION
                                                                        : EXCEPTION_ILLEGAL_INSTRUCTION;
    case SIGFPE:
        switch (info.si_code) {
        case FPE_INTDIV:
            return EXCEPTION_INT_DIVIDE_BY_ZERO;
        case FPE_INTOVF:
            return EXCEPTION_INT_OVERFLOW;
        case FPE_FLTDIV:
            return EXCEPTION_FLT_DIVIDE_BY_ZERO;
        case FPE_FLTOVF:
            return EXCEPTION_FLT_OVERFLOW;
        case FPE_FLTUND:
            return EXCEPTION_FLT_UNDERFLOW;
        case FPE_FLTRES:
            return EXCEPTION_FLT_INEXACT_RESULT;
        case FPE_FLTSUB:
            return EXCEPTION_ARRAY_BOUNDS_EXCEEDED;
        default:
            return EXCEPTION_FLT_INVALID_OPERATION;
        }
    default:
        return 0;
    }
}

// Keeps the stack from the faulting frame outward: the frames of the handler
// and of the signal trampoline come first in what the unwinder sees.
void take_fault_stack(fault_record& record)
{
    std::uintptr_t raw[fault_record::max_frames + 16];
    const int count = unwind_stack(raw, static_cast<int>(std::size(raw)));
    int first = 0;
    while (first < count && raw[first] != record.address)
        ++first;
    record.first_frame_exact = true;
    if (first == count) {
        record.frames[0] = record.address;
        record.frame_count = 1;
        return;
    }
    record.frame_count
        = std::min<std::size_t>(static_cast<std::size_t>(count - first), fault_record::max_frames);
    for (std::size_t i = 0; i < record.frame_count; ++i)
        record.frames[i] = raw[first + static_cast<int>(i)];
}

// The child's work outside the handler: the report into the pipe. Not
// instrumented for addresses: that sanitizer would warn about the unknown
// stack at the call of _exit.
[[noreturn]] __attribute__((no_sanitize("address"))) void compose_and_exit()
{
    g_composing = true;
    alarm(compose_seconds + 5);
    int status = 1;
    try {
        const std::string text = g_handler.formatter(g_handler.record);
        if (!text.empty() && write_all(g_handler.compose_output, text.data(), text.size()))
            status = 0;
    } catch (...) {
    }
    _exit(status);
}

// In the child, still inside the handler: reads the stack, then makes the
// return from the handler continue in compose_and_exit on its own stack.
void prepare_child(int output, ucontext_t& context)
{
    g_handler.compose_output = output;
    // A fault while composing ends this child; the parent then reports alone.
    struct sigaction default_action { };
    default_action.sa_handler = SIG_DFL;
    for (int signal : fault_signals)
        sigaction(signal, &default_action, nullptr);
    take_fault_stack(g_handler.record);
#if defined(__x86_64__)
    if (g_handler.compose_stack != nullptr) {
        // As if called: a (null) return address below a 16-byte boundary.
        char* const top = g_handler.compose_stack - sizeof(std::uintptr_t);
        std::memset(top, 0, sizeof(std::uintptr_t));
        context.uc_mcontext.gregs[REG_RSP] = reinterpret_cast<greg_t>(top);
        context.uc_mcontext.gregs[REG_RIP] = reinterpret_cast<greg_t>(&compose_and_exit);
        return;
    }
#endif
    (void)context;
    compose_and_exit();
}

long milliseconds_now()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000L + now.tv_nsec / 1000000L;
}

// Ends a report that does not fit: what fits, up to its last line break.
constexpr char cut_note[] = "[The report is cut short here: it is longer than 256 KiB.]\n";

// Reads the child's report into the buffer until it ends or time is up;
// returns its size, 0 when it did not finish. A report that does not fit is
// cut short after its last whole line with a note, and cut is set.
std::size_t read_report(int input, bool& cut)
{
    // Room for a line break, the note and the terminating zero.
    constexpr std::size_t limit = report_capacity - sizeof cut_note - 1;
    const long deadline = milliseconds_now() + compose_seconds * 1000L;
    std::size_t size = 0;
    cut = false;
    for (;;) {
        const long left = deadline - milliseconds_now();
        if (left <= 0)
            return 0;
        if (size == limit) {
            cut = true;
            break;
        }
        pollfd ready { input, POLLIN, 0 };
        const int polled = poll(&ready, 1, static_cast<int>(left));
        if (polled < 0 && errno == EINTR)
            continue;
        if (polled <= 0)
            return 0;
        const ssize_t got = read(input, g_handler.report + size, limit - size);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return 0;
        if (got == 0)
            break;
        size += static_cast<std::size_t>(got);
    }
    if (cut) {
        std::size_t end = size;
        while (end > 0 && g_handler.report[end - 1] != '\n')
            --end;
        size = end;
        if (size == 0) {
            // One endless line: keep it and break it.
            size = limit;
            g_handler.report[size++] = '\n';
        }
        std::memcpy(g_handler.report + size, cut_note, sizeof cut_note - 1);
        size += sizeof cut_note - 1;
    }
    g_handler.report[size] = 0;
    return size;
}

// Starts the child that composes the report. Returns its process id (0 in
// the child itself, -1 on failure) and the end of the pipe to read (parent)
// or to write (child).
pid_t start_composer(int& pipe_end)
{
    int pipe_ends[2];
    if (g_handler.formatter == nullptr || pipe2(pipe_ends, O_CLOEXEC) != 0)
        return -1;
    const pid_t child = _Fork();
    close(pipe_ends[child == 0 ? 0 : 1]);
    pipe_end = pipe_ends[child == 0 ? 1 : 0];
    if (child < 0)
        close(pipe_end);
    return child;
}

// The child's report, or 0 when it did not deliver one.
std::size_t finish_composer(pid_t child, int input)
{
    bool cut = false;
    const std::size_t size = read_report(input, cut);
    close(input);
    // A child whose report was cut short may still be writing the rest.
    if (size == 0 || cut)
        kill(child, SIGKILL);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) { }
    return cut || (WIFEXITED(status) && WEXITSTATUS(status) == 0) ? size : 0;
}

// The report made without the child: what happened, where, and the registers.
std::size_t compose_fallback()
{
    const fault_record& record = g_handler.record;
    fixed_text text(g_handler.report, report_capacity);
    const char* name = sigabbrev_np(record.signal);
    text << g_handler.program << " caused the fatal signal SIG" << (name ? name : "?") << " ("
         << signal_description(record.signal) << ") at ";
    text.number(record.address, 16, 16);
    text << "\nThe stack could not be read.\nRIP=";
    text.number(record.regs.rip, 16, 16);
    text << "  RSP=";
    text.number(record.regs.rsp, 16, 16);
    text << "  RBP=";
    text.number(record.regs.rbp, 16, 16);
    text << "\n";
    return text.size();
}

// Local date and time of now as YYYYMMDD-HHMMSS, computed by hand: the C
// library's conversions may take locks.
void append_time_stamp(fixed_text& text)
{
    timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);
    const long long seconds = now.tv_sec + g_handler.utc_offset;
    long long days = seconds / 86400;
    long long of_day = seconds % 86400;
    if (of_day < 0) {
        of_day += 86400;
        --days;
    }
    // Days since 1970-01-01 to a civil date, in 400-year eras from 0000-03-01.
    const long long z = days + 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long day_of_era = z - era * 146097;
    const long long year_of_era
        = (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
    const long long day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    const long long shifted_month = (5 * day_of_year + 2) / 153;
    const long long day = day_of_year - (153 * shifted_month + 2) / 5 + 1;
    const long long month = shifted_month < 10 ? shifted_month + 3 : shifted_month - 9;
    const long long year = year_of_era + era * 400 + (month <= 2 ? 1 : 0);
    text.number(static_cast<std::uint64_t>(year), 10, 4);
    text.number(static_cast<std::uint64_t>(month), 10, 2);
    text.number(static_cast<std::uint64_t>(day), 10, 2);
    text << "-";
    text.number(static_cast<std::uint64_t>(of_day / 3600), 10, 2);
    text.number(static_cast<std::uint64_t>(of_day / 60 % 60), 10, 2);
    text.number(static_cast<std::uint64_t>(of_day % 60), 10, 2);
}

void make_folders(char* path)
{
    for (char* p = path + 1; *p != 0; ++p) {
        if (*p == '/') {
            *p = 0;
            mkdir(path, 0700);
            *p = '/';
        }
    }
    mkdir(path, 0700);
}

// Opens a new crash file; its path is left in g_handler.path. -1 on failure.
int open_report_file()
{
    if (g_handler.folder[0] == 0)
        return -1;
    fixed_text folder(g_handler.path, sizeof g_handler.path);
    folder << g_handler.folder;
    make_folders(g_handler.path);
    for (int attempt = 1; attempt < 100; ++attempt) {
        fixed_text path(g_handler.path, sizeof g_handler.path);
        path << g_handler.folder << "/crash-";
        append_time_stamp(path);
        if (attempt > 1) {
            path << "-";
            path.number(static_cast<std::uint64_t>(attempt), 10, 1);
        }
        path << ".txt";
        const int file = open(g_handler.path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (file >= 0 || errno != EEXIST)
            return file;
    }
    return -1;
}

void write_report(std::size_t size)
{
    write_all(STDERR_FILENO, g_handler.report, size);
    const int file = open_report_file();
    if (file < 0)
        return;
    const bool saved = write_all(file, g_handler.report, size);
    close(file);
    if (saved) {
        char note[sizeof g_handler.path + 64];
        fixed_text text(note, sizeof note);
        text << "Crash report saved as " << g_handler.path << "\n";
        write_all(STDERR_FILENO, text.data(), text.size());
    }
}

void on_fault(int signal, siginfo_t* info, void* context)
{
    bool expected = false;
    if (!g_reporting.compare_exchange_strong(expected, true)) {
        // Another thread reports a fault and will end the process.
        for (;;)
            pause();
    }
    fault_record& record = g_handler.record;
    record.signal = signal;
    read_registers(*static_cast<const ucontext_t*>(context), record.regs);
    record.address = record.regs.rip;
    record.code = code_for(signal, *info, record.regs.rsp);

    int pipe_end = -1;
    const pid_t child = start_composer(pipe_end);
    if (child == 0) {
        prepare_child(pipe_end, *static_cast<ucontext_t*>(context));
        return;
    }
    std::size_t size = child > 0 ? finish_composer(child, pipe_end) : 0;
    if (size == 0)
        size = compose_fallback();
    write_report(size);

    // The signal, now with its default action, is pending until the handler
    // returns, and then ends the process with the signal's usual status.
    struct sigaction default_action { };
    default_action.sa_handler = SIG_DFL;
    sigaction(signal, &default_action, nullptr);
    raise(signal);
}

void copy_text(char* target, std::size_t capacity, const char* text)
{
    fixed_text copy(target, capacity);
    copy << text;
}

} // namespace

[[gnu::noinline]] void capture_exception_context(fault_record& record, int skip)
{
    record = fault_record {};
    record.code = EXCEPTION_CPP;
    ucontext_t context {};
    if (getcontext(&context) == 0)
        read_registers(context, record.regs);
    std::uintptr_t raw[fault_record::max_frames + 32];
    const int count = unwind_stack(raw, static_cast<int>(std::size(raw)));
    // The first frame is this function's own.
    const int first = std::min(count, 1 + std::max(skip, 0));
    record.frame_count
        = std::min<std::size_t>(static_cast<std::size_t>(count - first), fault_record::max_frames);
    for (std::size_t i = 0; i < record.frame_count; ++i)
        record.frames[i] = raw[first + static_cast<int>(i)];
    record.first_frame_exact = false;
    record.address = record.frame_count > 0 ? record.frames[0] : 0;
    record.regs.rip = record.address;
}

const char* signal_description(int signal)
{
    const char* text = sigdescr_np(signal);
    return text != nullptr ? text : "";
}

void install_fault_handler(fault_formatter formatter, const std::string& report_folder)
{
    static std::once_flag once;
    std::call_once(once, [&] {
        g_handler.formatter = formatter;
        copy_text(g_handler.folder, sizeof g_handler.folder, report_folder.c_str());
        char executable[PATH_MAX];
        const ssize_t length = readlink("/proc/self/exe", executable, sizeof executable - 1);
        executable[std::max<ssize_t>(length, 0)] = 0;
        const char* slash = std::strrchr(executable, '/');
        copy_text(g_handler.program, sizeof g_handler.program, slash ? slash + 1 : executable);
        const std::time_t now = std::time(nullptr);
        std::tm local {};
        if (localtime_r(&now, &local) != nullptr)
            g_handler.utc_offset = local.tm_gmtoff;
        // The first unwinding may set up the unwinder's caches: done now.
        std::uintptr_t warm_up[4];
        unwind_stack(warm_up, 4);
        // Kept for the life of the process: the calling thread may be the
        // main thread, whose stack is never given back.
        g_handler.main_stack = new fault_stack;
        void* compose_stack = mmap(nullptr, compose_stack_size, PROT_READ | PROT_WRITE,
            MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (compose_stack != MAP_FAILED)
            g_handler.compose_stack = static_cast<char*>(compose_stack) + compose_stack_size;

        struct sigaction action { };
        action.sa_sigaction = &on_fault;
        action.sa_flags = SA_SIGINFO | SA_ONSTACK;
        sigemptyset(&action.sa_mask);
        for (int signal : fault_signals)
            sigaddset(&action.sa_mask, signal);
        for (int signal : fault_signals)
            sigaction(signal, &action, nullptr);
    });
}

fault_stack::fault_stack()
{
    stack_t previous {};
    if (sigaltstack(nullptr, &previous) != 0 || (previous.ss_flags & SS_ONSTACK) != 0)
        return;
    // One inaccessible page below the stack turns an overflow of the
    // alternate stack into a fault instead of silent damage.
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const std::size_t size = alternate_stack_size + page;
    void* memory = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED)
        return;
    mprotect(memory, page, PROT_NONE);
    stack_t stack {};
    stack.ss_sp = static_cast<char*>(memory) + page;
    stack.ss_size = alternate_stack_size;
    if (sigaltstack(&stack, nullptr) != 0) {
        munmap(memory, size);
        return;
    }
    m_memory = memory;
    m_size = size;
    m_had_previous = (previous.ss_flags & SS_DISABLE) == 0;
    m_previous_memory = previous.ss_sp;
    m_previous_size = previous.ss_size;
}

fault_stack::~fault_stack()
{
    if (m_memory == nullptr)
        return;
    stack_t restore {};
    if (m_had_previous) {
        restore.ss_sp = m_previous_memory;
        restore.ss_size = m_previous_size;
    } else {
        restore.ss_flags = SS_DISABLE;
    }
    sigaltstack(&restore, nullptr);
    munmap(m_memory, m_size);
}

bool detail::composing_fault_report()
{
    return g_composing;
}

} // namespace platform::debug
