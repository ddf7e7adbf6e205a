// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/ThreadRoles.h"

#include <dirent.h>
#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <future>
#include <vector>

#include "capture/RealTimeBound.h"
#include "capture/ThreadName.h"

namespace pelmora {

namespace {

constexpr int kNormalLevel = 3;

std::vector<pid_t> TaskIds() {
    std::vector<pid_t> ids;
    if (DIR* dir = ::opendir("/proc/self/task")) {
        while (dirent* e = ::readdir(dir))
            if (const int tid = std::atoi(e->d_name); tid > 0) ids.push_back(tid);
        ::closedir(dir);
    }
    return ids;
}

}  // namespace

ThreadSchedule PriorityPlan::For(ThreadRole role) const {
    switch (role) {
        case ThreadRole::Interface: return ScheduleFor(processClass, uiLevel);
        case ThreadRole::Receive: return ScheduleFor(processClass, receiveLevel);
        case ThreadRole::Preprocess: return ScheduleFor(processClass, preprocessLevel);
        case ThreadRole::Writer: return ScheduleFor(processClass, writerLevel);
        case ThreadRole::Encoder: return ScheduleFor(encoderClass, encoderLevel);
        case ThreadRole::Process: break;
    }
    return ScheduleFor(processClass, kNormalLevel);
}

bool PriorityPlan::operator==(const PriorityPlan& o) const {
    return processClass == o.processClass && uiLevel == o.uiLevel && receiveLevel == o.receiveLevel &&
           preprocessLevel == o.preprocessLevel && writerLevel == o.writerLevel && encoderClass == o.encoderClass &&
           encoderLevel == o.encoderLevel;
}

const char* RoleName(ThreadRole role) {
    switch (role) {
        case ThreadRole::Interface: return "Interface thread";
        case ThreadRole::Receive: return "Sound receiving thread";
        case ThreadRole::Preprocess: return "Sound preprocessing thread";
        case ThreadRole::Writer: return "Pelmora to Lame pipe thread";
        case ThreadRole::Encoder: return "Lame process";
        case ThreadRole::Process: break;
    }
    return "Pelmora process";
}

namespace {

// Lives as long as the process; the launcher never ends.
std::atomic<ThreadRoles*> g_instance{nullptr};

// A child made by fork has none of the parent's threads, the launcher among them.
void ForgetAfterFork() { g_instance.store(nullptr, std::memory_order_relaxed); }

}  // namespace

ThreadRoles& ThreadRoles::Instance() {
    if (ThreadRoles* existing = g_instance.load(std::memory_order_acquire)) return *existing;
    static std::once_flag atFork;
    std::call_once(atFork, [] { ::pthread_atfork(nullptr, nullptr, ForgetAfterFork); });
    ThreadRoles* made = new ThreadRoles;
    ThreadRoles* expected = nullptr;
    // Two first calls at once: one instance wins; the other's launcher stays idle.
    return g_instance.compare_exchange_strong(expected, made, std::memory_order_acq_rel) ? *made : *expected;
}

void ThreadRoles::StartLauncher() {
    std::lock_guard<std::mutex> lock(launcherMutex_);
    if (launcherTid_.load() != 0) return;
    auto started = std::make_shared<std::promise<pid_t>>();
    std::future<pid_t> tid = started->get_future();
    std::thread launcher([this, started] {
        NameCurrentThread("pelmora-launch");
        started->set_value(CurrentThreadId());
        Launch();
    });
    launcherTid_.store(tid.get());
    launcher.detach();
}

void ThreadRoles::Launch() {
    std::unique_lock<std::mutex> lock(queueMutex_);
    for (;;) {
        queueChanged_.wait(lock, [this] { return task_ != nullptr; });
        std::function<void()>* task = task_;
        lock.unlock();
        (*task)();
        lock.lock();
        task_ = nullptr;
        taskDone_ = true;
        queueChanged_.notify_all();
    }
}

void ThreadRoles::RunOnLauncher(const std::function<void()>& task) {
    // Without a launcher no priority has been changed yet: the caller's is the starting one.
    const pid_t launcher = launcherTid_.load();
    if (launcher == 0 || CurrentThreadId() == launcher) {
        task();
        return;
    }
    std::lock_guard<std::mutex> one(callMutex_);
    std::exception_ptr error;
    std::function<void()> guarded = [&] {
        try {
            task();
        } catch (...) {
            error = std::current_exception();
        }
    };
    {
        std::unique_lock<std::mutex> lock(queueMutex_);
        task_ = &guarded;
        taskDone_ = false;
        queueChanged_.notify_all();
        queueChanged_.wait(lock, [this] { return taskDone_; });
    }
    if (error) std::rethrow_exception(error);
}

void ThreadRoles::SetLog(LogSink* log) {
    std::lock_guard<std::mutex> lock(mutex_);
    log_ = log;
}

PriorityPlan ThreadRoles::Plan() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return plan_;
}

void ThreadRoles::SetPlan(const PriorityPlan& plan) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!(plan == plan_)) reported_.clear();
    plan_ = plan;
}

void ThreadRoles::SetOne(pid_t tid, ThreadRole role, std::map<std::string, std::string>* refusals) {
    const ThreadSchedule want = Plan().For(role);
    const ScheduleOutcome out = SetThreadSchedule(tid, want);
    if (out.error == 0 || out.error == ESRCH) return;  // ESRCH: it ended meanwhile
    (*refusals)[std::string(RoleName(role)) + " " + ScheduleText(want)] =
        "runs at " + ScheduleText(out.got) + " (" + std::strerror(out.error) + ")";
}

