#pragma once
// Signalling events with automatic or manual reset, and a wait for two events at once.
// Events that are waited on together share one EventHub, so the pair is taken atomically.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>

namespace pelmora {

class EventHub {
public:
    std::mutex mutex;
    std::condition_variable changed;
};

class SyncEvent {
public:
    SyncEvent(EventHub& hub, std::string name, bool manualReset, bool initiallySignalled);
    SyncEvent(const SyncEvent&) = delete;
    SyncEvent& operator=(const SyncEvent&) = delete;

    void Set();
    void Reset();
    /// Waits until signalled; an automatic-reset event is reset by the wait that takes it.
    void Wait();
    /// As Wait, for at most `timeout`; false when it timed out.
    bool WaitFor(std::chrono::milliseconds timeout);
    /// Current state without consuming it.
    bool IsSet() const;
    const std::string& Name() const { return name_; }

    /// Waits until both events are signalled at the same moment, then takes both.
    friend void WaitBoth(SyncEvent& a, SyncEvent& b);

private:
    void TakeLocked() {
        if (!manualReset_) signalled_ = false;
    }

    EventHub& hub_;
    const std::string name_;
    const bool manualReset_;
    bool signalled_;
};

}  // namespace pelmora
