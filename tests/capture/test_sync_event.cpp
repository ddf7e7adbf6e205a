// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "capture/PipelineEvents.h"

namespace pelmora {
namespace {

using namespace std::chrono_literals;

TEST(PipelineEvents, CreatedWithTheirNamesAndStates) {
    PipelineEvents e;
    const SyncEvent* all[] = {&e.listAccess, &e.newData,   &e.newData0,  &e.wavHeader, &e.threadClosed,
                              &e.procThreadClosed, &e.recStopped, &e.nextWim, &e.buffReset, &e.devReset};
    const char* names[] = {"ListAccess",       "NewData",    "NewData0", "WavHeader", "ThreadClosed",
                           "ProcThreadClosed", "RecStopped", "NextWim",  "BuffReset", "DevReset"};
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(all[i]->Name(), names[i]);
        EXPECT_EQ(all[i]->IsSet(), i == 0) << names[i];
    }
}

TEST(SyncEvent, AutomaticResetIsTakenByOneWait) {
    EventHub hub;
    SyncEvent ev(hub, "a", false, false);
    EXPECT_FALSE(ev.WaitFor(0ms));
    ev.Set();
    EXPECT_TRUE(ev.WaitFor(0ms));
    EXPECT_FALSE(ev.WaitFor(0ms));
}

TEST(SyncEvent, ManualResetStaysUntilReset) {
    EventHub hub;
    SyncEvent ev(hub, "m", true, false);
    ev.Set();
    EXPECT_TRUE(ev.WaitFor(0ms));
    EXPECT_TRUE(ev.WaitFor(0ms));
    ev.Reset();
    EXPECT_FALSE(ev.WaitFor(0ms));
}

TEST(SyncEvent, WaitBothTakesTheTwoTogether) {
    PipelineEvents e;  // ListAccess starts signalled
    std::atomic<bool> woke{false};
    std::thread writer([&] {
        WaitBoth(e.newData, e.listAccess);
        woke = true;
        e.recStopped.Set();
    });
    {
        ListAccessLock lock(e.listAccess);  // the lock is held: NewData alone must not wake it
        e.newData.Set();
        EXPECT_FALSE(e.recStopped.WaitFor(20ms));
        EXPECT_FALSE(woke);
    }
    e.recStopped.Wait();
    writer.join();
    EXPECT_TRUE(woke);
    EXPECT_FALSE(e.newData.IsSet());
    EXPECT_FALSE(e.listAccess.IsSet()) << "the writer now holds the lock";
}

TEST(SyncEvent, WakesAWaiterOnAnotherThread) {
    EventHub hub;
    SyncEvent ev(hub, "x", false, false);
    std::thread t([&] { ev.Wait(); });
    ev.Set();
    t.join();
    EXPECT_FALSE(ev.IsSet());
}

// Waiters are woken after the setter lets go of the hub: no wake-up may get lost between two
// threads that hand over to each other, nor when several threads set the event a waiter takes
// again and again, each Set racing the end of the wait an earlier one ended.
TEST(SyncEvent, HandOversLoseNoWakeUpAndEndedWaitsAreNotTouched) {
    EventHub hub;
    SyncEvent ping(hub, "ping", false, false), pong(hub, "pong", false, false);
    constexpr int kRounds = 20000;
    std::thread partner([&] {
        for (int i = 0; i < kRounds; ++i) {
            ping.Wait();
            pong.Set();
        }
    });
    for (int i = 0; i < kRounds; ++i) {
        ping.Set();
        pong.Wait();
    }
    partner.join();

    SyncEvent racing(hub, "racing", false, false);
    std::atomic<bool> done{false};
    auto setter = [&] {
        while (!done.load()) racing.Set();
    };
    std::thread first(setter), second(setter);
    for (int i = 0; i < kRounds; ++i) racing.Wait();
    done.store(true);
    first.join();
    second.join();
    EXPECT_FALSE(ping.IsSet());
    EXPECT_FALSE(pong.IsSet());
}

}  // namespace
}  // namespace pelmora
