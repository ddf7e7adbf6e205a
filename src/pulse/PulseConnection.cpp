// SPDX-License-Identifier: GPL-3.0-or-later
#include "pulse/PulseConnection.h"

#include "capture/ThreadRoles.h"

#include <pulse/pulseaudio.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <utility>

namespace pelmora {
namespace {

constexpr int kReconnectMs = 1000;

pa_time_event* AfterMs(pa_threaded_mainloop* loop, int ms, pa_time_event_cb_t callback, void* userdata) {
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop);
    timeval when{};
    pa_gettimeofday(&when);
    pa_timeval_add(&when, static_cast<pa_usec_t>(ms) * PA_USEC_PER_MSEC);
    return api->time_new(api, &when, callback, userdata);
}

void FreeTimeEvent(pa_mainloop_api* api, pa_time_event* e) { api->time_free(e); }

}  // namespace

PulseConnection::Lock::Lock(PulseConnection& c) : c_(c) { pa_threaded_mainloop_lock(c_.loop_); }
PulseConnection::Lock::~Lock() { pa_threaded_mainloop_unlock(c_.loop_); }

std::shared_ptr<PulseConnection> PulseConnection::Start(int waitMs) {
    std::shared_ptr<PulseConnection> c(new PulseConnection);
    if (!c->StartThread()) return nullptr;
    Lock lock(*c);
    c->Connect();
    c->Wait([&c] { return c->settled_; }, waitMs);
    return c;
}

// The one place where the client thread is made: the server's answers, and the sound of
// every stream, arrive on it.
bool PulseConnection::StartThread() {
    loop_ = pa_threaded_mainloop_new();
    if (loop_ == nullptr) return false;
    pa_threaded_mainloop_set_name(loop_, "pelmora-pulse");
    // Started from the launcher: the thread hands sound to the receiving thread and runs at
    // its level, never at that of the thread asking.
    int started = -1;
    ThreadRoles::Instance().RunStarting(ThreadRole::Receive, [&] { started = pa_threaded_mainloop_start(loop_); });
    if (started < 0) {
        pa_threaded_mainloop_free(loop_);
        loop_ = nullptr;
        return false;
    }
    return true;
}

PulseConnection::~PulseConnection() {
    if (loop_ == nullptr) return;
    {
        Lock lock(*this);
        closing_ = true;
        if (context_) {
            pa_context_set_state_callback(context_, nullptr, nullptr);
            pa_context_set_subscribe_callback(context_, nullptr, nullptr);
            pa_context_disconnect(context_);
            pa_context_unref(context_);
            context_ = nullptr;
        }
    }
    pa_threaded_mainloop_stop(loop_);
    pa_threaded_mainloop_free(loop_);  // with any pending time event
}

void PulseConnection::Connect() {
    if (closing_) return;
    pa_proplist* props = pa_proplist_new();
    pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, "Pelmora");
    pa_proplist_sets(props, PA_PROP_APPLICATION_ID, "pelmora");
    pa_proplist_sets(props, PA_PROP_APPLICATION_ICON_NAME, "pelmora");
    context_ = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(loop_), "Pelmora", props);
    pa_proplist_free(props);
    if (context_ == nullptr) {
        ScheduleReconnect();
        return;
    }
    pa_context_set_state_callback(context_, &PulseConnection::OnContextState, this);
    // Never start a server of our own: the desktop's is the one to record from.
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        settled_ = true;
        ScheduleReconnect();
    }
}

void PulseConnection::ScheduleReconnect() {
    if (reconnectPending_ || closing_) return;
    reconnectPending_ = true;
    AfterMs(
        loop_, kReconnectMs,
        [](pa_mainloop_api* api, pa_time_event* e, const timeval*, void* userdata) {
            FreeTimeEvent(api, e);
            auto* self = static_cast<PulseConnection*>(userdata);
            self->reconnectPending_ = false;
            if (self->context_) {
                pa_context_set_state_callback(self->context_, nullptr, nullptr);
                pa_context_set_subscribe_callback(self->context_, nullptr, nullptr);
                pa_context_disconnect(self->context_);
                pa_context_unref(self->context_);
                self->context_ = nullptr;
            }
            self->Connect();
        },
        this);
}

void PulseConnection::OnContextState(pa_context* c, void* userdata) {
    auto* self = static_cast<PulseConnection*>(userdata);
    // The first state change comes on the connecting thread; the client thread's id is taken
    // on the client thread.
    if (self->threadId_.load() == 0 && pa_threaded_mainloop_in_thread(self->loop_))
        self->threadId_.store(static_cast<pid_t>(::syscall(SYS_gettid)));
    switch (pa_context_get_state(c)) {
    case PA_CONTEXT_READY: {
        pa_context_set_subscribe_callback(
            c,
            [](pa_context*, pa_subscription_event_type_t type, uint32_t index, void* userdata) {
                auto* self = static_cast<PulseConnection*>(userdata);
                const unsigned facility = type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
                if (facility == PA_SUBSCRIPTION_EVENT_SOURCE || facility == PA_SUBSCRIPTION_EVENT_SERVER) self->Refresh();
                if (facility == PA_SUBSCRIPTION_EVENT_SOURCE) {
                    const auto watchers = self->sourceWatchers_;  // a watcher may remove itself
                    for (const auto& w : watchers) w.second(index);
                }
            },
            self);
        pa_operation* op = pa_context_subscribe(
            c, static_cast<pa_subscription_mask_t>(PA_SUBSCRIPTION_MASK_SOURCE | PA_SUBSCRIPTION_MASK_SERVER), nullptr,
            nullptr);
        if (op) pa_operation_unref(op);
        self->Refresh();
        break;
    }
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED: {
        const bool wasReady = self->ready_.exchange(false);
        self->settled_ = true;
        if (wasReady) {
            {
                std::lock_guard<std::mutex> lock(self->mutex_);
                self->sources_.clear();
                self->defaultSource_.clear();
            }
            self->generation_.fetch_add(1);
            self->Publish();
        }
        self->refreshing_ = self->refreshAgain_ = false;
        self->ScheduleReconnect();
        self->Signal();
        break;
    }
    default:
        break;
    }
}