void ThreadRoles::ReportRefusals(const std::map<std::string, std::string>& refusals) {
    std::string line;
    LogSink* log = nullptr;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& [what, result] : refusals) {
            if (!reported_.insert(what).second) continue;  // said once under this plan
            line += (line.empty() ? "" : "; ") + what + ", " + result;
        }
        log = log_;
    }
    if (log && !line.empty()) log->AddLogLine("WARNING: Priority refused by the system: " + line);
}

void ThreadRoles::Apply(const PriorityPlan& plan, pid_t encoder) {
    StartLauncher();
    std::lock_guard<std::recursive_mutex> hold(startMutex_);
    std::map<pid_t, ThreadRole> known;
    const std::vector<pid_t> ids = TaskIds();
    const pid_t self = CurrentThreadId();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!(plan == plan_)) reported_.clear();
        plan_ = plan;
        // Forget threads that ended without saying so (a library's), and an interface thread
        // that is not the caller.
        for (auto it = roles_.begin(); it != roles_.end();) {
            const bool gone = std::find(ids.begin(), ids.end(), it->first) == ids.end();
            it = gone || it->second == ThreadRole::Interface ? roles_.erase(it) : std::next(it);
        }
        roles_[self] = ThreadRole::Interface;
        known = roles_;
    }
    std::map<std::string, std::string> refusals;
    if (encoder > 0) SetOne(encoder, ThreadRole::Encoder, &refusals);
    for (pid_t tid : ids) {
        if (tid == launcherTid_.load()) continue;  // keeps the priority the process started with
        const auto it = known.find(tid);
        SetOne(tid, it != known.end() ? it->second : ThreadRole::Process, &refusals);
    }
    ReportRefusals(refusals);
}

std::thread ThreadRoles::StartThread(ThreadRole role, const char* name, std::function<void()> body, pid_t* tid) {
    std::thread thread;
    RunOnLauncher([&] {
        std::lock_guard<std::recursive_mutex> hold(startMutex_);
        auto started = std::make_shared<std::promise<pid_t>>();
        auto go = std::make_shared<std::promise<void>>();
        std::future<pid_t> id = started->get_future();
        thread = std::thread([this, name, started, go, body = std::move(body)] {
            NameCurrentThread(name);
            const pid_t self = CurrentThreadId();
            std::future<void> ready = go->get_future();
            started->set_value(self);
            ready.wait();  // set to its values meanwhile
            body();
            std::lock_guard<std::mutex> lock(mutex_);
            roles_.erase(self);
        });
        const pid_t newId = id.get();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            roles_[newId] = role;
        }
        std::map<std::string, std::string> refusals;
        SetOne(newId, role, &refusals);
        ReportRefusals(refusals);
        if (tid) *tid = newId;
        go->set_value();
    });
    return thread;
}

void ThreadRoles::RunStarting(ThreadRole role, const std::function<void()>& call) {
    RunOnLauncher([&] {
        std::lock_guard<std::recursive_mutex> hold(startMutex_);
        const std::vector<pid_t> before = TaskIds();
        struct After {
            ThreadRoles& roles;
            ThreadRole role;
            const std::vector<pid_t>& before;
            ~After() {
                std::map<std::string, std::string> refusals;
                for (pid_t tid : TaskIds()) {
                    if (std::find(before.begin(), before.end(), tid) != before.end()) continue;
                    {
                        std::lock_guard<std::mutex> lock(roles.mutex_);
                        if (!roles.roles_.emplace(tid, role).second) continue;  // one of ours, already set
                    }
                    roles.SetOne(tid, role, &refusals);
                }
                roles.ReportRefusals(refusals);
            }
        } after{*this, role, before};
        call();
    });
}

ScheduleOutcome ThreadRoles::RunAs(ThreadRole role, const std::function<void()>& call) {
    ScheduleOutcome out;
    const ThreadSchedule want = Plan().For(role);
    RunOnLauncher([&] {
        std::lock_guard<std::recursive_mutex> hold(startMutex_);
        std::exception_ptr error;
        // Without SCHED_RESET_ON_FORK: what it starts is to inherit the policy.
        std::thread passing([&] {
            out = SetThreadSchedule(CurrentThreadId(), want, false);
            try {
                call();
            } catch (...) {
                error = std::current_exception();
            }
        });
        passing.join();
        if (error) std::rethrow_exception(error);
    });
    std::map<std::string, std::string> refusals;
    if (out.error != 0)
        refusals[std::string(RoleName(role)) + " " + ScheduleText(want)] =
            "runs at " + ScheduleText(out.got) + " (" + std::strerror(out.error) + ")";
    ReportRefusals(refusals);
    return out;
}

void ThreadRoles::ReportRealTimeFallbacks(pid_t encoder) {
    const std::vector<pid_t> fallen = TakeRealTimeFallbacks();
    const bool encoderFell = encoderWatch_.Check(encoder);
    if (fallen.empty() && !encoderFell) return;
    std::set<std::string> names;
    LogSink* log = nullptr;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (encoderFell) names.insert(RoleName(ThreadRole::Encoder));
        for (pid_t tid : fallen) {
            const auto it = roles_.find(tid);
            names.insert(RoleName(it != roles_.end() ? it->second : ThreadRole::Process));
        }
        log = log_;
    }
    std::string who;
    for (const std::string& name : names) who += (who.empty() ? "" : ", ") + name;
    if (log)
        log->AddLogLine("WARNING: " + who + " ran " + std::to_string(kRealTimeBound.count()) +
                        " ms at real-time priority without blocking, and runs at normal priority now");
}

}  // namespace pelmora
