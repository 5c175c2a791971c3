// The temporaries of writers and their clean-up: a writer shows that it runs
// by its lock alone, so a render elsewhere (another PID namespace, another
// machine) keeps its file whatever process number the name carries, and a
// temporary that no one holds is removed.

#include "platform/kernel/temporary_file.h"

#include "platform/tests/avi_samples.h"
#include "platform/tests/folder_test.h"
#include "platform/video/avi_file.h"
#include "platform/video/avi_writer.h"
#include "platform/video/video_compressor.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
namespace t = platform::testing;

class TemporaryFile : public t::folder_test {
protected:
    // The names in the folder that end in ".tmp".
    std::vector<std::string> temporaries() const
    {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(m_folder)) {
            const std::string name = e.path().filename().string();
            if (name.size() > 4 && name.substr(name.size() - 4) == ".tmp")
                names.push_back(name);
        }
        return names;
    }
};

// Opens an AVI file at `path` and writes two uncompressed frames: a render
// in progress. 0 or the first error.
int start_render(platform::avi_writer& w, const std::string& path)
{
    if (const int error = w.open(path))
        return error;
    platform::AVISTREAMINFO info;
    info.fccType = platform::streamtypeVIDEO;
    info.fccHandler = platform::mmioFOURCC('D', 'I', 'B', ' ');
    info.dwScale = 1;
    info.dwRate = 25;
    t::avi_layout layout;
    const auto samples = t::uncompressed_samples(8, 8, 2, 24, false, layout);
    if (const int error = w.create_stream(info, 8, 8))
        return error;
    if (const int error = w.set_format(layout.format))
        return error;
    for (const auto& s : samples)
        if (const int error = w.write(s.data.data(), std::uint32_t(s.data.size()), platform::AVIIF_KEYFRAME))
            return error;
    return 0;
}

// Whether another opening of `path` can take a read lock on it.
bool lockable(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct flock range { };
    range.l_type = F_RDLCK;
    range.l_whence = SEEK_SET;
    const bool taken = ::fcntl(fd, F_OFD_SETLK, &range) == 0;
    ::close(fd);
    return taken;
}

TEST_F(TemporaryFile, StaysLockedFromItsMakingUntilItIsInPlace)
{
    platform::temporary_file temporary;
    ASSERT_EQ(temporary.create(file("a.avi"), 0644), 0);
    const std::string made = temporary.path();
    EXPECT_EQ(made.rfind(file("a.avi.~" + std::to_string(::getpid()) + "."), 0), 0u) << made;
    EXPECT_FALSE(lockable(made));
    // Closing the written descriptor keeps the lock: the file is not yet in
    // place, and a clean-up must not take it for a leftover.
    EXPECT_EQ(temporary.close_descriptor(), 0);
    EXPECT_FALSE(lockable(made));
    EXPECT_EQ(temporary.member(7), made.substr(0, made.size() - 4) + ".7.tmp");
    EXPECT_EQ(temporary.move_to(file("a.avi")), 0);
    EXPECT_FALSE(temporary.held());
    EXPECT_TRUE(temporary.path().empty());
    EXPECT_FALSE(fs::exists(made));
    EXPECT_TRUE(lockable(file("a.avi")));
    temporary.remove();
    EXPECT_TRUE(fs::exists(file("a.avi")));

    // An object that ends holding its file removes it.
    std::string left;
    {
        platform::temporary_file other;
        ASSERT_EQ(other.create(file("b.avi"), 0644), 0);
        left = other.path();
    }
    EXPECT_FALSE(fs::exists(left));
    EXPECT_TRUE(temporaries().empty());
}

// One end of a pipe, closed with its owner.
struct pipe_end {
    int fd = -1;
    pipe_end() = default;
    pipe_end(const pipe_end&) = delete;
    pipe_end& operator=(const pipe_end&) = delete;
    ~pipe_end() { close(); }
    void close()
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
    bool put(char c) const { return ::write(fd, &c, 1) == 1; }
    bool get(char& c) const { return ::read(fd, &c, 1) == 1; }
};

