// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// System-wide processor load from the kernel's cumulative CPU times (/proc/stat): the
// share of non-idle time between two readings, one reading per timer tick.
// Main thread only.

#include <cstdint>
#include <string>

#include "recording/LogSink.h"

namespace pelmora {

/// The start-up line the caller logs after InitCpuUsage().
constexpr const char* kCpuCounterInitialized = "CPU usage counter initialized";
constexpr const char* kCpuCounterFailed = "Can not initialize CPU usage counter";

/// Cumulative clock ticks of the aggregate "cpu" line: idle is idle + iowait, busy is the
/// rest (guest time is already part of user time and is not counted twice).
struct CpuTimes {
    uint64_t busy = 0;
    uint64_t idle = 0;
};

/// Reads the aggregate "cpu" line of /proc/stat text; false when there is none or it has
/// fewer than four well-formed counters.
bool ParseProcStat(const std::string& text, CpuTimes& out);

/// Load between two readings in whole percent (truncated, 0..100), or -1 when no time
/// passed. A counter that went backwards counts as no time in it.
int CpuLoadPercent(const CpuTimes& before, const CpuTimes& after);

class CpuUsageCounter {
public:
    explicit CpuUsageCounter(LogSink& log, std::string statPath = "/proc/stat");

    /// Takes the first reading, the base of the first sample. On failure logs the reason
    /// (the caller then logs kCpuCounterFailed) and stays inactive.
    bool InitCpuUsage();
    /// One sample in percent since the previous one; on any failure the sample is 0 and the
    /// result false (not reported).
    bool ReadCpuUsage(int32_t& sample);
    /// Ends sampling; at window close, only if active.
    bool StopCpuUsage();

    /// The counter-active flag: InitCpuUsage() succeeded and StopCpuUsage() has not run.
    bool IsActive() const { return active_; }

private:
    bool ReadTimes(CpuTimes& out, int& error) const;

    LogSink& log_;
    std::string statPath_;
    CpuTimes base_;
    bool active_ = false;
};

}  // namespace pelmora
