#pragma once
// Process priority classes (Idle, Normal, High, Realtime) and thread priorities (Idle,
// Lowest, Below Normal, Normal, Above Normal, Highest, Time Critical) of the settings, mapped
// onto the Linux scheduler by one table: a nice value for class plus level, and a real-time
// policy for the Realtime class and for Time Critical where the system permits it.

#include <sys/types.h>

namespace pelmora {

/// Nice value for a thread-priority index: 19, 10, 5, 0, -5, -10, -20. Out of range: 0.
int ThreadPriorityNice(int priorityIndex);

/// Nice value of a process priority class index (Idle, Normal, High, Realtime): 10, 0, -10,
/// -15. Out of range: 0.
int PriorityClassNice(int classIndex);

/// Class and thread priority combined as the scheduler sees them, within -20..19.
int CombinedNice(int classIndex, int priorityIndex);

/// How one thread is scheduled for a class and a thread level.
struct ThreadSchedule {
    int policy = 0;      // SCHED_OTHER, SCHED_RR or SCHED_FIFO
    int rtPriority = 0;  // 1..99 for the real-time policies, else 0
    int nice = 0;        // for SCHED_OTHER, and the fallback when a real-time policy is refused
};

/// The table's entry for (class, level); out-of-range indexes read as Normal.
ThreadSchedule ScheduleFor(int classIndex, int priorityIndex);

/// Whether this process may use real-time policies (RLIMIT_RTPRIO above 0 or CAP_SYS_NICE).
bool RealTimePermitted();
/// The strongest (lowest) nice value thread `tid` may be given: -20 with CAP_SYS_NICE, else
/// 20 - RLIMIT_NICE, or its present value when that is stronger.
int StrongestPermittedNice(pid_t tid);

/// What thread `tid` gets when `ScheduleFor(classIndex, level)` is applied here: the
/// real-time policy where permitted, else SCHED_OTHER at the strongest nice value permitted.
/// Timeshared rows keep the table's nice value (a refusal leaves the thread as it was).
ThreadSchedule EffectiveSchedule(int classIndex, int priorityIndex, pid_t tid);

/// The calling thread's kernel id.
pid_t CurrentThreadId();

/// Sets the nice value of one thread. A refusal (raising priority without the right to) is
/// ignored; false reports it for the caller's information.
bool SetThreadNice(pid_t tid, int nice);

/// Schedules one thread (of this or another process) by the table. Refusals are ignored;
/// false reports one for the caller's information.
bool ApplySchedule(pid_t tid, int classIndex, int priorityIndex);

/// ApplySchedule with the Normal class.
bool ApplyThreadPriority(pid_t tid, int priorityIndex);

/// The class with the Normal level for every thread of this process: the class of the
/// program's own process. Threads with levels of their own are set after it.
void ApplyProcessClass(int classIndex);

}  // namespace pelmora
