#include "capture/SyncEvent.h"

#include <cassert>

namespace pelmora {

SyncEvent::SyncEvent(EventHub& hub, std::string name, bool manualReset, bool initiallySignalled)
    : hub_(hub), name_(std::move(name)), manualReset_(manualReset), signalled_(initiallySignalled) {}

void SyncEvent::Set() {
    {
        std::lock_guard<std::mutex> lock(hub_.mutex);
        signalled_ = true;
    }
    hub_.changed.notify_all();
}

void SyncEvent::Reset() {
    std::lock_guard<std::mutex> lock(hub_.mutex);
    signalled_ = false;
}

void SyncEvent::Wait() {
    std::unique_lock<std::mutex> lock(hub_.mutex);
    hub_.changed.wait(lock, [this] { return signalled_; });
    TakeLocked();
}

bool SyncEvent::WaitFor(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(hub_.mutex);
    if (!hub_.changed.wait_for(lock, timeout, [this] { return signalled_; })) return false;
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
    a.hub_.changed.wait(lock, [&] { return a.signalled_ && b.signalled_; });
    a.TakeLocked();
    b.TakeLocked();
}

}  // namespace pelmora
