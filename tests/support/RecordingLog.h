// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A LogSink that keeps the texts it was given, for assertions.

#include <mutex>
#include <string>
#include <vector>

#include "recording/LogSink.h"

namespace pelmora::test {

class RecordingLog : public LogSink {
public:
    void AddLogLine(const std::string& text) override {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.push_back(text);
    }
    std::vector<std::string> Lines() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return lines_;
    }
    bool Contains(const std::string& text) const {
        for (const auto& l : Lines())
            if (l == text) return true;
        return false;
    }
    void Clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.clear();
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

}  // namespace pelmora::test
