#include <gtest/gtest.h>

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

}  // namespace
}  // namespace pelmora
