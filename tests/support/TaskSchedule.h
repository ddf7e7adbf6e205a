// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How the kernel schedules the threads of this process and its children, read from /proc.

#include <dirent.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/types.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace pelmora::test {

struct TaskSchedule {
    int nice = 0;
    int policy = -1;  // without SCHED_RESET_ON_FORK
    std::string name;
};

inline std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

/// Nice value (field 19), policy (field 41) and name of a task: "/proc/PID" or "/proc/self/task/TID".
inline TaskSchedule ReadSchedule(const std::string& taskDir) {
    TaskSchedule t;
    const std::string stat = ReadText(taskDir + "/stat");
    const std::size_t open = stat.find('(');
    const std::size_t close = stat.rfind(')');
    if (open == std::string::npos || close == std::string::npos) return t;
    t.name = stat.substr(open + 1, close - open - 1);
    std::vector<std::string> fields;  // fields[0] is field 3
    std::istringstream rest(stat.substr(close + 2));
    for (std::string f; rest >> f;) fields.push_back(f);
    if (fields.size() > 38) {
        t.nice = std::atoi(fields[16].c_str());
        t.policy = std::atoi(fields[38].c_str());
    }
    return t;
}

inline TaskSchedule ThreadSchedule(pid_t tid) { return ReadSchedule("/proc/self/task/" + std::to_string(tid)); }
inline TaskSchedule ProcessSchedule(pid_t pid) { return ReadSchedule("/proc/" + std::to_string(pid)); }

/// Every thread of this process.
inline std::vector<pid_t> ThreadIds() {
    std::vector<pid_t> ids;
    if (DIR* dir = ::opendir("/proc/self/task")) {
        while (dirent* e = ::readdir(dir))
            if (const int tid = std::atoi(e->d_name); tid > 0) ids.push_back(tid);
        ::closedir(dir);
    }
    return ids;
}

/// Whether this user may give a thread a lower nice value than 0 (CAP_SYS_NICE or
/// RLIMIT_NICE), tried on a thread of its own.
inline bool RaisingPermitted() {
    bool permitted = false;
    std::thread probe([&] { permitted = ::setpriority(PRIO_PROCESS, 0, -1) == 0; });
    probe.join();
    return permitted;
}

/// Whether this user may run a thread under SCHED_FIFO, tried on a thread of its own.
inline bool RealTimeAllowed() {
    bool permitted = false;
    std::thread probe([&] {
        sched_param p{};
        p.sched_priority = 1;
        permitted = ::sched_setscheduler(0, SCHED_FIFO, &p) == 0;
    });
    probe.join();
    return permitted;
}

}  // namespace pelmora::test