// Asks for the whole list and the default again; events that come meanwhile ask once more
// when the answers are in.
void PulseConnection::Refresh() {
    if (context_ == nullptr || pa_context_get_state(context_) != PA_CONTEXT_READY) return;
    if (refreshing_) {
        refreshAgain_ = true;
        return;
    }
    refreshing_ = true;
    refreshAgain_ = false;
    refreshParts_ = 2;
    pendingSources_.clear();
    pendingDefault_.clear();
    auto partDone = [](PulseConnection* self) {
        if (--self->refreshParts_ > 0) return;
        self->refreshing_ = false;
        bool changed = !self->ready_.load();
        {
            std::lock_guard<std::mutex> lock(self->mutex_);
            const auto& before = self->sources_;
            const auto& after = self->pendingSources_;
            changed = changed || before.size() != after.size() ||
                      !std::equal(before.begin(), before.end(), after.begin(), [](const auto& a, const auto& b) {
                          return a.name == b.name && a.description == b.description;
                      });
            self->sources_ = std::move(self->pendingSources_);
            self->defaultSource_ = self->pendingDefault_;
        }
        self->pendingSources_.clear();
        self->ready_.store(true);
        self->settled_ = true;
        // Volume and state changes of a source come as events too; only the list counts.
        if (changed) {
            self->generation_.fetch_add(1);
            self->Publish();
        }
        self->Signal();
        if (self->refreshAgain_) self->Refresh();
    };
    static decltype(partDone) done = partDone;
    pa_operation* op = pa_context_get_server_info(
        context_,
        [](pa_context*, const pa_server_info* info, void* userdata) {
            auto* self = static_cast<PulseConnection*>(userdata);
            if (info && info->default_source_name) self->pendingDefault_ = info->default_source_name;
            done(self);
        },
        this);
    if (op) pa_operation_unref(op);
    else done(this);
    op = pa_context_get_source_info_list(
        context_,
        [](pa_context*, const pa_source_info* info, int eol, void* userdata) {
            auto* self = static_cast<PulseConnection*>(userdata);
            if (eol != 0) {
                done(self);
                return;
            }
            ServerSource s;
            s.index = info->index;
            s.name = info->name ? info->name : "";
            s.description = info->description && *info->description ? info->description : s.name;
            s.rate = info->sample_spec.rate;
            s.channels = info->sample_spec.channels;
            s.monitor = info->monitor_of_sink != PA_INVALID_INDEX;
            self->pendingSources_.push_back(std::move(s));
        },
        this);
    if (op) pa_operation_unref(op);
    else done(this);
}

void PulseConnection::Publish() {
    std::function<void()> listener;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        listener = listener_;
    }
    if (listener) listener();
}

std::vector<ServerSource> PulseConnection::Sources() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return sources_;
}

std::string PulseConnection::DefaultSource() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return defaultSource_;
}

void PulseConnection::SetChangeListener(std::function<void()> listener) {
    std::lock_guard<std::mutex> lock(mutex_);
    listener_ = std::move(listener);
}

int PulseConnection::AddSourceWatcher(std::function<void(uint32_t index)> watcher) {
    sourceWatchers_.emplace_back(nextWatcher_, std::move(watcher));
    return nextWatcher_++;
}

void PulseConnection::RemoveSourceWatcher(int id) {
    sourceWatchers_.erase(std::remove_if(sourceWatchers_.begin(), sourceWatchers_.end(),
                                         [id](const auto& w) { return w.first == id; }),
                          sourceWatchers_.end());
}

void PulseConnection::Signal() { pa_threaded_mainloop_signal(loop_, 0); }

bool PulseConnection::Wait(const std::function<bool()>& done, int ms) {
    bool timedOut = false;
    struct Deadline {
        PulseConnection* self;
        bool* timedOut;
    } deadline{this, &timedOut};
    pa_time_event* timer = AfterMs(
        loop_, ms,
        [](pa_mainloop_api*, pa_time_event*, const timeval*, void* userdata) {
            auto* d = static_cast<Deadline*>(userdata);
            *d->timedOut = true;
            d->self->Signal();
        },
        &deadline);
    while (!done() && !timedOut) pa_threaded_mainloop_wait(loop_);
    pa_threaded_mainloop_get_api(loop_)->time_free(timer);
    return done();
}

}  // namespace pelmora
