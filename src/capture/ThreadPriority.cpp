// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/ThreadPriority.h"

#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "capture/RealTimeBound.h"

namespace pelmora {

namespace {

constexpr int kClasses = 4;
constexpr int kLevels = 7;
constexpr int kNormalClass = 1;
constexpr int kNormalLevel = 3;
constexpr int kRealtimeClass = 3;
constexpr int kTimeCritical = 6;

// The one table. Nice: class base plus level step, within -20..19. The Realtime class runs
// every level under SCHED_RR (real-time priorities 1..7 above anything timeshared) and
// Time Critical under SCHED_FIFO (15 in the Realtime class, 1 in the others).
constexpr int kClassNice[kClasses] = {10, 0, -10, -15};
constexpr int kLevelNice[kLevels] = {19, 10, 5, 0, -5, -10, -20};
constexpr int kRealtimeClassRr[kLevels] = {1, 2, 3, 4, 5, 6, 0};
constexpr int kTimeCriticalFifo[kClasses] = {1, 1, 1, 15};

bool IsRealTime(int policy) { return policy == SCHED_FIFO || policy == SCHED_RR; }

int CurrentNice(pid_t tid) {
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
    return errno == 0 ? nice : 0;
}

// Sets the nice value, or the nearest one permitted when the system refuses: an ordinary
// user may lower a priority, and raise it only as far as RLIMIT_NICE allows (20 - limit).
int SetNiceNearest(pid_t tid, int want, int* error) {
    if (setpriority(PRIO_PROCESS, static_cast<id_t>(tid), want) == 0) return want;
    *error = errno;
    const int present = CurrentNice(tid);
    rlimit rl{};
    int floor = present;
    if (getrlimit(RLIMIT_NICE, &rl) == 0)
        floor = rl.rlim_cur == RLIM_INFINITY ? -20 : static_cast<int>(20 - std::min<rlim_t>(rl.rlim_cur, 40));
    const int nearest = std::max(want, std::min(present, floor));
    if (nearest != present && setpriority(PRIO_PROCESS, static_cast<id_t>(tid), nearest) == 0) return nearest;
    return present;
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
    } else if (classIndex == kRealtimeClass) {
        s.policy = SCHED_RR;
        s.rtPriority = kRealtimeClassRr[priorityIndex];
    } else {
        s.policy = SCHED_OTHER;
    }
    return s;
}

std::string ScheduleText(const ThreadSchedule& s) {
    if (s.policy == SCHED_FIFO) return "SCHED_FIFO " + std::to_string(s.rtPriority);
    if (s.policy == SCHED_RR) return "SCHED_RR " + std::to_string(s.rtPriority);
    return "nice " + std::to_string(s.nice);
}

pid_t CurrentThreadId() {
    return static_cast<pid_t>(syscall(SYS_gettid));
}

ScheduleOutcome SetThreadSchedule(pid_t tid, const ThreadSchedule& want, bool resetOnFork) {
    ScheduleOutcome out;
    if (tid <= 0) {
        out.error = ESRCH;
        return out;
    }
    // An ordinary user may not clear SCHED_RESET_ON_FORK once set, so every change keeps it.
    const int flags = resetOnFork ? SCHED_RESET_ON_FORK : 0;
    int present = sched_getscheduler(tid);
    if (present < 0) {
        out.error = errno;
        return out;
    }
    present &= ~SCHED_RESET_ON_FORK;
    // The nice value first: it is what a real-time thread falls back to.
    int niceError = 0;
    out.got.nice = SetNiceNearest(tid, want.nice, &niceError);
    out.got.policy = SCHED_OTHER;
    if (IsRealTime(want.policy)) {
        BoundRealTime();
        sched_param param{};
        param.sched_priority = want.rtPriority;
        if (sched_setscheduler(tid, want.policy | flags, &param) == 0) {
            out.got.policy = want.policy;
            out.got.rtPriority = want.rtPriority;
            return out;
        }
        out.error = errno;
        // RLIMIT_RTPRIO may allow a lower real-time priority.
        rlimit rl{};
        if (getrlimit(RLIMIT_RTPRIO, &rl) == 0 && rl.rlim_cur > 0 &&
            rl.rlim_cur < static_cast<rlim_t>(want.rtPriority)) {
            param.sched_priority = static_cast<int>(rl.rlim_cur);
            if (sched_setscheduler(tid, want.policy | flags, &param) == 0) {
                out.got.policy = want.policy;
                out.got.rtPriority = param.sched_priority;
                return out;
            }
        }
        if (IsRealTime(present)) {
            sched_param none{};
            sched_setscheduler(tid, SCHED_OTHER | flags, &none);
        }
        return out;
    }
    if (present != SCHED_OTHER) {
        sched_param none{};
        if (sched_setscheduler(tid, SCHED_OTHER | flags, &none) != 0) {
            out.error = errno;
            out.got.policy = present;
        }
    }
    if (niceError != 0 && out.error == 0) out.error = niceError;
    return out;
}

}  // namespace pelmora
