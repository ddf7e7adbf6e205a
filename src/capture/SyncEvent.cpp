// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/SyncEvent.h"

#include <algorithm>
#include <array>
#include <cassert>

namespace pelmora {

SyncEvent::SyncEvent(EventHub& hub, std::string name, bool manualReset, bool initiallySignalled)
    : hub_(hub), name_(std::move(name)), manualReset_(manualReset), signalled_(initiallySignalled) {}

EventHub::Registration::Registration(EventHub& hub, const SyncEvent* first, const SyncEvent* second)
    : hub_(hub), waiter_(std::make_shared<Waiter>()) {
    waiter_->first = first;
    waiter_->second = second;
    hub_.waiters_.push_back(waiter_);
}

EventHub::Registration::~Registration() {
    auto& w = hub_.waiters_;
    w.erase(std::find(w.begin(), w.end(), waiter_));
}

void SyncEvent::Set() {
    // Woken after the mutex is let go: a thread woken while the setter still holds it would
    // only block again on the mutex, at the cost of two more system calls and a switch.
    std::array<std::shared_ptr<EventHub::Waiter>, 4> woken;
    std::size_t count = 0;
    {
        std::lock_guard<std::mutex> lock(hub_.mutex);
        signalled_ = true;
        for (const auto& w : hub_.waiters_) {
            if (w->first != this && w->second != this) continue;
            if (count < woken.size())
                woken[count++] = w;
            else
                w->wake.notify_one();
        }
    }
    for (std::size_t i = 0; i < count; ++i) woken[i]->wake.notify_one();
}

void SyncEvent::Reset() {
    std::lock_guard<std::mutex> lock(hub_.mutex);
    signalled_ = false;
}

void SyncEvent::Wait() {
    std::unique_lock<std::mutex> lock(hub_.mutex);
    EventHub::Registration waiting(hub_, this, nullptr);
    waiting.Wake().wait(lock, [this] { return signalled_; });
    TakeLocked();
}

bool SyncEvent::WaitFor(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(hub_.mutex);
    EventHub::Registration waiting(hub_, this, nullptr);
    if (!waiting.Wake().wait_for(lock, timeout, [this] { return signalled_; })) return false;
    TakeLocked();
    return true;
}

bool SyncEvent::IsSet() const {
    std::lock_guard<std::mutex> lock(hub_.mutex);
    return signalled_;
}

void WaitBoth(SyncEvent& a, SyncEvent& b) {
    assert(&a.hub_ == &b.hub_);
    std::unique_lock<std::mutex> lock(a.hub_.mutex);
    EventHub::Registration waiting(a.hub_, &a, &b);
    waiting.Wake().wait(lock, [&] { return a.signalled_ && b.signalled_; });
    a.TakeLocked();
    b.TakeLocked();
}

}  // namespace pelmora
