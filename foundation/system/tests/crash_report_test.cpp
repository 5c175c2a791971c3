#include "foundation/system/crash_report.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "foundation/system/thread.h"
#include "platform/debug/attributes.h"

namespace {

namespace fs = std::filesystem;

// Crash files of this test program go to a state folder of its own, set
// before any thread installs the crash reporter.
const std::string g_state_home = [] {
    char pattern[] = "/tmp/tavelo-state-XXXXXX";
    const std::string path = mkdtemp(pattern);
    setenv("XDG_STATE_HOME", path.c_str(), 1);
    return path;
}();

struct state_home_remover {
    ~state_home_remover() { fs::remove_all(g_state_home); }
} g_state_home_remover;

const fs::path g_crash_folder = fs::path(g_state_home) / "Norvane" / "Tavelo";

// The texts of the crash files made so far, which are removed.
std::vector<std::string> take_crash_files()
{
    std::vector<std::string> texts;
    if (!fs::exists(g_crash_folder))
        return texts;
    for (const fs::directory_entry& entry : fs::directory_iterator(g_crash_folder)) {
        std::ifstream file(entry.path());
        std::stringstream content;
        content << file.rdbuf();
        texts.push_back(content.str());
        fs::remove(entry.path());
    }
    return texts;
}

int* volatile g_null = nullptr;
volatile int g_zero = 0;

TAVELO_KEEP_FRAME TAVELO_NO_SANITIZE void fault_on_null(volatile int* pointer)
{
    *pointer = 7;
}
constexpr int fault_line = __LINE__ - 2;

TAVELO_KEEP_FRAME TAVELO_NO_SANITIZE int divide(int value, int by)
{
    return value / by;
}

// A thread whose body runs a given function.
class body_thread : public mswin::thread {
public:
    explicit body_thread(void (*body)())
        : m_body(body)
    {
    }

protected:
    void run() override { m_body(); }

private:
    void (*m_body)();
};

void fault_in_thread(void (*body)())
{
    body_thread t(body);
    t.start();
    t.join();
    std::exit(0);
}

std::string line_pattern(int line)
{
    char text[32];
    std::snprintf(text, sizeof text, ", line %04d", line);
    return text;
}

// "CCCC:AAAAAAAAAAAAAAAA module[, ...]": a code segment, an address, a module.
bool is_frame_line(const std::string& line)
{
    auto hex = [&](std::size_t from, std::size_t count) {
        return line.size() >= from + count
            && line.find_first_not_of("0123456789ABCDEF", from) >= from + count;
    };
    return hex(0, 4) && line[4] == ':' && hex(5, 16) && line.size() > 22 && line[21] == ' '
        && line[22] != ',';
}

// Restarts once after an exception of a type no handler knows.
class throwing_thread : public mswin::thread {
public:
    throwing_thread() { restart = true; }
    std::vector<std::string> errors;
    int attempts = 0;

protected:
    void run() override
    {
        if (attempts++ == 0)
            throw 42;
    }
    void on_error(const std::string& text) override { errors.push_back(text); }
};

TEST(CrashReport, UnknownExceptionInAThreadGivesAReportAndTheThreadRestarts)
{
    throwing_thread t;
    t.start();
    EXPECT_FALSE(t.join());
    EXPECT_EQ(t.attempts, 2);
    ASSERT_EQ(t.errors.size(), 1u);
    const std::string& report = t.errors[0];
    EXPECT_EQ(
        report.rfind("foundation_tests caused an Microsoft C++ Exception in module foundation_tests at ", 0),
        0u)
        << report;
    EXPECT_NE(report.find("mswin::thread::guarded_call"), std::string::npos) << report;
    EXPECT_NE(report.find(" foundation_tests, mswin::thread::run_guarded()+"), std::string::npos) << report;
    EXPECT_NE(report.find("\nRAX="), std::string::npos);
    // Parts the compiler split off a function carry their function's name.
    EXPECT_EQ(report.find("[clone"), std::string::npos) << report;
    EXPECT_NE(report.find("thread.cpp, line "), std::string::npos) << report;
    EXPECT_EQ(report.back(), '\n');
    // Every line between the description and the registers is a frame.
    std::istringstream lines(report);
    std::string line;
    std::getline(lines, line);
    int frames = 0;
    while (std::getline(lines, line) && line.rfind("RAX=", 0) != 0) {
        EXPECT_TRUE(is_frame_line(line)) << line;
        ++frames;
    }
    EXPECT_GE(frames, 3);
}

TEST(CrashReport, ReportsBuiltAtOnceOnSeveralThreadsAreWholeAndSeparate)
{
    std::vector<std::string> reports(4);
    std::vector<std::thread> threads;
    for (std::string& report : reports) {
        threads.emplace_back([&report] {
            try {
                throw 1;
            } catch (...) {
                report = build_exception_report();
            }
        });
    }
    for (std::thread& t : threads)
        t.join();
    for (const std::string& report : reports) {
        EXPECT_NE(report.find(" caused an Microsoft C++ Exception"), std::string::npos);
        EXPECT_NE(report.find("\nCS="), std::string::npos);
    }
}

TEST(CrashReport, UnreadableFaultGivesTheDescriptionAndRegistersOnly)
{
    platform::debug::fault_record fault;
    fault.code = 0x12345678u;
    const std::string report = build_crash_report(fault);
    EXPECT_EQ(
        report.rfind("foundation_tests caused an  in module <UNKNOWN> at 0000:0000000000000000\nRAX=", 0), 0u)
        << report;
}

TEST(CrashReport, NullPointerFaultInAThreadIsReportedWithFunctionAndLineThenTheProcessEnds)
{
    take_crash_files();
    const std::string description = "foundation_tests caused an EXCEPTION_ACCESS_VIOLATION in module "
                                    "foundation_tests at [0-9A-F]{4}:[0-9A-F]{16}, [^\n]*fault_on_null[^\n]*"
                                    "crash_report_test\\.cpp"
        + line_pattern(fault_line);
    EXPECT_EXIT(fault_in_thread([] { fault_on_null(g_null); }), testing::KilledBySignal(SIGSEGV),
        description + ".*mswin::thread::run_guarded.*\nRAX=.*Crash report saved as " + g_crash_folder.string()
            + "/crash-[0-9]{8}-[0-9]{6}\\.txt");
    const std::vector<std::string> files = take_crash_files();
    ASSERT_EQ(files.size(), 1u);
    const std::string first_line = files[0].substr(0, files[0].find('\n'));
    EXPECT_EQ(first_line.rfind(
                  "foundation_tests caused an EXCEPTION_ACCESS_VIOLATION in module foundation_tests at ", 0),
        0u)
        << first_line;
    EXPECT_NE(first_line.find("fault_on_null"), std::string::npos) << first_line;
    EXPECT_NE(first_line.find("crash_report_test.cpp" + line_pattern(fault_line)), std::string::npos)
        << first_line;
}

TEST(CrashReport, DivisionByZeroInAThreadIsNamed)
{
    take_crash_files();
    EXPECT_EXIT(fault_in_thread([] { g_zero = divide(1, g_zero); }), testing::KilledBySignal(SIGFPE),
        "foundation_tests caused an EXCEPTION_INT_DIVIDE_BY_ZERO in module foundation_tests at "
        "[0-9A-F]{4}:[0-9A-F]{16}, [^\n]*divide");
    EXPECT_EQ(take_crash_files().size(), 1u);
}

TEST(CrashReport, FolderIsUnderXdgStateHomeOrElseUnderHome)
{
    const std::string saved_home = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("XDG_STATE_HOME", "/state", 1);
    EXPECT_EQ(crash_report_folder(), "/state/Norvane/Tavelo");
    setenv("XDG_STATE_HOME", "relative", 1);
    setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(crash_report_folder(), "/home/someone/.local/state/Norvane/Tavelo");
    setenv("XDG_STATE_HOME", g_state_home.c_str(), 1);
    setenv("HOME", saved_home.c_str(), 1);
}

} // namespace
