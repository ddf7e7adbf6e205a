// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The writer thread: empties writerQueue in order into the recording's output (a WAV or raw
// file, or the encoder's pipe), keeps writeTime, reports failed writes, performs the flush
// that ends a recording and ends at program close.

#include <sys/types.h>

#include <atomic>
#include <functional>
#include <thread>

#include "capture/PipelineState.h"
#include "capture/WriterOutput.h"

namespace pelmora {

class WriterThread {
public:
    WriterThread(PipelineState& state, WriterOutput& output);
    ~WriterThread();  // quits a running thread
    WriterThread(const WriterThread&) = delete;
    WriterThread& operator=(const WriterThread&) = delete;

    /// Starts the thread at the writer thread's priority.
    void Start();
    /// Sets writerQuit, signals "NewData" and "ListAccess", waits for "ThreadClosed" and joins.
    /// Blocks still queued are written (or dropped when the output is finished) first.
    void Quit();
    bool Running() const { return thread_.joinable(); }
    /// Kernel thread id, for priority changes; 0 before Start().
    pid_t Tid() const { return tid_.load(); }

    /// The thread procedure; runs until writerQuit and returns 0.
    int Run();

private:
    void Output(const std::vector<uint8_t>& block);

    PipelineState& state_;
    WriterOutput& output_;
    std::thread thread_;
    std::atomic<pid_t> tid_{0};
};

}  // namespace pelmora
