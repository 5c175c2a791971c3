#include "platform/debug/fault.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "platform/debug/attributes.h"
#include "platform/debug/symbols.h"

namespace {

namespace fs = std::filesystem;
using platform::debug::fault_record;
using platform::debug::symbolizer;

bool ends_with(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

TAVELO_KEEP_FRAME std::uintptr_t return_address()
{
    return reinterpret_cast<std::uintptr_t>(__builtin_return_address(0));
}

TAVELO_KEEP_FRAME std::uintptr_t locate_this_call(int* line)
{
    const std::uintptr_t pc = return_address();
    *line = __LINE__ - 1;
    return pc;
}

TAVELO_KEEP_FRAME void capture_here(fault_record& record, int* line)
{
    platform::debug::capture_exception_context(record);
    *line = __LINE__ - 1;
}

int* volatile g_null = nullptr;
volatile bool g_never = false;

TAVELO_KEEP_FRAME TAVELO_NO_SANITIZE void write_through(volatile int* pointer)
{
    *pointer = 1;
}
constexpr int write_line = __LINE__ - 2;

TAVELO_KEEP_FRAME int recurse(int depth)
{
    volatile char pad[512];
    pad[0] = static_cast<char>(depth);
    if (g_never)
        return pad[0];
    return recurse(depth + 1) + pad[0];
}

// The formatter of these tests: the code, the signal and the innermost frame.
std::string describe_fault(const fault_record& fault)
{
    symbolizer symbols;
    const platform::debug::address_info top = symbols.describe(fault.frames[0], !fault.first_frame_exact);
    char head[96];
    std::snprintf(
        head, sizeof head, "code=%08X signal=%d frames=%zu ", fault.code, fault.signal, fault.frame_count);
    return head + ("top=" + top.function + " line=" + std::to_string(top.line) + "\n");
}

// A report far longer than a crash report may be: numbered lines.
std::string huge_report()
{
    std::string text;
    for (int i = 0; text.size() < 300 * 1024; ++i)
        text += "frame line " + std::to_string(i) + " ........................................\n";
    return text;
}

std::string huge_formatter(const fault_record&)
{
    return huge_report();
}

std::string failing_formatter(const fault_record&)
{
    throw std::runtime_error("no report");
}

// A fresh folder for crash files, removed with everything in it.
struct crash_folder {
    crash_folder()
    {
        char pattern[] = "/tmp/tavelo-fault-XXXXXX";
        path = mkdtemp(pattern);
    }
    ~crash_folder() { fs::remove_all(path); }

    // The text of the only crash file; empty when there is none or several.
    std::string only_file() const
    {
        const fs::path reports = fs::path(path) / "reports";
        if (!fs::exists(reports))
            return {};
        std::string text;
        int count = 0;
        for (const fs::directory_entry& entry : fs::directory_iterator(reports)) {
            const std::string name = entry.path().filename().string();
            EXPECT_EQ(name.rfind("crash-", 0), 0u) << name;
            EXPECT_TRUE(ends_with(name, ".txt")) << name;
            std::ifstream file(entry.path());
            std::stringstream content;
            content << file.rdbuf();
            text = content.str();
            ++count;
        }
        return count == 1 ? text : std::string();
    }

    std::string path;
};

void crash_with(platform::debug::fault_formatter formatter, const std::string& folder, void (*fault)())
{
    platform::debug::install_fault_handler(formatter, folder + "/reports");
    fault();
    std::exit(0);
}

TEST(DebugSymbolizer, NamesTheFunctionFileAndLineOfACall)
{
    int line = 0;
    const std::uintptr_t pc = locate_this_call(&line);
    symbolizer symbols;
    const platform::debug::address_info info = symbols.describe(pc, true);
    EXPECT_TRUE(ends_with(info.module, "/platform_tests")) << info.module;
    EXPECT_TRUE(ends_with(info.function, "locate_this_call")) << info.function;
    EXPECT_GT(info.function_offset, 0u);
    EXPECT_TRUE(ends_with(info.source_file, "platform/tests/fault_test.cpp")) << info.source_file;
    EXPECT_EQ(info.line, line);
}

// The unlikely branch goes to a part the compiler splits off the function
// ("[clone .cold]") in optimised builds.
[[gnu::noinline]] std::uintptr_t locate_in_cold_part(int selector, int* line)
{
    if (selector == 12345) [[unlikely]] {
        const std::uintptr_t pc = return_address();
        *line = __LINE__ - 1;
        if (g_never)
            throw std::runtime_error("never");
        return pc;
    }
    return 0;
}

TEST(DebugSymbolizer, PartsTheCompilerSplitOffAreNamedAsTheirFunction)
{
    int line = 0;
    volatile int selector = 12345;
    const std::uintptr_t pc = locate_in_cold_part(selector, &line);
    symbolizer symbols;
    const platform::debug::address_info info = symbols.describe(pc, true);
    EXPECT_TRUE(ends_with(info.function, "locate_in_cold_part")) << info.function;
    EXPECT_EQ(info.line, line);
}

TEST(DebugSymbolizer, AddressOutsideEveryModuleIsUnknown)
{
    symbolizer symbols;
    const platform::debug::address_info info = symbols.describe(0x10, false);
    EXPECT_TRUE(info.module.empty());
    EXPECT_TRUE(info.function.empty());
    EXPECT_TRUE(info.source_file.empty());
}

TEST(DebugFault, CapturedExceptionContextStartsAtTheCaller)
{
    fault_record record;
    int line = 0;
    capture_here(record, &line);
    EXPECT_EQ(record.code, platform::debug::EXCEPTION_CPP);
    EXPECT_EQ(record.signal, 0);
    EXPECT_FALSE(record.first_frame_exact);
    ASSERT_GT(record.frame_count, 1u);
    EXPECT_EQ(record.address, record.frames[0]);
    symbolizer symbols;
    const platform::debug::address_info info = symbols.describe(record.frames[0], true);
    EXPECT_TRUE(ends_with(info.function, "capture_here")) << info.function;
    EXPECT_EQ(info.line, line);
}

TEST(DebugFaultHandler, NullWriteIsReportedToStreamAndFileThenEndsWithSegv)
{
    crash_folder folder;
    const std::string expected
        = "code=C0000005 signal=11 frames=[0-9]+ top=.*write_through line=" + std::to_string(write_line);
    EXPECT_EXIT(crash_with(&describe_fault, folder.path, [] { write_through(g_null); }),
        testing::KilledBySignal(SIGSEGV), expected + "\n.*Crash report saved as " + folder.path);
    const std::string file = folder.only_file();
    EXPECT_NE(file.find("code=C0000005 signal=11"), std::string::npos) << file;
    EXPECT_NE(file.find("write_through"), std::string::npos) << file;
}

TEST(DebugFaultHandler, AbortIsReportedWithoutCodeAndEndsWithSigabrt)
{
    crash_folder folder;
    EXPECT_EXIT(crash_with(&describe_fault, folder.path, [] { std::abort(); }),
        testing::KilledBySignal(SIGABRT), "code=00000000 signal=6 ");
    EXPECT_NE(folder.only_file().find("signal=6"), std::string::npos);
}

TEST(DebugFaultHandler, StackOverflowIsReportedOnTheAlternateStack)
{
    crash_folder folder;
    EXPECT_EXIT(crash_with(&describe_fault, folder.path, [] { recurse(0); }),
        testing::KilledBySignal(SIGSEGV), "code=C00000FD signal=11 frames=128 top=.*recurse");
}

TEST(DebugFaultHandler, ReportOf256KiBOrMoreIsCutShortAtALineWithANote)
{
    crash_folder folder;
    const std::string note = "[The report is cut short here: it is longer than 256 KiB.]\n";
    EXPECT_EXIT(crash_with(&huge_formatter, folder.path, [] { write_through(g_null); }),
        testing::KilledBySignal(SIGSEGV), "cut short here");
    const std::string file = folder.only_file();
    ASSERT_TRUE(ends_with(file, note)) << file.substr(0, 200);
    const std::string kept = file.substr(0, file.size() - note.size());
    EXPECT_LT(file.size(), 256u * 1024);
    EXPECT_GT(kept.size(), 255u * 1024);
    EXPECT_EQ(kept.back(), '\n');
    EXPECT_EQ(huge_report().compare(0, kept.size(), kept), 0);
}

TEST(DebugFaultHandler, FailingFormatterStillLeavesAShortReport)
{
    crash_folder folder;
    EXPECT_EXIT(crash_with(&failing_formatter, folder.path, [] { write_through(g_null); }),
        testing::KilledBySignal(SIGSEGV),
        "platform_tests caused the fatal signal SIGSEGV \\(Segmentation fault\\) at [0-9A-F]{16}\n"
        "The stack could not be read.\nRIP=[0-9A-F]{16}");
    EXPECT_NE(folder.only_file().find("The stack could not be read."), std::string::npos);
}

} // namespace
