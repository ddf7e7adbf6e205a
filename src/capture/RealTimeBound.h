// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The bound on real-time threads: RLIMIT_RTTIME makes the kernel send SIGXCPU to a thread
// that runs under SCHED_FIFO or SCHED_RR for longer than kRealTimeBound without blocking;
// the handler puts that thread back under SCHED_OTHER, at the nice value it already holds,
// and notes it for the supervision to report.

#include <sys/types.h>

#include <chrono>
#include <vector>

namespace pelmora {

constexpr std::chrono::milliseconds kRealTimeBound{200};

/// Installs the SIGXCPU handler once and sets the soft RLIMIT_RTTIME to kRealTimeBound (the
/// hard limit stays). Called before any thread of the process is given a real-time policy.
void BoundRealTime();

/// Threads that fell back to SCHED_OTHER since the last call; sets the soft limit back
/// (the kernel raises it by a second at every SIGXCPU).
std::vector<pid_t> TakeRealTimeFallbacks();

/// Lifts the bound for a child that inherited it (an outside program does not expect
/// SIGXCPU, which would end it); ChildRealTimeWatch bounds it instead.
void LiftRealTimeBound(pid_t child);

/// The bound for a child process, checked by the supervision once a second: a child that
/// used kRealTimeBound of processor time under a real-time policy since the last check
/// without blocking once is put back under SCHED_OTHER, at its nice value.
class ChildRealTimeWatch {
public:
    /// True when `child` fell back at this check.
    bool Check(pid_t child);

private:
    pid_t child_ = 0;
    unsigned long long cpuTicks_ = 0;
    unsigned long long blocks_ = 0;
};

}  // namespace pelmora
