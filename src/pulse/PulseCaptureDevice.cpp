// SPDX-License-Identifier: GPL-3.0-or-later
#include "pulse/PulseCaptureDevice.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace pelmora {
namespace {

constexpr int kConnectWaitMs = 5000;

bool Ended(pa_stream_state_t state) { return state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED; }

// What ended a stream, as an errno value for the wave-input layer.
int EndCode(pa_context* context) {
    if (context == nullptr || !PA_CONTEXT_IS_GOOD(pa_context_get_state(context))) return -ECONNRESET;
    switch (pa_context_errno(context)) {
    case PA_ERR_NOENTITY:
    case PA_ERR_KILLED:
        return -ENODEV;
    case PA_ERR_CONNECTIONREFUSED:
    case PA_ERR_CONNECTIONTERMINATED:
        return -ECONNRESET;
    case PA_ERR_NOTSUPPORTED:
    case PA_ERR_INVALID:
        return -EINVAL;
    default:
        return -EIO;
    }
}

}  // namespace

PulseCaptureDevice::PulseCaptureDevice(std::shared_ptr<PulseConnection> connection, std::string source,
                                       const WaveFormat& format, WaveMessageTarget* target)
    : connection_(std::move(connection)), source_(std::move(source)), format_(format), target_(target) {}

PulseCaptureDevice::~PulseCaptureDevice() { Close(); }

WaveResult PulseCaptureDevice::Prepare(WaveHeader* h) {
    if (h == nullptr || h->data == nullptr || h->bufferLength == 0) return -EINVAL;
    if (h->flags & kWaveHeaderInQueue) return -EBUSY;
    h->flags |= kWaveHeaderPrepared;
    return 0;
}

WaveResult PulseCaptureDevice::Unprepare(WaveHeader* h) {
    if (h == nullptr) return -EINVAL;
    if (h->flags & kWaveHeaderInQueue) return -EBUSY;
    h->flags &= ~kWaveHeaderPrepared;
    return 0;
}

WaveResult PulseCaptureDevice::Add(WaveHeader* h) {
    if (h == nullptr || h->data == nullptr || !(h->flags & kWaveHeaderPrepared)) return -EINVAL;
    if (h->bufferLength < format_.blockAlign) return -EINVAL;
    PulseConnection::Lock lock(*connection_);
    if (closed_) return -EBADFD;
    if (failure_ != 0) return failure_;
    if (h->flags & kWaveHeaderInQueue) return -EBUSY;
    h->bytesRecorded = 0;
    h->flags = (h->flags | kWaveHeaderInQueue) & ~kWaveHeaderDone;
    queue_.push_back(h);
    return 0;
}

WaveResult PulseCaptureDevice::Start() {
    PulseConnection::Lock lock(*connection_);
    if (closed_) return -EBADFD;
    if (failure_ != 0) return failure_;
    if (stream_ != nullptr) return 0;
    pa_context* context = connection_->Context();
    if (context == nullptr || pa_context_get_state(context) != PA_CONTEXT_READY) return -ECONNREFUSED;

    pa_sample_spec spec{};
    spec.format = format_.bitsPerSample == 8 ? PA_SAMPLE_U8 : PA_SAMPLE_S16LE;
    spec.rate = format_.samplesPerSec;
    spec.channels = static_cast<uint8_t>(format_.channels);
    if (!pa_sample_spec_valid(&spec)) return -EINVAL;
    pa_proplist* props = pa_proplist_new();
    pa_proplist_sets(props, PA_PROP_MEDIA_ROLE, "production");
    stream_ = pa_stream_new_with_proplist(context, "Recording", &spec, nullptr, props);
    pa_proplist_free(props);
    if (stream_ == nullptr) return EndCode(context);

    // One device buffer per fragment, the whole device queue as the most the server holds.
    const uint32_t frame = format_.blockAlign;
    uint64_t fragmentBytes = queue_.empty() ? format_.avgBytesPerSec / 10 : queue_.front()->bufferLength / frame * frame;
    fragmentBytes = std::max<uint64_t>(fragmentBytes, frame);
    uint64_t bufferedBytes = 0;
    for (const WaveHeader* h : queue_) bufferedBytes += h->bufferLength / frame * frame;
    bufferedBytes = std::max(bufferedBytes, 2 * fragmentBytes);
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<uint32_t>(std::min<uint64_t>(bufferedBytes, UINT32_MAX - 1));
    attr.fragsize = static_cast<uint32_t>(fragmentBytes);
    attr.tlength = attr.prebuf = attr.minreq = static_cast<uint32_t>(-1);
    // The source's latency follows the fragment, so sound comes at the buffer rate. A named
    // source is kept: when it goes, the stream ends rather than moving elsewhere. The
    // default follows the desktop's choice.
    auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY);
    if (!source_.empty()) flags = static_cast<pa_stream_flags_t>(flags | PA_STREAM_DONT_MOVE);

    pa_stream_set_state_callback(stream_, &PulseCaptureDevice::OnState, this);
    pa_stream_set_read_callback(stream_, &PulseCaptureDevice::OnRead, this);
    {
        std::lock_guard<std::mutex> count(countMutex_);
        position_ = discarded_ = 0;
    }
    if (pa_stream_connect_record(stream_, source_.empty() ? nullptr : source_.c_str(), &attr, flags) < 0) {
        const int code = EndCode(context);
        DropStream();
        return code;
    }
    // Sound that comes before the answer waits in the stream until capturing_ is set; the
    // next read callback takes it with what follows, all on the client thread.
    pa_stream* stream = stream_;
    connection_->Wait([stream] { return pa_stream_get_state(stream) != PA_STREAM_CREATING; }, kConnectWaitMs);
    if (pa_stream_get_state(stream_) != PA_STREAM_READY) {
        const int code = Ended(pa_stream_get_state(stream_)) ? EndCode(pa_stream_get_context(stream_)) : -ETIMEDOUT;
        DropStream();
        return code;
    }
    capturing_ = true;
    return 0;
}

