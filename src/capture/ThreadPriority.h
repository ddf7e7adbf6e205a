#pragma once
// Thread priorities of the settings (index 0..6: Idle, Lowest, Below Normal, Normal,
// Above Normal, Highest, Time Critical) mapped onto per-thread nice values.

#include <sys/types.h>

namespace pelmora {

/// Nice value for a thread-priority index: 19, 10, 5, 0, -5, -10, -20. Out of range: 0.
int ThreadPriorityNice(int priorityIndex);

/// Nice value of a process priority class index (Idle, Normal, High, Realtime): 10, 0, -10,
/// -15. Out of range: 0.
int PriorityClassNice(int classIndex);

/// Class and thread priority combined as the scheduler sees them, within -20..19.
int CombinedNice(int classIndex, int priorityIndex);

/// The calling thread's kernel id.
pid_t CurrentThreadId();

/// Sets the nice value of one thread. A refusal (raising priority without the right to) is
/// ignored; false reports it for the caller's information.
bool SetThreadNice(pid_t tid, int nice);

/// SetThreadNice with ThreadPriorityNice(priorityIndex).
bool ApplyThreadPriority(pid_t tid, int priorityIndex);

}  // namespace pelmora
