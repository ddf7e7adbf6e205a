// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/CpuUsage.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <utility>

namespace pelmora {

namespace {

// Parses one unsigned decimal counter at p, advancing p past it and leading blanks.
bool ParseCounter(const char*& p, uint64_t& value) {
    while (*p == ' ' || *p == '\t') ++p;
    if (*p < '0' || *p > '9') return false;
    char* end = nullptr;
    errno = 0;
    const unsigned long long v = std::strtoull(p, &end, 10);
    if (errno == ERANGE) return false;
    value = v;
    p = end;
    return true;
}

uint64_t Delta(uint64_t before, uint64_t after) { return after >= before ? after - before : 0; }

}  // namespace

bool ParseProcStat(const std::string& text, CpuTimes& out) {
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.compare(0, 4, "cpu ") != 0) continue;
        // user nice system idle iowait irq softirq steal guest guest_nice
        uint64_t field[10] = {};
        const char* p = line.c_str() + 4;
        int count = 0;
        while (count < 10 && ParseCounter(p, field[count])) ++count;
        if (count < 4) return false;
        out.idle = field[3] + field[4];
        out.busy = field[0] + field[1] + field[2] + field[5] + field[6] + field[7];
        return true;
    }
    return false;
}

int CpuLoadPercent(const CpuTimes& before, const CpuTimes& after) {
    const uint64_t busy = Delta(before.busy, after.busy);
    const uint64_t total = busy + Delta(before.idle, after.idle);
    if (total == 0) return -1;
    return static_cast<int>(busy * 100 / total);
}

CpuUsageCounter::CpuUsageCounter(LogSink& log, std::string statPath)
    : log_(log), statPath_(std::move(statPath)) {}

bool CpuUsageCounter::ReadTimes(CpuTimes& out, int& error) const {
    error = 0;
    std::FILE* f = std::fopen(statPath_.c_str(), "re");
    if (f == nullptr) {
        error = errno;
        return false;
    }
    // The aggregate line comes first and is short; stop reading once it is found.
    char line[1024];
    bool found = false;
    while (!found && std::fgets(line, sizeof line, f) != nullptr) {
        found = std::strncmp(line, "cpu ", 4) == 0;
    }
    std::fclose(f);
    return found && ParseProcStat(line, out);
}

bool CpuUsageCounter::InitCpuUsage() {
    int error = 0;
    CpuTimes now;
    if (!ReadTimes(now, error)) {
        if (error != 0) log_.AddLogLine(std::string("ERROR:   ") + std::strerror(error));
        log_.AddLogLine("ERROR:   CPU usage indicator not supported for current platform");
        return false;
    }
    base_ = now;
    active_ = true;
    return true;
}

bool CpuUsageCounter::ReadCpuUsage(int32_t& sample) {
    sample = 0;
    if (!active_) return false;
    int error = 0;
    CpuTimes now;
    if (!ReadTimes(now, error)) return false;
    const int load = CpuLoadPercent(base_, now);
    if (load < 0) return false;  // same tick as the previous reading: keep its base
    base_ = now;
    sample = load;
    return true;
}

bool CpuUsageCounter::StopCpuUsage() {
    active_ = false;
    return true;
}

}  // namespace pelmora
