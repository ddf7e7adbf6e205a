// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One connection to the sound server (PulseAudio, or PipeWire's pulse service) on libpulse's
// threaded main loop: the sources it offers and its default source, kept up to date through
// its subscription events. When the server goes away the connection tries again once a
// second until it is back. Shared by the wave-input backend and the streams it opens.

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct pa_context;
struct pa_threaded_mainloop;

namespace pelmora {

struct ServerSource {
    uint32_t index = 0;
    std::string name;         // the server's name, stable across restarts
    std::string description;  // what the desktop's sound settings show
    uint32_t rate = 0;        // native sample rate and channel count
    uint8_t channels = 0;
    bool monitor = false;     // the monitor of an output
};

class PulseConnection {
public:
    /// Starts the client thread and connects; waits up to `wait` milliseconds for the first
    /// list of sources. Null when the client thread cannot be made.
    static std::shared_ptr<PulseConnection> Start(int waitMs = 2000);
    ~PulseConnection();
    PulseConnection(const PulseConnection&) = delete;
    PulseConnection& operator=(const PulseConnection&) = delete;

    /// True while connected and listed.
    bool Ready() const { return ready_.load(); }
    /// The sources in the server's order, and the default source's name; empty when not Ready.
    std::vector<ServerSource> Sources() const;
    std::string DefaultSource() const;
    /// Counts every change of the list (names and descriptions) or of the connection.
    uint64_t Generation() const { return generation_.load(); }
    /// Called on the client thread after every such change; must not block or call back.
    void SetChangeListener(std::function<void()> listener);
    /// Calls `watcher` on the client thread, with the lock held, whenever a source changed
    /// (its index given); until RemoveSourceWatcher. Both under Lock.
    int AddSourceWatcher(std::function<void(uint32_t index)> watcher);
    void RemoveSourceWatcher(int id);
    /// Kernel id of the client thread (0 before it ran), for its scheduling.
    pid_t ThreadId() const { return threadId_.load(); }

    // For the streams, all under Lock(): the main loop, its context (null while not
    // connected), and waiting for a change with a deadline.
    class Lock {
    public:
        explicit Lock(PulseConnection& c);
        ~Lock();
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        PulseConnection& c_;
    };
    pa_context* Context() const { return context_; }
    pa_threaded_mainloop* Loop() const { return loop_; }
    /// Under Lock: waits until `done` holds or `ms` milliseconds passed; false on timeout.
    bool Wait(const std::function<bool()>& done, int ms);
    /// Wakes every Wait; from the client thread.
    void Signal();

private:
    PulseConnection() = default;
    bool StartThread();
    void Connect();
    void ScheduleReconnect();
    void Refresh();
    void Publish();

    static void OnContextState(pa_context* c, void* self);

    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;  // under the loop's lock
    bool reconnectPending_ = false;  // under the loop's lock
    bool settled_ = false;           // under the loop's lock: the first attempt ended
    bool closing_ = false;           // under the loop's lock
    bool refreshing_ = false;        // under the loop's lock
    bool refreshAgain_ = false;      // under the loop's lock
    int refreshParts_ = 0;           // under the loop's lock: answers still awaited
    std::vector<ServerSource> pendingSources_;  // under the loop's lock
    std::vector<std::pair<int, std::function<void(uint32_t)>>> sourceWatchers_;  // under the loop's lock
    int nextWatcher_ = 1;                                                        // under the loop's lock
    std::string pendingDefault_;                // under the loop's lock

    mutable std::mutex mutex_;  // guards the published state below
    std::vector<ServerSource> sources_;
    std::string defaultSource_;
    std::function<void()> listener_;
    std::atomic<bool> ready_{false};
    std::atomic<uint64_t> generation_{0};
    std::atomic<pid_t> threadId_{0};
};

}  // namespace pelmora
