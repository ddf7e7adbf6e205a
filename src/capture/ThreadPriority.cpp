#include "capture/ThreadPriority.h"

#include <dirent.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <string>

namespace pelmora {

namespace {

constexpr int kClasses = 4;
constexpr int kLevels = 7;
constexpr int kNormalClass = 1;
constexpr int kNormalLevel = 3;
constexpr int kTimeCritical = 6;

// The one table. Nice: class base plus level step, within -20..19. The Realtime class runs
// every level under SCHED_RR (real-time priorities 1..7 above anything timeshared) and
// Time Critical under SCHED_FIFO (15 in the Realtime class, 1 in the others).
constexpr int kClassNice[kClasses] = {10, 0, -10, -15};
constexpr int kLevelNice[kLevels] = {19, 10, 5, 0, -5, -10, -20};
constexpr int kRealtimeClassRr[kLevels] = {1, 2, 3, 4, 5, 6, 0};
constexpr int kTimeCriticalFifo[kClasses] = {1, 1, 1, 15};

bool HasCapSysNice() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("CapEff:", 0) != 0) continue;
        const unsigned long long caps = std::strtoull(line.c_str() + 7, nullptr, 16);
        return (caps >> 23) & 1ULL;  // CAP_SYS_NICE
    }
    return false;
}

}  // namespace

int ThreadPriorityNice(int priorityIndex) {
    return priorityIndex >= 0 && priorityIndex < kLevels ? kLevelNice[priorityIndex] : 0;
}

int PriorityClassNice(int classIndex) {
    return classIndex >= 0 && classIndex < kClasses ? kClassNice[classIndex] : 0;
}

int CombinedNice(int classIndex, int priorityIndex) {
    return std::clamp(PriorityClassNice(classIndex) + ThreadPriorityNice(priorityIndex), -20, 19);
}

ThreadSchedule ScheduleFor(int classIndex, int priorityIndex) {
    if (classIndex < 0 || classIndex >= kClasses) classIndex = kNormalClass;
    if (priorityIndex < 0 || priorityIndex >= kLevels) priorityIndex = kNormalLevel;
    ThreadSchedule s;
    s.nice = CombinedNice(classIndex, priorityIndex);
    if (priorityIndex == kTimeCritical) {
        s.policy = SCHED_FIFO;
        s.rtPriority = kTimeCriticalFifo[classIndex];
    } else if (classIndex == 3) {
        s.policy = SCHED_RR;
        s.rtPriority = kRealtimeClassRr[priorityIndex];
    } else {
        s.policy = SCHED_OTHER;
    }
    return s;
}

bool RealTimePermitted() {
    rlimit rl{};
    if (getrlimit(RLIMIT_RTPRIO, &rl) == 0 && rl.rlim_cur > 0) return true;
    return HasCapSysNice();
}

int StrongestPermittedNice(pid_t tid) {
    if (HasCapSysNice()) return -20;
    errno = 0;
    int present = getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
    if (errno != 0) present = 19;
    rlimit rl{};
    if (getrlimit(RLIMIT_NICE, &rl) != 0) return present;
    const long long limit = rl.rlim_cur == RLIM_INFINITY ? 40 : static_cast<long long>(rl.rlim_cur);
    return std::min(present, static_cast<int>(std::clamp(20LL - limit, -20LL, 19LL)));
}

ThreadSchedule EffectiveSchedule(int classIndex, int priorityIndex, pid_t tid) {
    ThreadSchedule s = ScheduleFor(classIndex, priorityIndex);
    if (s.policy == SCHED_OTHER) return s;
    if (RealTimePermitted()) {
        rlimit rl{};
        if (!HasCapSysNice() && getrlimit(RLIMIT_RTPRIO, &rl) == 0 && rl.rlim_cur != RLIM_INFINITY)
            s.rtPriority = std::min<int>(s.rtPriority, static_cast<int>(rl.rlim_cur));
        return s;
    }
    s.policy = SCHED_OTHER;
    s.rtPriority = 0;
    s.nice = std::max(-20, StrongestPermittedNice(tid));
    return s;
}

pid_t CurrentThreadId() {
    return static_cast<pid_t>(syscall(SYS_gettid));
}

bool SetThreadNice(pid_t tid, int nice) {
    if (tid <= 0) return false;
    // On Linux a thread id addresses that one thread.
    return setpriority(PRIO_PROCESS, static_cast<id_t>(tid), nice) == 0;
}

bool ApplySchedule(pid_t tid, int classIndex, int priorityIndex) {
    if (tid <= 0) return false;
    const ThreadSchedule s = EffectiveSchedule(classIndex, priorityIndex, tid);
    sched_param param{};
    param.sched_priority = s.rtPriority;
    if (s.policy != SCHED_OTHER) return sched_setscheduler(tid, s.policy, &param) == 0;
    // Back to timesharing first (a thread may come from a real-time level), then its nice.
    bool ok = true;
    if (sched_getscheduler(tid) != SCHED_OTHER) ok = sched_setscheduler(tid, SCHED_OTHER, &param) == 0;
    return SetThreadNice(tid, s.nice) && ok;
}

bool ApplyThreadPriority(pid_t tid, int priorityIndex) {
    return ApplySchedule(tid, kNormalClass, priorityIndex);
}

void ApplyProcessClass(int classIndex) {
    DIR* dir = opendir("/proc/self/task");
    if (!dir) return;
    while (dirent* e = readdir(dir)) {
        const int tid = std::atoi(e->d_name);
        if (tid > 0) ApplySchedule(tid, classIndex, kNormalLevel);  // refusals ignored
    }
    closedir(dir);
}

}  // namespace pelmora
