// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/SimulatedWaveIn.h"
#include "capture/ThreadRoles.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <deque>
#include <thread>

namespace pelmora {

struct SimulatedDeviceCore {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<WaveHeader*> queue;  // queued buffers, oldest first
    bool started = false;
    bool stalled = false;
    bool resetPending = false;
    bool delivering = false;        // a buffer is between the queue and the target
    bool quit = false;
    bool closed = false;
    bool dead = false;              // failed for good: every call reports it
    bool noData = false;            // runs on, delivering nothing
    uint64_t position = 0;          // bytes delivered or discarded since start
    uint64_t discarded = 0;         // the part of position that reached no buffer
    uint64_t returned = 0;
    uint64_t stallAt = 0;           // stall once this many were returned; 0 = never
    std::chrono::steady_clock::time_point nextDue;
    uint32_t lastLength = 0;
};

namespace {

constexpr double kPi = 3.14159265358979;
constexpr WaveResult kDeadDevice = -ENODEV;
constexpr WaveResult kNoServer = -ECONNREFUSED;

class SoundSource {
public:
    SoundSource(const SimulatedWaveInConfig& config, const WaveFormat& format) : config_(config), format_(format) {}

    void Fill(uint8_t* data, uint32_t length) {
        const int bits = format_.bitsPerSample;
        const int channels = std::max<int>(format_.channels, 1);
        if (config_.source == SimulatedSource::kSupplied) {
            const std::vector<uint8_t>& from = config_.supplied;
            if (from.empty()) {
                std::memset(data, 0, length);
                return;
            }
            for (uint32_t done = 0; done < length;) {
                const std::size_t n = std::min<std::size_t>(length - done, from.size() - suppliedPos_);
                std::memcpy(data + done, from.data() + suppliedPos_, n);
                done += static_cast<uint32_t>(n);
                suppliedPos_ = (suppliedPos_ + n) % from.size();
            }
            return;
        }
        if (bits != 8 && bits != 16) {
            std::memset(data, 0, length);
            return;
        }
        const int bytesPerSample = bits / 8;
        const uint32_t frameBytes = static_cast<uint32_t>(bytesPerSample * channels);
        for (uint32_t off = 0; off + frameBytes <= length; off += frameBytes) {
            const int value = NextValue(bits);
            for (int c = 0; c < channels; ++c) Put(data + off + c * bytesPerSample, bits, value);
        }
    }

private:
    int NextValue(int bits) {
        const int fullScale = bits == 8 ? 128 : 32768;
        const uint64_t frame = frame_++;
        switch (config_.source) {
            case SimulatedSource::kConstant:
                return config_.constantOffset;
            case SimulatedSource::kSine: {
                const double t = static_cast<double>(frame) / std::max<uint32_t>(format_.samplesPerSec, 1);
                return static_cast<int>(config_.sineAmplitude * fullScale * std::sin(2.0 * kPi * config_.sineFrequency * t));
            }
            case SimulatedSource::kFullScale:
                return frame % 2 == 0 ? -fullScale : fullScale - 1;
            default:
                return 0;
        }
    }

    static void Put(uint8_t* p, int bits, int value) {
        if (bits == 8) {
            p[0] = static_cast<uint8_t>(std::clamp(value + 128, 0, 255));
        } else {
            const auto v = static_cast<uint16_t>(static_cast<int16_t>(std::clamp(value, -32768, 32767)));
            p[0] = static_cast<uint8_t>(v & 0xff);
            p[1] = static_cast<uint8_t>(v >> 8);
        }
    }

    const SimulatedWaveInConfig& config_;
    const WaveFormat format_;
    uint64_t frame_ = 0;
    std::size_t suppliedPos_ = 0;
};

}  // namespace

class SimulatedWaveInDevice : public WaveInDevice {
public:
    SimulatedWaveInDevice(const SimulatedWaveInConfig& config, const WaveFormat& format, WaveMessageTarget* target,
                          std::shared_ptr<SimulatedWaveInProbe> probe)
        : config_(config), format_(format), target_(target), probe_(std::move(probe)),
          core_(std::make_shared<SimulatedDeviceCore>()), source_(config_, format_) {
        if (config_.stallAfterBuffers > 0) core_->stallAt = static_cast<uint64_t>(config_.stallAfterBuffers);
        core_->stalled = config_.startStalled;
        {
            std::lock_guard<std::mutex> lock(probe_->mutex_);
            probe_->current_ = core_;
        }
        probe_->openDevices_.fetch_add(1);
        // The device's own thread, as a sound card's driver thread serves the receiving thread.
        thread_ = ThreadRoles::Instance().StartThread(ThreadRole::Receive, "pelmora-simdev", [this] { Run(); });
    }

