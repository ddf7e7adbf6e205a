// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/WriterThread.h"

#include <pthread.h>
#include <signal.h>

#include <future>

#include "capture/ThreadRoles.h"

namespace pelmora {

WriterThread::WriterThread(PipelineState& state, WriterOutput& output) : state_(state), output_(output) {}

WriterThread::~WriterThread() { Quit(); }

void WriterThread::Start() {
    if (thread_.joinable()) return;
    state_.writerQuit.store(false);
    pid_t tid = 0;
    thread_ = ThreadRoles::Instance().StartThread(ThreadRole::Writer, "pelmora-writer", [this] { Run(); }, &tid);
    tid_.store(tid);
}

void WriterThread::Quit() {
    if (!thread_.joinable()) return;
    state_.writerQuit.store(true);
    state_.events.newData.Set();
    state_.events.listAccess.Set();
    state_.events.threadClosed.Wait();
    thread_.join();
}

int WriterThread::Run() {
    // A dead encoder must show as a failed write, not end the process.
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);

    PipelineEvents& ev = state_.events;
    for (;;) {
        if (!state_.writerQuit.load() && !state_.writerStopRequest.load())
            WaitBoth(ev.newData, ev.listAccess);
        else
            ev.listAccess.Wait();

        std::optional<std::vector<uint8_t>> block = state_.writerQueue.PopOldest();
        if (block) {
            if (state_.writerQueue.Count() > 0) ev.newData.Set();
            ev.listAccess.Set();
        } else {
            if (state_.writerQuit.load()) {
                ev.listAccess.Set();
                ev.threadClosed.Set();
                return 0;
            }
            if (state_.writerStopRequest.load()) {
                state_.writerStopRequest.store(false);
                ev.newData.Reset();
                ev.recStopped.Set();
            }
            ev.listAccess.Set();
            continue;
        }
        Output(*block);
    }
}

void WriterThread::Output(const std::vector<uint8_t>& block) {
    const OutputKind kind = output_.Kind();
    if (kind == OutputKind::None) return;  // the recording has been finished: dropped
    const bool pipe = kind == OutputKind::EncoderPipe;
    if (!pipe) state_.events.wavHeader.Wait();
    std::atomic<bool>& failed = pipe ? state_.pipeFailed : state_.fileFailed;
    std::atomic<int>& failure = pipe ? state_.pipeError : state_.fileError;

    const double seconds = state_.bufferSeconds.load();
    if (state_.writeLimitReached.load() != WriteLimit::None) return;  // beyond a limit: not written, not lost
    const int64_t size = static_cast<int64_t>(block.size());
    const int64_t done = state_.writtenBytes.load();
    const int64_t timeLimit = state_.writeTimeLimitBytes.load();
    const int64_t sizeLimit = state_.fileSizeLimitBytes.load();
    if (timeLimit >= 0 && done + size > timeLimit) {
        state_.writeLimitReached.store(WriteLimit::WriteTime);
        return;
    }
    if (sizeLimit >= 0 && done + size > sizeLimit) {
        state_.writeLimitReached.store(WriteLimit::FileSize);
        return;
    }
    if (failed.load()) {
        // Nothing goes out after a failed write: a file never holds a gap.
        state_.lostSeconds.Add(seconds);
        return;
    }
    int error = 0;
    switch (output_.Write(block.data(), block.size(), &error)) {
        case WriteOutcome::Written:
            state_.writtenBytes.fetch_add(size);
            state_.writeTime.Add(seconds);
            // Exactly at a limit: nothing more fits, and the recording can end now.
            if (done + size == timeLimit)
                state_.writeLimitReached.store(WriteLimit::WriteTime);
            else if (done + size == sizeLimit)
                state_.writeLimitReached.store(WriteLimit::FileSize);
            break;
        case WriteOutcome::Failed:
            failure.store(error);
            failed.store(true);
            state_.lostSeconds.Add(seconds);
            break;
        case WriteOutcome::Dropped:
            break;
    }
}

}  // namespace pelmora
