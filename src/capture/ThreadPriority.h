// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Process priority classes (Idle, Normal, High, Realtime) and thread priorities (Idle,
// Lowest, Below Normal, Normal, Above Normal, Highest, Time Critical) of the settings, mapped
// onto the Linux scheduler by one table: a nice value for class plus level, and a real-time
// policy for the Realtime class and for Time Critical. Setting one thread to its entry.

#include <sys/types.h>

#include <string>

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
    int nice = 0;        // for SCHED_OTHER, and the fallback when a real-time policy ends or is refused
};

/// The table's entry for (class, level); out-of-range indexes read as Normal.
ThreadSchedule ScheduleFor(int classIndex, int priorityIndex);

/// "nice 5", "SCHED_FIFO 15".
std::string ScheduleText(const ThreadSchedule& s);

/// What a thread got when it was set.
struct ScheduleOutcome {
    ThreadSchedule got;
    int error = 0;  // errno of the system's refusal; 0 when the thread got what was asked
};

/// The calling thread's kernel id.
pid_t CurrentThreadId();

/// Sets thread `tid` (of this process, or the main thread of a child, by its process id)
/// once, directly to `want`: a real-time policy over its fallback nice value, or SCHED_OTHER
/// at its nice value. Where the system refuses, the nearest permitted value: the strongest
/// nice value it allows. Real-time threads get SCHED_RESET_ON_FORK unless `resetOnFork` is
/// false (a thread that starts a process which is to inherit its policy).
ScheduleOutcome SetThreadSchedule(pid_t tid, const ThreadSchedule& want, bool resetOnFork = true);

}  // namespace pelmora
