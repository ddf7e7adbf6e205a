#include "capture/ThreadPriority.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>

namespace pelmora {

int ThreadPriorityNice(int priorityIndex) {
    static const int nice[] = {19, 10, 5, 0, -5, -10, -20};
    return priorityIndex >= 0 && priorityIndex < 7 ? nice[priorityIndex] : 0;
}

int PriorityClassNice(int classIndex) {
    static const int nice[] = {10, 0, -10, -15};
    return classIndex >= 0 && classIndex < 4 ? nice[classIndex] : 0;
}

int CombinedNice(int classIndex, int priorityIndex) {
    return std::clamp(PriorityClassNice(classIndex) + ThreadPriorityNice(priorityIndex), -20, 19);
}

pid_t CurrentThreadId() {
    return static_cast<pid_t>(syscall(SYS_gettid));
}

bool SetThreadNice(pid_t tid, int nice) {
    if (tid <= 0) return false;
    // On Linux a thread id addresses that one thread.
    return setpriority(PRIO_PROCESS, static_cast<id_t>(tid), nice) == 0;
}

bool ApplyThreadPriority(pid_t tid, int priorityIndex) {
    return SetThreadNice(tid, ThreadPriorityNice(priorityIndex));
}

}  // namespace pelmora