    ~SimulatedWaveInDevice() override {
        {
            std::lock_guard<std::mutex> lock(core_->mutex);
            core_->quit = true;
        }
        core_->changed.notify_all();
        thread_.join();
        probe_->queued_.fetch_sub(static_cast<int>(core_->queue.size()));
        probe_->openDevices_.fetch_sub(1);
        std::lock_guard<std::mutex> lock(probe_->mutex_);
        if (probe_->current_.lock() == core_) probe_->current_.reset();
    }

    WaveResult Prepare(WaveHeader* h) override {
        std::lock_guard<std::mutex> lock(core_->mutex);
        if (core_->closed) return -EBADF;
        if (core_->dead) return kDeadDevice;
        if (++prepareCalls_ == config_.failPrepareCall) return -ENOMEM;
        if (!h || !h->data || h->bufferLength == 0) return -EINVAL;
        if ((h->flags & kWaveHeaderPrepared) == 0) probe_->prepared_.fetch_add(1);
        h->flags |= kWaveHeaderPrepared;
        return 0;
    }

    WaveResult Unprepare(WaveHeader* h) override {
        std::lock_guard<std::mutex> lock(core_->mutex);
        if (++unprepareCalls_ == config_.failUnprepareCall) return -EIO;
        if (!h) return -EINVAL;
        if (h->flags & kWaveHeaderInQueue) return -EBUSY;  // still at the device
        if (h->flags & kWaveHeaderPrepared) probe_->prepared_.fetch_sub(1);
        h->flags &= ~kWaveHeaderPrepared;
        return 0;
    }

    WaveResult Add(WaveHeader* h) override {
        const int call = ++addCalls_;
        if (call == config_.stallAddCall) {
            probe_->NoteAddStalling();
            std::this_thread::sleep_for(config_.addStall);
        }
        {
            std::lock_guard<std::mutex> lock(core_->mutex);
            if (core_->closed) return -EBADF;
            if (core_->dead) return kDeadDevice;
            if (call == config_.failAddCall) return -EIO;
            if (!h || (h->flags & kWaveHeaderPrepared) == 0) return -EINVAL;
            if (h->flags & kWaveHeaderInQueue) return -EALREADY;
            h->flags = (h->flags & ~kWaveHeaderDone) | kWaveHeaderInQueue;
            h->bytesRecorded = 0;
            core_->queue.push_back(h);
            probe_->queued_.fetch_add(1);
        }
        core_->changed.notify_all();
        return 0;
    }

    WaveResult Start() override {
        {
            std::lock_guard<std::mutex> lock(core_->mutex);
            if (core_->closed) return -EBADF;
            if (config_.failStart) return -EIO;
            if (!core_->started) {
                core_->started = true;
                core_->nextDue = std::chrono::steady_clock::now();
            }
        }
        core_->changed.notify_all();
        return 0;
    }

    WaveResult Position(uint64_t* bytes) override {
        std::lock_guard<std::mutex> lock(core_->mutex);
        if (!bytes) return -EINVAL;
        *bytes = core_->position;
        return 0;
    }

    WaveResult Counters(uint64_t* position, uint64_t* discarded) override {
        std::lock_guard<std::mutex> lock(core_->mutex);
        *position = core_->position;
        *discarded = core_->discarded;
        return 0;
    }

    WaveResult Reset() override {
        std::unique_lock<std::mutex> lock(core_->mutex);
        // The device thread returns the queue, so the order stays that of queueing; this
        // works whether or not the device is stalled.
        core_->resetPending = true;
        core_->changed.notify_all();
        core_->changed.wait(lock, [this] { return !core_->resetPending; });
        return config_.failReset ? -EIO : 0;
    }

