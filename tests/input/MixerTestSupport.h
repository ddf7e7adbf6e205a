// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A General page without a window for the mixer line control: what it shows, and the log.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "input/Mixer.h"
#include "input/MixerView.h"
#include "recording/LogSink.h"

namespace pelmora::test {

class LinesLog : public LogSink {
public:
    void AddLogLine(const std::string& text) override {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.push_back(text);
    }
    std::vector<std::string> Lines() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return lines_;
    }
    void Clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.clear();
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

class PageView : public MixerView {
public:
    void EnableMixerItem(MixerItem item, bool enable) override { enabled[item] = enable; }
    void SetSourceLines(const std::vector<std::string>& lines) override {
        sourceLines = lines;
        selection = -1;
    }
    void SelectSourceLine(int position) override { selection = position; }
    void SetVolumePosition(int position) override {
        volume = position;
        volumeHistory.push_back(position);
    }
    void SetBalancePosition(int position) override { balance = position; }
    void ShowPadlock(bool isLocked) override { locked = isLocked; }
    void FocusRecordButton() override { ++focusMoves; }
    bool ProgramIsActive() const override { return active; }

    bool Enabled(MixerItem item) const {
        auto it = enabled.find(item);
        return it != enabled.end() && it->second;
    }
    bool AnyEnabled() const {
        for (const auto& [item, on] : enabled)
            if (on) return true;
        return false;
    }

    std::map<MixerItem, bool> enabled;  // created disabled
    std::vector<std::string> sourceLines;
    int selection = -1;
    int volume = 0;
    std::vector<int> volumeHistory;
    int balance = 0;
    bool locked = false;
    int focusMoves = 0;
    bool active = false;
};

/// The main window's message queue for mixer messages.
class MixerMessages : public MixerMessageTarget {
public:
    void PostMixerChange(uint64_t handle) override {
        std::lock_guard<std::mutex> lock(mutex_);
        posted_.push_back(handle);
        arrived_.notify_all();
    }
    std::vector<uint64_t> Take() {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<uint64_t> out(posted_.begin(), posted_.end());
        posted_.clear();
        return out;
    }
    /// Waits until a message is queued; false at `deadline`.
    bool WaitUntil(std::chrono::steady_clock::time_point deadline) {
        std::unique_lock<std::mutex> lock(mutex_);
        return arrived_.wait_until(lock, deadline, [&] { return !posted_.empty(); });
    }
    /// Waits until a message is queued; false after `seconds`.
    bool Wait(int seconds) {
        std::unique_lock<std::mutex> lock(mutex_);
        return arrived_.wait_for(lock, std::chrono::seconds(seconds), [&] { return !posted_.empty(); });
    }

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<uint64_t> posted_;
};

}  // namespace pelmora::test
