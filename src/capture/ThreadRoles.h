// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Which of the priority settings governs each thread of the process, and the starting of
// threads and processes so that each runs at its own level from its first instruction.
//
// A new thread or process inherits its creator's nice value and policy, and an ordinary
// user can never raise a nice value again. So nothing is started from a thread whose level
// was set: every thread and process goes out from the launcher, a thread that keeps the
// priority the process started with, and is set to its final values before it runs.

#include <sys/types.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "capture/RealTimeBound.h"
#include "capture/ThreadPriority.h"
#include "recording/LogSink.h"

namespace pelmora {

/// What a thread serves, and so whose setting it follows.
enum class ThreadRole {
    Process,     // anything else: the process class at the Normal level
    Interface,   // the main window's thread
    Receive,     // the receiving thread and the capture device's threads, a library's among them
    Preprocess,
    Writer,
    Encoder,     // the encoder process and the thread reading its console
};

/// The seven priority settings, as schedules per role.
struct PriorityPlan {
    int processClass = 1, uiLevel = 3, receiveLevel = 3, preprocessLevel = 3, writerLevel = 3;
    int encoderClass = 1, encoderLevel = 3;
    ThreadSchedule For(ThreadRole role) const;
    bool operator==(const PriorityPlan& o) const;
};

/// "Sound receiving thread" and so on: the priority dialog's words.
const char* RoleName(ThreadRole role);

class ThreadRoles {
public:
    /// The process's one instance.
    static ThreadRoles& Instance();
    /// Starts the launcher, at the calling thread's priority: call before any thread's
    /// priority is changed (Apply does). Until then threads start from their caller.
    void StartLauncher();

    ThreadRoles(const ThreadRoles&) = delete;
    ThreadRoles& operator=(const ThreadRoles&) = delete;

    // Main thread:

    /// Where refusals and real-time fallbacks are reported; null: nowhere.
    void SetLog(LogSink* log);
    /// Makes `plan` the one in force and sets every thread of the process (the calling one
    /// as the interface thread), and the encoder process `encoder` if not 0, once each
    /// directly to its value. One "WARNING: " line names what the system refused that was
    /// not said before under the same plan (by a thread's start, say).
    void Apply(const PriorityPlan& plan, pid_t encoder = 0);
    /// Makes `plan` the one threads and processes started from now on take, without
    /// changing any running thread.
    void SetPlan(const PriorityPlan& plan);
    /// Reports the threads that ran too long at real-time priority and fell back, and bounds
    /// the encoder process `encoder` (0: none runs) likewise.
    void ReportRealTimeFallbacks(pid_t encoder = 0);

    // Any thread:

    PriorityPlan Plan() const;
    /// Starts `body` on a thread named `name` that runs at `role`'s values from its first
    /// instruction and follows later Applies; `tid` receives its id. Throws std::system_error
    /// like std::thread.
    std::thread StartThread(ThreadRole role, const char* name, std::function<void()> body, pid_t* tid = nullptr);
    /// Runs `call` on the launcher; threads that appear meanwhile (a library's client
    /// threads) are given `role`.
    void RunStarting(ThreadRole role, const std::function<void()>& call);
    /// Runs `call` on a passing thread at `role`'s values, so that a process it starts
    /// inherits them; gives how they were met.
    ScheduleOutcome RunAs(ThreadRole role, const std::function<void()>& call);

private:
    ThreadRoles() = default;
    void RunOnLauncher(const std::function<void()>& task);
    void Launch();
    // Sets one thread and notes a refusal under `role`; with startMutex_ held.
    void SetOne(pid_t tid, ThreadRole role, std::map<std::string, std::string>* refusals);
    void ReportRefusals(const std::map<std::string, std::string>& refusals);

    std::recursive_mutex startMutex_;  // held while threads are created, and by Apply
    mutable std::mutex mutex_;         // guards what follows
    PriorityPlan plan_;
    std::map<pid_t, ThreadRole> roles_;
    std::set<std::string> reported_;  // refusals logged under the plan in force
    LogSink* log_ = nullptr;

    ChildRealTimeWatch encoderWatch_;  // main thread only

    std::mutex callMutex_;  // one launcher task at a time
    std::mutex queueMutex_;
    std::condition_variable queueChanged_;
    std::function<void()>* task_ = nullptr;
    bool taskDone_ = false;
    std::mutex launcherMutex_;
    std::atomic<pid_t> launcherTid_{0};
};

}  // namespace pelmora
