#include <gtest/gtest.h>

#include <sys/resource.h>

#include <thread>

#include "capture/ThreadPriority.h"

namespace pelmora {
namespace {

TEST(ThreadPriority, TableMapsOntoNiceValues) {
    const int expected[] = {19, 10, 5, 0, -5, -10, -20};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(ThreadPriorityNice(i), expected[i]);
    EXPECT_EQ(ThreadPriorityNice(-1), 0);
    EXPECT_EQ(ThreadPriorityNice(7), 0);
    EXPECT_EQ(CombinedNice(0, 0), 19);
    EXPECT_EQ(CombinedNice(3, 6), -20);
    EXPECT_EQ(CombinedNice(1, 3), 0);
}

TEST(ThreadPriority, AppliesToOneThreadOnly) {
    const int mine = getpriority(PRIO_PROCESS, static_cast<id_t>(CurrentThreadId()));
    int seen = -100;
    std::thread worker([&] {
        const pid_t tid = CurrentThreadId();
        EXPECT_TRUE(ApplyThreadPriority(tid, 1));  // lowering is always allowed
        seen = getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
        ApplyThreadPriority(tid, 6);  // raising may be refused; that is ignored
    });
    worker.join();
    EXPECT_EQ(seen, 10);
    EXPECT_EQ(getpriority(PRIO_PROCESS, static_cast<id_t>(CurrentThreadId())), mine);
}

}  // namespace
}  // namespace pelmora
