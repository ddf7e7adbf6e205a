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
/// SIGXCPU, which would end it).
void LiftRealTimeBound(pid_t child);

}  // namespace pelmora
