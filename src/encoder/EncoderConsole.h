// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The encoder's console output (its standard output and error, on one pipe), read on a thread
// of its own so the encoder never waits for the program. The newest lines are kept for the
// failure log; with a console window they are also handed on as text.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "encoder/ConsoleLines.h"

namespace pelmora {

class EncoderConsole {
public:
    static constexpr std::size_t kTailLines = 32;  // lines with text; a usage text after an error fits
    static constexpr std::size_t kPendingLimit = 64 * 1024;  // text waiting for the window

    EncoderConsole() = default;
    ~EncoderConsole();
    EncoderConsole(const EncoderConsole&) = delete;
    EncoderConsole& operator=(const EncoderConsole&) = delete;

    // Main thread:

    /// Starts reading `fd` (its read end, now owned here); drops what the last run kept.
    /// `forward`: the text is also kept for a console window. False with errno when no
    /// thread could be started; `fd` is closed then.
    bool Begin(int fd, bool forward);
    /// Waits up to `bound` for the end of the output (every copy of the write end closed),
    /// then stops reading and closes the pipe. The tail stays readable.
    void End(std::chrono::milliseconds bound);

    // Any thread:

    /// The newest lines of the output (at most kTailLines), oldest first.
    std::vector<std::string> Tail() const;
    /// Whether the output is handed on to a console window.
    bool Forwarding() const;
    /// The text that arrived since the last call (the newest kPendingLimit bytes at most).
    std::string TakePending();
    /// Called on the reading thread when text for the window arrives, once until the next
    /// TakePending. Must not block.
    void SetNotifier(std::function<void()> notifier);

private:
    void Run(int fd, int wakeFd);
    void Received(const char* data, std::size_t size);

    mutable std::mutex mutex_;
    std::condition_variable endedChanged_;
    ConsoleLines tail_{kTailLines, false};
    std::string pending_;
    bool forward_ = false;
    bool ended_ = true;
    std::function<void()> notifier_;
    std::atomic<bool> notified_{false};

    std::thread thread_;
    int fd_ = -1;
    int wake_[2] = {-1, -1};
};

}  // namespace pelmora
