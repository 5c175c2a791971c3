#include "platform/kernel/thread.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <optional>

#include <linux/capability.h>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "platform/kernel/system_error.h"

namespace platform {

namespace {

enum class gate { closed, open, abandoned };

thread_local std::atomic<int> t_own_priority { THREAD_PRIORITY_NORMAL };
// Points into the thread's shared state for threads created here, so that a
// priority set through the handle is what the thread itself reads.
thread_local std::atomic<int>* t_priority = nullptr;

std::atomic<int>& own_priority()
{
    if (t_priority == nullptr)
        t_priority = &t_own_priority;
    return *t_priority;
}

// Priorities become nice values, five steps per priority step.
int nice_for(int priority)
{
    return std::clamp(-5 * priority, -20, 19);
}

// Whether the calling thread may set a thread of this process to `nice`:
// with the capability to raise priorities, or within the nice limit.
bool may_set_nice(int nice)
{
    __user_cap_header_struct header { _LINUX_CAPABILITY_VERSION_3, 0 };
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] {};
    if (syscall(SYS_capget, &header, data) == 0 && (data[0].effective & (1u << CAP_SYS_NICE)) != 0)
        return true;
    rlimit limit {};
    if (getrlimit(RLIMIT_NICE, &limit) != 0)
        return false;
    return nice >= 20 - static_cast<int>(std::min<rlim_t>(limit.rlim_cur, 40));
}

// Best effort: a raise the system does not permit goes only as far as the
// process's nice limit allows, and never below the current priority. A
// thread with a `base` (its nice when it was made raisable) is lowered only
// when it could be raised back to the base afterwards: the system may let
// a process lower a thread for good, and a thread that serves callers of
// higher priority again would then stay below them.
void apply_priority(pid_t tid, int priority, std::optional<int> base = std::nullopt)
{
    const int target = nice_for(priority);
    errno = 0;
    const int current = getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
    if (current == -1 && errno != 0)
        return;
    if (target == current)
        return;
    if (target > current && base && !may_set_nice(*base))
        return;
    if (setpriority(PRIO_PROCESS, static_cast<id_t>(tid), target) == 0)
        return;
    rlimit limit {};
    if (target > current || getrlimit(RLIMIT_NICE, &limit) != 0)
        return;
    const int floor = 20 - static_cast<int>(std::min<rlim_t>(limit.rlim_cur, 40));
    const int permitted = std::max(target, floor);
    if (permitted < current)
        setpriority(PRIO_PROCESS, static_cast<id_t>(tid), permitted);
}

} // namespace

struct thread::state {
    std::shared_ptr<detail::wait_object> ended;
    thread::procedure body = nullptr;
    void* argument = nullptr;
    pthread_t handle {};
    unsigned exit_code = 0;
    std::atomic<int> priority { THREAD_PRIORITY_NORMAL };

    std::mutex mutex;
    std::condition_variable changed;
    pid_t tid = 0; // under mutex until published, then constant
    // The nice value a raisable thread must be able to come back to; set
    // before the thread's priority changes, by the owner's thread.
    std::optional<int> raisable_base;
    gate start = gate::closed;
    bool joined = false;

    static void* main(void* context);
};

void* thread::state::main(void* context)
{
    // The thread owns a reference of its own, so it may outlive the handle.
    std::shared_ptr<state> self = std::move(*static_cast<std::shared_ptr<state>*>(context));
    delete static_cast<std::shared_ptr<state>*>(context);
    gate start;
    {
        std::unique_lock lock(self->mutex);
        self->tid = gettid();
        self->changed.notify_all();
        self->changed.wait(lock, [&] { return self->start != gate::closed; });
        start = self->start;
    }
    if (start == gate::open) {
        t_priority = &self->priority;
        self->exit_code = self->body(self->argument);
        // The state may go with `self` below, before the destructors of the
        // thread's thread-local objects run; they read the last priority.
        t_own_priority = self->priority.load();
        t_priority = &t_own_priority;
    }
    detail::signal(*self->ended);
    return nullptr;
}

thread::thread()
    : waitable(true, false)
{
}

thread::~thread()
{
    if (!m_state)
        return;
    std::lock_guard lock(m_state->mutex);
    if (m_state->start == gate::closed) {
        m_state->start = gate::abandoned;
        m_state->changed.notify_all();
    }
    if (!m_state->joined)
        pthread_detach(m_state->handle);
}

bool thread::create(procedure body, void* argument)
{
    if (m_state) {
        set_last_error(EINVAL);
        return false;
    }
    auto created = std::make_shared<state>();
    created->ended = object();
    created->body = body;
    created->argument = argument;
    auto* context = new std::shared_ptr<state>(created);
    const int error = pthread_create(&created->handle, nullptr, &state::main, context);
    if (error != 0) {
        delete context;
        set_last_error(error);
        return false;
    }
    // The id is needed before the thread runs: its priority is set by id.
    std::unique_lock lock(created->mutex);
    created->changed.wait(lock, [&] { return created->tid != 0; });
    m_state = std::move(created);
    return true;
}

void thread::resume()
{
    if (!m_state)
        return;
    std::lock_guard lock(m_state->mutex);
    if (m_state->start == gate::closed) {
        m_state->start = gate::open;
        m_state->changed.notify_all();
    }
}

unsigned thread::join()
{
    if (!m_state)
        return 0;
    {
        // A thread that was never resumed would wait at its gate for ever:
        // it ends without running its procedure.
        std::lock_guard lock(m_state->mutex);
        if (m_state->start == gate::closed) {
            m_state->start = gate::abandoned;
            m_state->changed.notify_all();
        }
    }
    wait();
    std::lock_guard lock(m_state->mutex);
    if (!m_state->joined) {
        pthread_join(m_state->handle, nullptr);
        m_state->joined = true;
    }
    return m_state->exit_code;
}

void thread::set_priority(int priority)
{
    if (!m_state)
        return;
    m_state->priority = priority;
    apply_priority(m_state->tid, priority, m_state->raisable_base);
}

void thread::keep_raisable()
{
    if (!m_state || m_state->raisable_base)
        return;
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(m_state->tid));
    m_state->raisable_base = nice == -1 && errno != 0 ? nice_for(THREAD_PRIORITY_NORMAL) : nice;
}

int thread::priority() const
{
    return m_state ? m_state->priority.load() : THREAD_PRIORITY_NORMAL;
}

long thread::id() const
{
    return m_state ? m_state->tid : 0;
}

int current_thread_priority()
{
    return own_priority();
}

void set_current_thread_priority(int priority)
{
    own_priority() = priority;
    apply_priority(gettid(), priority);
}

} // namespace platform
