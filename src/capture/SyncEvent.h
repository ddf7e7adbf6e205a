// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Signalling events with automatic or manual reset, and a wait for two events at once.
// Events that are waited on together share one EventHub, so the pair is taken atomically.
// A Set wakes only the threads waiting for that event, never every waiter of the hub.

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace pelmora {

class SyncEvent;

class EventHub {
public:
    std::mutex mutex;

private:
    friend class SyncEvent;
    friend void WaitBoth(SyncEvent& a, SyncEvent& b);

    // A thread waiting for one or two events of this hub (registered under `mutex`). Shared,
    // so that a Set can wake it after letting go of the mutex even if the wait has ended.
    struct Waiter {
        std::condition_variable wake;
        const SyncEvent* first;
        const SyncEvent* second;
    };
    // Registers a waiter for the lifetime of one wait; the hub's mutex is held throughout.
    class Registration {
    public:
        Registration(EventHub& hub, const SyncEvent* first, const SyncEvent* second);
        ~Registration();
        Registration(const Registration&) = delete;
        Registration& operator=(const Registration&) = delete;
        std::condition_variable& Wake() { return waiter_->wake; }

    private:
        EventHub& hub_;
        std::shared_ptr<Waiter> waiter_;
    };

    std::vector<std::shared_ptr<Waiter>> waiters_;
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
