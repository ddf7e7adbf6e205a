// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The process's standard error taken off the terminal for a while: the client libraries of
// sound servers, which alsa-lib's plugins load, print there directly.

#include <mutex>
#include <string>
#include <vector>

namespace pelmora {

class StderrCapture {
public:
    /// From now on standard error goes to a private file. It is process-wide, so it is meant
    /// for short stretches of one thread's work; a capture on another thread waits for it.
    StderrCapture();
    /// Puts the terminal back; what was written and not taken is dropped.
    ~StderrCapture();
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;

    /// Puts the terminal back and returns the lines written meanwhile that hold more than
    /// blanks (from the first 64 KiB). Later calls return nothing.
    std::vector<std::string> Finish();

private:
    std::unique_lock<std::recursive_mutex> lock_;
    int saved_ = -1;  // the terminal's descriptor while captured
    int file_ = -1;
};

}  // namespace pelmora
