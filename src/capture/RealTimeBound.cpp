#include "capture/RealTimeBound.h"

#include <sched.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <mutex>

namespace pelmora {

namespace {

// Written by the signal handler: lock-free atomics only.
std::array<std::atomic<pid_t>, 64> g_fallbacks{};
static_assert(std::atomic<pid_t>::is_always_lock_free);

void OnCpuLimit(int) {
    const int saved = errno;
    // The kernel sends the signal to the thread that ran too long (none blocks SIGXCPU).
    // Raw system calls only: they are safe in a signal handler.
    const pid_t tid = static_cast<pid_t>(::syscall(SYS_gettid));
    sched_param none{};
    ::syscall(SYS_sched_setscheduler, tid, SCHED_OTHER | SCHED_RESET_ON_FORK, &none);
    for (std::atomic<pid_t>& slot : g_fallbacks) {
        pid_t empty = 0;
        if (slot.compare_exchange_strong(empty, tid) || empty == tid) break;
    }
    errno = saved;
}

void SetSoftLimit() {
    rlimit rl{};
    if (::getrlimit(RLIMIT_RTTIME, &rl) != 0) return;
    const rlim_t bound = static_cast<rlim_t>(std::chrono::microseconds(kRealTimeBound).count());
    rl.rlim_cur = rl.rlim_max == RLIM_INFINITY ? bound : std::min(bound, rl.rlim_max);
    ::setrlimit(RLIMIT_RTTIME, &rl);
}

}  // namespace

void BoundRealTime() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction sa {};
        sa.sa_handler = OnCpuLimit;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESTART;
        ::sigaction(SIGXCPU, &sa, nullptr);
        SetSoftLimit();
    });
}

std::vector<pid_t> TakeRealTimeFallbacks() {
    std::vector<pid_t> taken;
    for (std::atomic<pid_t>& slot : g_fallbacks)
        if (const pid_t tid = slot.exchange(0); tid != 0) taken.push_back(tid);
    if (!taken.empty()) SetSoftLimit();
    return taken;
}

void LiftRealTimeBound(pid_t child) {
    rlimit rl{};
    if (::prlimit(child, RLIMIT_RTTIME, nullptr, &rl) != 0) return;
    rl.rlim_cur = rl.rlim_max;
    ::prlimit(child, RLIMIT_RTTIME, &rl, nullptr);
}

}  // namespace pelmora