void PulseCaptureDevice::OnState(pa_stream* stream, void* userdata) {
    auto* self = static_cast<PulseCaptureDevice*>(userdata);
    self->connection_->Signal();
    if (Ended(pa_stream_get_state(stream)) && self->capturing_) self->Fail(EndCode(pa_stream_get_context(stream)));
}

void PulseCaptureDevice::OnRead(pa_stream*, std::size_t, void* userdata) { static_cast<PulseCaptureDevice*>(userdata)->Read(); }

void PulseCaptureDevice::Read() {
    if (!capturing_ || stream_ == nullptr) return;
    for (;;) {
        const void* data = nullptr;
        std::size_t bytes = 0;
        if (pa_stream_peek(stream_, &data, &bytes) < 0) {
            Fail(EndCode(connection_->Context()));
            return;
        }
        if (bytes == 0) break;
        if (data == nullptr) Count(bytes, true);  // a hole: sound the server does not have
        else Deliver(static_cast<const uint8_t*>(data), bytes);
        pa_stream_drop(stream_);
    }
}

void PulseCaptureDevice::Deliver(const uint8_t* data, std::size_t bytes) {
    const uint32_t frame = format_.blockAlign;
    while (bytes > 0) {
        if (queue_.empty()) {
            Count(bytes, true);
            return;
        }
        WaveHeader* head = queue_.front();
        const uint32_t usable = head->bufferLength / frame * frame;
        const std::size_t take = std::min<std::size_t>(bytes, usable - head->bytesRecorded);
        std::memcpy(head->data + head->bytesRecorded, data, take);
        head->bytesRecorded += static_cast<uint32_t>(take);
        Count(take, false);
        data += take;
        bytes -= take;
        if (head->bytesRecorded >= usable) {
            queue_.pop_front();
            PostDone(head);
        }
    }
}

// The stream ended under us: the buffer being filled goes back with its sound so far, and
// every later Add reports the failure.
void PulseCaptureDevice::Fail(int code) {
    failure_ = code != 0 ? code : -EIO;
    capturing_ = false;
    if (!queue_.empty()) {
        WaveHeader* head = queue_.front();
        queue_.pop_front();
        PostDone(head);
    }
}

void PulseCaptureDevice::DropStream() {
    if (stream_ == nullptr) return;
    pa_stream_set_state_callback(stream_, nullptr, nullptr);
    pa_stream_set_read_callback(stream_, nullptr, nullptr);
    if (!Ended(pa_stream_get_state(stream_))) pa_stream_disconnect(stream_);
    pa_stream_unref(stream_);
    stream_ = nullptr;
}

WaveResult PulseCaptureDevice::Position(uint64_t* bytes) {
    if (bytes == nullptr) return -EINVAL;
    std::lock_guard<std::mutex> lock(countMutex_);
    *bytes = position_;
    return 0;
}

WaveResult PulseCaptureDevice::Counters(uint64_t* position, uint64_t* discarded) {
    std::lock_guard<std::mutex> lock(countMutex_);
    *position = position_;
    *discarded = discarded_;
    return 0;
}

void PulseCaptureDevice::Count(uint64_t bytes, bool discarded) {
    std::lock_guard<std::mutex> lock(countMutex_);
    position_ += bytes;
    if (discarded) discarded_ += bytes;
}

WaveResult PulseCaptureDevice::Reset() {
    std::deque<WaveHeader*> returned;
    {
        PulseConnection::Lock lock(*connection_);
        if (closed_) return 0;
        capturing_ = false;
        DropStream();
        returned.swap(queue_);
    }
    for (WaveHeader* h : returned) PostDone(h);
    return 0;
}

WaveResult PulseCaptureDevice::Close() {
    const WaveResult reset = Reset();
    PulseConnection::Lock lock(*connection_);
    closed_ = true;
    return reset;
}

void PulseCaptureDevice::PostDone(WaveHeader* h) {
    h->flags = (h->flags & ~kWaveHeaderInQueue) | kWaveHeaderDone;
    target_->PostWaveData(h);  // the receiving thread owns it from here
}

}  // namespace pelmora