    WaveResult Close() override {
        std::unique_lock<std::mutex> lock(core_->mutex);
        core_->changed.wait(lock, [this] { return !core_->delivering; });
        if (!core_->queue.empty()) return -EBUSY;
        if (config_.failClose) return -EIO;
        core_->closed = true;
        core_->started = false;
        return 0;
    }

private:
    bool Due(const std::chrono::steady_clock::time_point& now) const {
        // Flat out keeps the newest queued buffer as the one being filled, as a real device
        // always has one: a buffer queued again is not already full when its position is read.
        return config_.pace == SimulatedPace::kFlatOut ? core_->queue.size() >= 2 : now >= core_->nextDue;
    }

    std::chrono::steady_clock::duration Period(uint32_t length) const {
        const double seconds = static_cast<double>(length) / std::max<uint32_t>(format_.avgBytesPerSec, 1);
        return std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(seconds));
    }

    void Run() {
        std::unique_lock<std::mutex> lock(core_->mutex);
        for (;;) {
            const auto ready = [this] {
                if (core_->quit || core_->resetPending) return true;
                if (!core_->started || core_->stalled) return false;
                if (core_->noData) return std::chrono::steady_clock::now() >= core_->nextDue;
                return Due(std::chrono::steady_clock::now());
            };
            if ((config_.pace == SimulatedPace::kRealTime || core_->noData) && core_->started && !core_->stalled)
                core_->changed.wait_until(lock, core_->nextDue, ready);
            else
                core_->changed.wait(lock, ready);
            if (core_->quit) return;
            if (core_->resetPending) {
                ReturnQueue(lock);
                continue;
            }
            if (!ready()) continue;

            if (core_->noData) {
                // One overrun after the other, each recovered: time passes, nothing arrives.
                const uint32_t length = core_->lastLength > 0 ? core_->lastLength : format_.avgBytesPerSec / 10;
                core_->nextDue += Period(length);
                core_->position += length;
                core_->discarded += length;
                continue;
            }
            if (config_.pace == SimulatedPace::kRealTime) {
                const uint32_t length = core_->queue.empty() ? core_->lastLength : core_->queue.front()->bufferLength;
                core_->nextDue += Period(length > 0 ? length : format_.avgBytesPerSec / 10);
                if (core_->queue.empty()) {
                    core_->position += length;  // nowhere to put it: discarded
                    continue;
                }
            }
            WaveHeader* h = core_->queue.front();
            core_->queue.pop_front();
            core_->lastLength = h->bufferLength;
            const uint64_t number = ++core_->returned;
            if (number == static_cast<uint64_t>(config_.jumpBeforeBuffer)) core_->position += config_.jumpBytes;
            // A dying device hands back what it captured of its last buffer, whole frames.
            const bool dies = number == static_cast<uint64_t>(config_.dieAfterBuffers) + 1 && config_.dieAfterBuffers > 0;
            const uint32_t frame = std::max<uint32_t>(format_.blockAlign, 1);
            const uint32_t length = dies ? h->bufferLength / 2 / frame * frame : h->bufferLength;
            core_->position += length;
            if (number == core_->stallAt) core_->stalled = true;
            if (dies) core_->dead = core_->stalled = true;
            if (number == static_cast<uint64_t>(config_.noDataAfterBuffers) && config_.noDataAfterBuffers > 0) {
                core_->noData = true;
                core_->stalled = false;
                core_->nextDue = std::chrono::steady_clock::now();
            }
            core_->delivering = true;
            lock.unlock();

            source_.Fill(h->data, length);
            Deliver(h, length);

            lock.lock();
            core_->delivering = false;
            core_->changed.notify_all();
        }
    }

    void ReturnQueue(std::unique_lock<std::mutex>& lock) {
        std::deque<WaveHeader*> queue;
        queue.swap(core_->queue);
        core_->started = false;
        core_->delivering = true;
        lock.unlock();
        for (WaveHeader* h : queue) Deliver(h, h->bytesRecorded);
        lock.lock();
        core_->delivering = false;
        core_->resetPending = false;
        core_->changed.notify_all();
    }

    void Deliver(WaveHeader* h, uint32_t recorded) {
        h->bytesRecorded = recorded;
        h->flags = (h->flags & ~kWaveHeaderInQueue) | kWaveHeaderDone;
        probe_->queued_.fetch_sub(1);
        probe_->CountReturned();
        if (target_) target_->PostWaveData(h);
    }

