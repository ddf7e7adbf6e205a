// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The ten events that connect the pipeline threads, created in this order and state.

#include "capture/SyncEvent.h"

namespace pelmora {

struct PipelineEvents {
    EventHub hub;
    SyncEvent listAccess{hub, "ListAccess", false, true};  // lock of writerQueue: signalled = free
    SyncEvent newData{hub, "NewData", false, false};
    SyncEvent newData0{hub, "NewData0", false, false};
    SyncEvent wavHeader{hub, "WavHeader", true, false};
    SyncEvent threadClosed{hub, "ThreadClosed", false, false};
    SyncEvent procThreadClosed{hub, "ProcThreadClosed", false, false};
    SyncEvent recStopped{hub, "RecStopped", false, false};
    SyncEvent nextWim{hub, "NextWim", false, false};
    SyncEvent buffReset{hub, "BuffReset", false, false};
    SyncEvent devReset{hub, "DevReset", false, false};
};

/// Holds "ListAccess" for a scope.
class ListAccessLock {
public:
    explicit ListAccessLock(SyncEvent& listAccess) : event_(listAccess) { event_.Wait(); }
    ~ListAccessLock() { event_.Set(); }
    ListAccessLock(const ListAccessLock&) = delete;
    ListAccessLock& operator=(const ListAccessLock&) = delete;

private:
    SyncEvent& event_;
};

}  // namespace pelmora