// A pipe whose ends each process keeps or closes, so that no process waits
// on a pipe whose other end it holds itself.
struct channel {
    pipe_end in;
    pipe_end out;
    channel()
    {
        int fds[2];
        if (::pipe(fds) == 0) {
            in.fd = fds[0];
            out.fd = fds[1];
        }
    }
};

// The command a render in another process waits for: complete its file, or
// end as a crash would, leaving it.
constexpr char complete = 'c';
constexpr char crash = 'x';

// A render of `path` in a child process that is process `number` of a PID
// namespace of its own. It tells through `ready` ('r') that its file is
// open, then takes its command; its exit status is 0 once its file is in
// place. Ending the object without a command ends the render too.
class render_in_another_pid_namespace {
public:
    render_in_another_pid_namespace(pid_t number, const std::string& path)
    {
        channel made;
        m_child = ::fork();
        if (m_child == 0) {
            made.in.close();
            m_ready.in.close();
            m_command.out.close();
            if (::unshare(CLONE_NEWPID) != 0 && ::unshare(CLONE_NEWUSER | CLONE_NEWPID) != 0)
                ::_exit(100);
            if (!made.out.put('y'))
                ::_exit(101);
            made.out.close();
            run_namespace(number, path);
        }
        made.out.close();
        m_ready.out.close();
        m_command.in.close();
        char answer = 0;
        m_started = m_child > 0 && made.in.get(answer);
    }
    ~render_in_another_pid_namespace()
    {
        m_command.out.close();
        wait();
    }

    // False when this machine allows no such namespace.
    bool started() const { return m_started; }
    bool ready()
    {
        char answer = 0;
        return m_ready.in.get(answer) && answer == 'r';
    }
    bool command(char c) { return m_command.out.put(c); }
    // The render's exit status; -1 when it did not exit.
    int wait()
    {
        if (m_child <= 0)
            return m_status;
        int status = 0;
        if (::waitpid(m_child, &status, 0) == m_child && WIFEXITED(status))
            m_status = WEXITSTATUS(status);
        m_child = 0;
        return m_status;
    }

private:
    // The namespace's first process makes processes until the next one has
    // the number asked for, which renders.
    [[noreturn]] void run_namespace(pid_t number, const std::string& path)
    {
        const pid_t first = ::fork();
        if (first == 0) {
            for (;;) {
                const pid_t next = ::fork();
                if (next == 0) {
                    if (::getpid() != number)
                        ::_exit(0);
                    platform::avi_writer w;
                    char answer = 0;
                    if (!m_ready.out.put(start_render(w, path) == 0 ? 'r' : 'f') || !m_command.in.get(answer))
                        ::_exit(102);
                    if (answer == crash)
                        ::_exit(103);
                    ::_exit(w.close() == 0 ? 0 : 104);
                }
                int status = 0;
                if (next < 0 || ::waitpid(next, &status, 0) != next || next > number)
                    ::_exit(105);
                if (next == number)
                    ::_exit(WIFEXITED(status) ? WEXITSTATUS(status) : 106);
            }
        }
        int status = 0;
        ::waitpid(first, &status, 0);
        ::_exit(WIFEXITED(status) ? WEXITSTATUS(status) : 107);
    }

    channel m_ready;
    channel m_command;
    pid_t m_child = 0;
    bool m_started = false;
    int m_status = -1;
};

// The lowest process number above 1 that no process of this namespace has.
pid_t unused_process_number()
{
    for (pid_t p = 2; p < 100000; ++p)
        if (::kill(p, 0) != 0 && errno == ESRCH)
            return p;
    return 0;
}