    const SimulatedWaveInConfig config_;
    const WaveFormat format_;
    WaveMessageTarget* const target_;
    const std::shared_ptr<SimulatedWaveInProbe> probe_;
    const std::shared_ptr<SimulatedDeviceCore> core_;
    SoundSource source_;  // device thread only
    int prepareCalls_ = 0;
    int unprepareCalls_ = 0;
    std::atomic<int> addCalls_{0};
    std::thread thread_;
};

uint64_t SimulatedWaveInProbe::ReturnedBuffers() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return returned_;
}

bool SimulatedWaveInProbe::WaitReturned(uint64_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return returnedChanged_.wait_for(lock, timeout, [&] { return returned_ >= count; });
}

bool SimulatedWaveInProbe::WaitAddStalling(std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return returnedChanged_.wait_for(lock, timeout, [&] { return addStalling_; });
}

void SimulatedWaveInProbe::NoteAddStalling() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        addStalling_ = true;
    }
    returnedChanged_.notify_all();
}

void SimulatedWaveInProbe::CountReturned() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++returned_;
    }
    returnedChanged_.notify_all();
}

std::shared_ptr<SimulatedDeviceCore> SimulatedWaveInProbe::Current() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return current_.lock();
}

void SimulatedWaveInProbe::SetStalled(bool stalled) {
    if (auto core = Current()) {
        {
            std::lock_guard<std::mutex> lock(core->mutex);
            core->stalled = stalled;
            core->nextDue = std::chrono::steady_clock::now();
        }
        core->changed.notify_all();
    }
}

void SimulatedWaveInProbe::ReturnMore(uint64_t count) {
    if (auto core = Current()) {
        {
            std::lock_guard<std::mutex> lock(core->mutex);
            core->stallAt = core->returned + count;
            core->stalled = count == 0;
            core->nextDue = std::chrono::steady_clock::now();
        }
        core->changed.notify_all();
    }
}

void SimulatedWaveInProbe::JumpPosition(uint64_t bytes) {
    if (auto core = Current()) {
        std::lock_guard<std::mutex> lock(core->mutex);
        core->position += bytes;
    }
}

SimulatedWaveInBackend::SimulatedWaveInBackend(SimulatedWaveInConfig config)
    : config_(std::move(config)), probe_(std::make_shared<SimulatedWaveInProbe>()) {}

void SimulatedWaveInBackend::SetConfig(SimulatedWaveInConfig config) {
    config_ = std::move(config);
}

std::vector<WaveInDeviceInfo> SimulatedWaveInBackend::Devices() {
    return {WaveInDeviceInfo{"simulated", "Simulated input"}};
}

bool SimulatedWaveInBackend::Accepts(const WaveFormat& f) const {
    if (config_.acceptsFormat) return config_.acceptsFormat(f);
    return f.formatTag == 1 && (f.bitsPerSample == 8 || f.bitsPerSample == 16) && f.channels >= 1 &&
           f.channels <= 2 && f.samplesPerSec > 0;
}

std::vector<WaveResult> SimulatedWaveInBackend::QueryFormats(int deviceId, const std::vector<WaveFormat>& candidates,
                                                             WaveResult* openError) {
    const WaveResult unreachable = deviceId != 0 ? -ENODEV : config_.serverDown ? kNoServer : 0;
    if (openError) *openError = unreachable;
    std::vector<WaveResult> results;
    for (const WaveFormat& f : candidates) results.push_back(unreachable != 0 ? unreachable : Accepts(f) ? 0 : -EINVAL);
    return results;
}

WaveResult SimulatedWaveInBackend::Open(int deviceId, const WaveFormat& format, WaveMessageTarget* target,
                                        std::unique_ptr<WaveInDevice>* device) {
    probe_->openCalls_.fetch_add(1);
    if (!device) return -EINVAL;
    device->reset();
    if (deviceId != 0) return -ENODEV;
    if (config_.serverDown) return kNoServer;
    if (config_.deviceBusy) return -EBUSY;
    if (!Accepts(format)) return -EINVAL;
    *device = std::make_unique<SimulatedWaveInDevice>(config_, format, target, probe_);
    return 0;
}

std::string SimulatedWaveInBackend::ErrorText(WaveResult code) {
    if (code == 0 || config_.noErrorText) return {};
    char text[256];
    return strerror_r(code < 0 ? -code : code, text, sizeof text);
}

}  // namespace pelmora
