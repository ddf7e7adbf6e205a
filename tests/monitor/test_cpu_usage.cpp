// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>

#include "monitor/CpuUsage.h"
#include "support/RecordingLog.h"
#include "support/TempDir.h"

using namespace pelmora;

namespace {

void WriteStat(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::trunc) << text;
}

// A /proc/stat as a 2-CPU kernel writes it, with the aggregate line first.
std::string Stat(const std::string& cpuLine) {
    return cpuLine +
           "\ncpu0 1 2 3 4 5 6 7 8 0 0\ncpu1 1 2 3 4 5 6 7 8 0 0\n"
           "intr 12345 0 0 0\nctxt 999\nbtime 1700000000\nprocesses 10\n";
}

}  // namespace

TEST(ParseProcStat, AggregateLine) {
    CpuTimes t;
    // user nice system idle iowait irq softirq steal guest guest_nice
    ASSERT_TRUE(ParseProcStat(Stat("cpu  100 20 30 400 50 6 7 8 90 10"), t));
    EXPECT_EQ(t.idle, 450u);
    EXPECT_EQ(t.busy, 171u);  // guest time is inside user time already
    // Old kernels give only the first four counters.
    ASSERT_TRUE(ParseProcStat("cpu 1 2 3 4\n", t));
    EXPECT_EQ(t.idle, 4u);
    EXPECT_EQ(t.busy, 6u);
    // The aggregate line need not be the first.
    ASSERT_TRUE(ParseProcStat("intr 5\ncpu 1 1 1 1 1\n", t));
    EXPECT_EQ(t.idle, 2u);
}

TEST(ParseProcStat, RejectsMalformedText) {
    CpuTimes t;
    EXPECT_FALSE(ParseProcStat("", t));
    EXPECT_FALSE(ParseProcStat("cpu0 1 2 3 4 5\n", t));         // per-CPU line only
    EXPECT_FALSE(ParseProcStat("cpu 1 2 3\n", t));              // too few counters
    EXPECT_FALSE(ParseProcStat("cpu 1 -2 3 4\n", t));           // not a counter
    EXPECT_FALSE(ParseProcStat("cpu 99999999999999999999999 1 1 1\n", t));  // overflows
    EXPECT_FALSE(ParseProcStat("cpux 1 2 3 4\n", t));
}

TEST(CpuLoadPercent, DeltasOfBusyAgainstTotal) {
    EXPECT_EQ(CpuLoadPercent({100, 100}, {175, 125}), 75);
    EXPECT_EQ(CpuLoadPercent({0, 0}, {2, 1}), 66);  // truncated
    EXPECT_EQ(CpuLoadPercent({5, 5}, {5, 105}), 0);
    EXPECT_EQ(CpuLoadPercent({5, 5}, {105, 5}), 100);
    EXPECT_EQ(CpuLoadPercent({5, 5}, {5, 5}), -1);  // no time passed
    // iowait can step back on some kernels: that counter adds nothing.
    EXPECT_EQ(CpuLoadPercent({100, 500}, {150, 490}), 100);
}

TEST(CpuUsageCounter, SamplesDeltasFromTheFile) {
    test::TempDir dir;
    const std::string path = dir / "stat";
    WriteStat(path, Stat("cpu  100 0 100 800 0 0 0 0 0 0"));
    test::RecordingLog log;
    CpuUsageCounter counter(log, path);
    ASSERT_TRUE(counter.InitCpuUsage());
    EXPECT_TRUE(counter.IsActive());
    EXPECT_TRUE(log.Lines().empty());

    // 30 busy and 70 idle ticks since the base.
    WriteStat(path, Stat("cpu  120 0 110 860 10 0 0 0 0 0"));
    int32_t sample = -5;
    ASSERT_TRUE(counter.ReadCpuUsage(sample));
    EXPECT_EQ(sample, 30);
    // The next sample is measured from the previous one, not from the start.
    WriteStat(path, Stat("cpu  210 0 110 870 10 0 0 0 0 0"));
    ASSERT_TRUE(counter.ReadCpuUsage(sample));
    EXPECT_EQ(sample, 90);
    // No time passed: a failed sample, 0, and the base stays.
    ASSERT_FALSE(counter.ReadCpuUsage(sample));
    EXPECT_EQ(sample, 0);
    WriteStat(path, Stat("cpu  215 0 110 875 10 0 0 0 0 0"));
    ASSERT_TRUE(counter.ReadCpuUsage(sample));
    EXPECT_EQ(sample, 50);
    // A broken file is a failed sample, not reported.
    WriteStat(path, "garbage\n");
    sample = 7;
    EXPECT_FALSE(counter.ReadCpuUsage(sample));
    EXPECT_EQ(sample, 0);
    EXPECT_TRUE(log.Lines().empty());

    EXPECT_TRUE(counter.StopCpuUsage());
    EXPECT_FALSE(counter.IsActive());
    EXPECT_FALSE(counter.ReadCpuUsage(sample));
    EXPECT_EQ(sample, 0);
}

TEST(CpuUsageCounter, StartFailuresAreLogged) {
    test::TempDir dir;
    {
        test::RecordingLog log;
        CpuUsageCounter counter(log, dir / "missing");
        EXPECT_FALSE(counter.InitCpuUsage());
        EXPECT_FALSE(counter.IsActive());
        ASSERT_EQ(log.Lines().size(), 2u);
        EXPECT_EQ(log.Lines()[0], "ERROR:   No such file or directory");
        EXPECT_EQ(log.Lines()[1], "ERROR:   CPU usage indicator not supported for current platform");
        int32_t sample = 3;
        EXPECT_FALSE(counter.ReadCpuUsage(sample));
        EXPECT_EQ(sample, 0);
    }
    {
        const std::string path = dir / "empty";
        WriteStat(path, "");
        test::RecordingLog log;
        CpuUsageCounter counter(log, path);
        EXPECT_FALSE(counter.InitCpuUsage());
        ASSERT_EQ(log.Lines().size(), 1u);
        EXPECT_EQ(log.Lines()[0], "ERROR:   CPU usage indicator not supported for current platform");
    }
}

TEST(CpuUsageCounter, ReadsTheLiveKernelFile) {
    test::RecordingLog log;
    CpuUsageCounter counter(log);
    ASSERT_TRUE(counter.InitCpuUsage());
    // Within one clock tick the kernel's counters do not move and a sample fails; keep a
    // core busy until they do. A sample over a tick or two may still round to no load, so
    // sampling goes on until the busy core shows.
    int32_t sample = -1;
    bool read = false, shown = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    volatile uint64_t spin = 0;
    while (!shown && std::chrono::steady_clock::now() < deadline) {
        for (int i = 0; i < 1000000; ++i) spin = spin + 1;
        if (counter.ReadCpuUsage(sample)) {
            read = true;
            EXPECT_GE(sample, 0);
            EXPECT_LE(sample, 100);
            shown = sample > 0;
        }
    }
    ASSERT_TRUE(read) << "the live counters never moved";
    EXPECT_TRUE(shown) << "a busy core never showed";
}