// A render by a second instance in a container or sandbox names its file
// after a process number that means nothing here: a render starting in the
// same folder keeps the file while that render holds it, and removes it
// once the render has died without completing it.
TEST_F(TemporaryFile, RenderInAnotherPidNamespaceKeepsItsFileUntilItEnds)
{
    for (const char command : { complete, crash }) {
        const pid_t number = unused_process_number();
        ASSERT_GT(number, 1);
        render_in_another_pid_namespace other(number, file("render.avi"));
        if (!other.started())
            GTEST_SKIP() << "this machine makes no PID namespace for the test";
        ASSERT_TRUE(other.ready());
        const std::vector<std::string> held = temporaries();
        ASSERT_EQ(held.size(), 1u);
        EXPECT_EQ(held[0].rfind("render.avi.~" + std::to_string(number) + ".", 0), 0u) << held[0];

        // A render starts beside it while it runs.
        platform::avi_writer second;
        ASSERT_EQ(start_render(second, file("second.avi")), 0);
        EXPECT_TRUE(fs::exists(file(held[0]))) << "the running render lost its file";

        ASSERT_TRUE(other.command(command));
        if (command == complete) {
            EXPECT_EQ(other.wait(), 0);
            platform::avi_file done;
            done.open(file("render.avi"));
            EXPECT_EQ(done.length(), 2);
        } else {
            EXPECT_EQ(other.wait(), 103);
            // Its file stays behind until the next render starts.
            EXPECT_TRUE(fs::exists(file(held[0])));
            platform::avi_writer third;
            ASSERT_EQ(start_render(third, file("third.avi")), 0);
            EXPECT_FALSE(fs::exists(file(held[0]))) << "an abandoned file was kept";
            third.discard();
        }
        second.discard();
        EXPECT_TRUE(temporaries().empty());
        fs::remove(file("render.avi"));
    }
}

// A child process, waited for when the object ends.
struct child_process {
    pid_t pid = 0;
    child_process() = default;
    child_process(const child_process&) = delete;
    child_process& operator=(const child_process&) = delete;
    ~child_process() { wait(); }
    bool wait()
    {
        const bool ended = pid > 0 && ::waitpid(pid, nullptr, 0) == pid;
        pid = 0;
        return ended;
    }
};

// Makes the test process the parent of its children's orphans, so that it
// can wait for them.
struct orphans_come_here {
    orphans_come_here() { ::prctl(PR_SET_CHILD_SUBREAPER, 1); }
    ~orphans_come_here() { ::prctl(PR_SET_CHILD_SUBREAPER, 0); }
};

// Where no PID namespace can be made: the writer's process has ended and
// its number is free, but the open file, and so the lock, passed to a
// child that still runs. The lock decides, not the number.
TEST_F(TemporaryFile, FileLockedByAProcessOtherThanTheOneItsNameTellsIsKept)
{
    orphans_come_here reaper;
    child_process holder;
    channel ready;
    channel go;
    const pid_t writer = ::fork();
    if (writer == 0) {
        ready.in.close();
        go.out.close();
        platform::avi_writer w;
        if (start_render(w, file("render.avi")) != 0)
            ::_exit(1);
        const pid_t child = ::fork();
        if (child == 0) {
            char command = 0;
            ::_exit(go.in.get(command) ? 0 : 1);
        }
        ::_exit(::write(ready.out.fd, &child, sizeof child) == sizeof child ? 0 : 1);
    }
    ready.out.close();
    go.in.close();
    ASSERT_GT(writer, 0);
    int status = 0;
    ASSERT_EQ(::waitpid(writer, &status, 0), writer);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ASSERT_EQ(::read(ready.in.fd, &holder.pid, sizeof holder.pid), ssize_t(sizeof holder.pid));
    const std::vector<std::string> held = temporaries();
    ASSERT_EQ(held.size(), 1u);
    EXPECT_EQ(held[0].rfind("render.avi.~" + std::to_string(writer) + ".", 0), 0u) << held[0];

    platform::avi_writer second;
    ASSERT_EQ(start_render(second, file("second.avi")), 0);
    EXPECT_TRUE(fs::exists(file(held[0]))) << "a locked file was removed";

    // Once its holder has ended, the file is abandoned.
    ASSERT_TRUE(go.out.put('g'));
    ASSERT_TRUE(holder.wait());
    platform::avi_writer third;
    ASSERT_EQ(start_render(third, file("third.avi")), 0);
    EXPECT_FALSE(fs::exists(file(held[0])));
    second.discard();
    third.discard();
    EXPECT_TRUE(temporaries().empty());
}

} // namespace
