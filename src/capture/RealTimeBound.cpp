// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/RealTimeBound.h"

#include <sched.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
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

namespace {

// Processor time (utime + stime, fields 14 and 15) and voluntary switches of a process.
bool ReadUsage(pid_t pid, unsigned long long* ticks, unsigned long long* blocks) {
    const std::string dir = "/proc/" + std::to_string(pid);
    std::ifstream stat(dir + "/stat");
    std::string text;
    if (!std::getline(stat, text)) return false;
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos) return false;
    std::istringstream fields(text.substr(close + 2));
    std::string f;
    unsigned long long utime = 0, stime = 0;
    for (int field = 3; field <= 15 && fields >> f; ++field) {
        if (field == 14) utime = std::strtoull(f.c_str(), nullptr, 10);
        if (field == 15) stime = std::strtoull(f.c_str(), nullptr, 10);
    }
    *ticks = utime + stime;
    std::ifstream status(dir + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("voluntary_ctxt_switches:", 0) == 0) {
            *blocks = std::strtoull(line.c_str() + 24, nullptr, 10);
            return true;
        }
    }
    return false;
}

}  // namespace

bool ChildRealTimeWatch::Check(pid_t child) {
    unsigned long long ticks = 0, blocks = 0;
    if (child <= 0 || !ReadUsage(child, &ticks, &blocks)) {
        child_ = 0;
        return false;
    }
    const bool known = child == child_;
    const unsigned long long ran = ticks - cpuTicks_;
    const bool blocked = blocks != blocks_;
    child_ = child;
    cpuTicks_ = ticks;
    blocks_ = blocks;
    const int policy = ::sched_getscheduler(child) & ~SCHED_RESET_ON_FORK;
    if (!known || blocked || (policy != SCHED_FIFO && policy != SCHED_RR)) return false;
    const long hz = ::sysconf(_SC_CLK_TCK);
    if (hz <= 0 || ran * 1000 < static_cast<unsigned long long>(kRealTimeBound.count()) * hz) return false;
    sched_param none{};
    return ::sched_setscheduler(child, SCHED_OTHER | SCHED_RESET_ON_FORK, &none) == 0;
}

void LiftRealTimeBound(pid_t child) {
    rlimit rl{};
    if (::prlimit(child, RLIMIT_RTTIME, nullptr, &rl) != 0) return;
    rl.rlim_cur = rl.rlim_max;
    ::prlimit(child, RLIMIT_RTTIME, &rl, nullptr);
}

}  // namespace pelmora
