// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <sched.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "capture/RealTimeBound.h"
#include "capture/ThreadPriority.h"
#include "capture/ThreadRoles.h"
#include "support/TaskSchedule.h"
#include "support/UnderTsan.h"


namespace pelmora {
namespace {

class Lines : public LogSink {
public:
    void AddLogLine(const std::string& text) override {
        std::lock_guard<std::mutex> lock(mutex);
        lines.push_back(text);
    }
    std::vector<std::string> Warnings() {
        std::lock_guard<std::mutex> lock(mutex);
        std::vector<std::string> found;
        for (const std::string& line : lines)
            if (line.rfind("WARNING: ", 0) == 0) found.push_back(line);
        return found;
    }
    std::mutex mutex;
    std::vector<std::string> lines;
};

// Uses ThreadRoles' log for the test's length.
struct RolesLog {
    Lines lines;
    RolesLog() { ThreadRoles::Instance().SetLog(&lines); }
    ~RolesLog() {
        ThreadRoles::Instance().SetLog(nullptr);
        ThreadRoles::Instance().SetPlan(PriorityPlan{});
    }
};

// Runs `body` on a thread of its own that first lowers itself to `nice`, as an interface
// thread set to Idle would be.
template <typename F>
void OnThreadAtNice(int nice, F body) {
    ThreadRoles::Instance().StartLauncher();  // it keeps the test's starting priority
    std::thread t([&] {
        ASSERT_EQ(::setpriority(PRIO_PROCESS, 0, nice), 0);
        body();
    });
    t.join();
}

TEST(ThreadPriority, TheTableMapsOntoNiceValuesAndRealTimePolicies) {
    const int expected[] = {19, 10, 5, 0, -5, -10, -20};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(ScheduleFor(1, i).nice, expected[i]);
    EXPECT_EQ(ScheduleFor(0, 0).nice, 19);
    EXPECT_EQ(ScheduleFor(0, 4).nice, 5);
    EXPECT_EQ(ScheduleFor(-1, 99).nice, 0);
    EXPECT_EQ(ScheduleFor(1, 6).policy, SCHED_FIFO);
    EXPECT_EQ(ScheduleFor(3, 6).rtPriority, 15);
    EXPECT_EQ(ScheduleFor(3, 0).policy, SCHED_RR);
    EXPECT_EQ(ScheduleFor(2, 5).policy, SCHED_OTHER);
}

TEST(ThreadPriority, ARefusedRaiseGivesTheNearestPermittedValueAndTheSystemsReason) {
    const bool raising = test::RaisingPermitted();
    ScheduleOutcome lowered, raised;
    int niceAfter = 0;
    std::thread worker([&] {
        const pid_t tid = CurrentThreadId();
        lowered = SetThreadSchedule(tid, ScheduleFor(0, 3));  // nice 10
        raised = SetThreadSchedule(tid, ScheduleFor(1, 4));   // nice -5
        niceAfter = test::ThreadSchedule(tid).nice;
    });
    worker.join();
    EXPECT_EQ(lowered.error, 0);
    EXPECT_EQ(lowered.got.nice, 10);
    if (raising) {
        EXPECT_EQ(raised.error, 0);
        EXPECT_EQ(niceAfter, -5);
    } else {
        EXPECT_EQ(raised.error, EACCES);
        EXPECT_EQ(raised.got.nice, 10);
        EXPECT_EQ(niceAfter, 10);
    }
    EXPECT_EQ(raised.got.nice, niceAfter);
}

TEST(ThreadRoles, AThreadStartedFromALoweredThreadRunsAtItsRolesLevel) {
    RolesLog log;
    PriorityPlan plan;
    plan.receiveLevel = 4;  // Above Normal: nice -5 where permitted
    plan.writerLevel = 2;   // Below Normal: nice 5
    ThreadRoles::Instance().SetPlan(plan);
    pid_t receive = 0, writer = 0;
    std::atomic<int> seenAtStart{-100};
    std::atomic<bool> release{false};
    std::thread receiving, writing;
    OnThreadAtNice(19, [&] {
        receiving = ThreadRoles::Instance().StartThread(ThreadRole::Receive, "test-receive", [&] {
            seenAtStart = test::ThreadSchedule(CurrentThreadId()).nice;
            while (!release.load()) std::this_thread::yield();
        }, &receive);
        writing = ThreadRoles::Instance().StartThread(ThreadRole::Writer, "test-writer", [&] {
            while (!release.load()) std::this_thread::yield();
        }, &writer);
    });
    const int receiveNice = test::RaisingPermitted() ? -5 : 0;
    while (seenAtStart.load() == -100) std::this_thread::yield();
    EXPECT_EQ(seenAtStart.load(), receiveNice) << "its first instruction ran at its level";
    EXPECT_EQ(test::ThreadSchedule(receive).name, "test-receive");
    EXPECT_EQ(test::ThreadSchedule(writer).nice, 5);
    const std::vector<std::string> warnings = log.lines.Warnings();
    if (receiveNice == 0) {
        ASSERT_EQ(warnings.size(), 1u);
        EXPECT_NE(warnings[0].find("Sound receiving thread nice -5, runs at nice 0 (" +
                                   std::string(std::strerror(EACCES)) + ")"),
                  std::string::npos)
            << warnings[0];
    } else {
        EXPECT_TRUE(warnings.empty());
    }
    release = true;
    receiving.join();
    writing.join();
}

TEST(ThreadRoles, ThreadsALibraryStartsDuringACallTakeTheCallsRole) {
    RolesLog log;
    PriorityPlan plan;
    plan.receiveLevel = 1;  // Lowest: nice 10
    ThreadRoles::Instance().SetPlan(plan);
    std::atomic<bool> release{false};
    std::thread library;
    std::atomic<pid_t> libraryTid{0};
    OnThreadAtNice(19, [&] {
        ThreadRoles::Instance().RunStarting(ThreadRole::Receive, [&] {
            // As a sound server's client library does: a plain thread of its own.
            library = std::thread([&] {
                libraryTid = CurrentThreadId();
                while (!release.load()) std::this_thread::yield();
            });
            while (libraryTid.load() == 0) std::this_thread::yield();
        });
    });
    // Started at the launcher's level, not the caller's, then set to the receiving thread's.
    EXPECT_EQ(test::ThreadSchedule(libraryTid.load()).nice, 10);
    EXPECT_TRUE(log.lines.Warnings().empty());
    release = true;
    library.join();
}

// ThreadSanitizer cannot start threads after a fork of a process with threads.
#ifndef PELMORA_UNDER_TSAN
TEST(ThreadRoles, AChildMadeByForkStartsThreadsOfItsOwn) {
    ThreadRoles::Instance().StartLauncher();
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::alarm(10);  // the parent's launcher did not come along: a wait for it never ends
        bool ran = false;
        std::thread t = ThreadRoles::Instance().StartThread(ThreadRole::Writer, "test-child", [&] { ran = true; });
        t.join();
        ::_exit(ran ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}
#endif

TEST(ThreadRoles, ARealTimeThreadGetsResetOnForkAndFallsBackWhenItNeverBlocks) {
    if (!test::RealTimeAllowed()) GTEST_SKIP() << "this user may not use real-time scheduling";
    RolesLog log;
    PriorityPlan plan;
    plan.processClass = 3;     // Realtime: SCHED_FIFO 15, above other tests' real-time threads
    plan.preprocessLevel = 6;  // Time Critical, with nice -20 to fall back to
    ThreadRoles::Instance().SetPlan(plan);
    std::atomic<int> childPolicy{-1};
    std::atomic<bool> fellBack{false};
    pid_t tid = 0;
    const auto start = std::chrono::steady_clock::now();
    std::atomic<bool> release{false};
    std::thread spinning = ThreadRoles::Instance().StartThread(ThreadRole::Preprocess, "test-spin", [&] {
        std::thread child([&] { childPolicy = ::sched_getscheduler(0); });
        child.join();
        // Runs without blocking until the bound puts it back under SCHED_OTHER.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while ((::sched_getscheduler(0) & ~SCHED_RESET_ON_FORK) != SCHED_OTHER &&
               std::chrono::steady_clock::now() < deadline) {
        }
        fellBack = (::sched_getscheduler(0) & ~SCHED_RESET_ON_FORK) == SCHED_OTHER;
        while (!release.load()) std::this_thread::yield();
    }, &tid);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (!fellBack.load() && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
    EXPECT_TRUE(fellBack.load());
    EXPECT_GE(std::chrono::steady_clock::now() - start, kRealTimeBound);
    EXPECT_EQ(test::ThreadSchedule(tid).nice, -20) << "the table's nice value to fall back to";
    ThreadRoles::Instance().ReportRealTimeFallbacks();
    release = true;
    spinning.join();
    EXPECT_EQ(childPolicy.load() & ~SCHED_RESET_ON_FORK, SCHED_OTHER) << "a real-time policy passed on";
    const std::vector<std::string> warnings = log.lines.Warnings();
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("Sound preprocessing thread ran 200 ms at real-time priority without blocking"),
              std::string::npos)
        << warnings[0];
}

}  // namespace
}  // namespace pelmora
