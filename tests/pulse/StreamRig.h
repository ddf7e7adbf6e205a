// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Test side of a wave-input device: returned buffers are taken, kept and queued again as the
// receiving thread would, and the sound's pitch is measured.

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "capture/WaveIn.h"

namespace pelmora::test {

using namespace std::chrono_literals;

// Where returned buffers wait for the test, as the receiving thread's queue would.
class Collector : public WaveMessageTarget {
public:
    void PostWaveData(WaveHeader* header) override {
        std::unique_lock<std::mutex> lock(mutex_);
        if (stallNext_) {
            // The client thread held up, as by a starved scheduler.
            stallNext_ = false;
            stalled_ = true;
            changed_.notify_all();
            changed_.wait(lock, [this] { return !stalled_; });
        }
        done_.push_back(header);
        changed_.notify_all();
    }
    WaveHeader* Take(std::chrono::milliseconds timeout = 5000ms) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!changed_.wait_for(lock, timeout, [this] { return !done_.empty(); })) return nullptr;
        WaveHeader* h = done_.front();
        done_.pop_front();
        return h;
    }
    std::size_t Waiting() {
        std::lock_guard<std::mutex> lock(mutex_);
        return done_.size();
    }
    void StallNext() {
        std::lock_guard<std::mutex> lock(mutex_);
        stallNext_ = true;
    }
    bool WaitStalled() {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, 5s, [this] { return stalled_; });
    }
    void Release() {
        std::lock_guard<std::mutex> lock(mutex_);
        stalled_ = false;
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<WaveHeader*> done_;
    bool stallNext_ = false;
    bool stalled_ = false;
};

constexpr uint32_t kRate = 44100;

// One open device with its buffers, handled as the receiving thread handles them.
struct Recording {
    Recording(WaveInBackend& backend, int id, int buffers = 8, uint32_t bufferBytes = kRate * 4 / 10)
        : format(MakePcmFormat(kRate, 16, 2)), storage(static_cast<std::size_t>(buffers)) {
        opened = backend.Open(id, format, &target, &device);
        if (opened != 0) return;
        for (auto& b : storage) {
            b.data.resize(bufferBytes);
            b.header.data = b.data.data();
            b.header.bufferLength = bufferBytes;
            device->Prepare(&b.header);
            device->Add(&b.header);
        }
        started = device->Start();
    }
    ~Recording() {
        if (device) device->Close();
    }
    // Takes returned buffers, keeps their sound and queues them again, until `frames` frames
    // came or a buffer did not come back in time. Returns the last Add's result.
    int Collect(std::size_t frames, std::vector<int16_t>* left = nullptr) {
        std::size_t got = 0;
        while (got < frames) {
            WaveHeader* h = target.Take();
            if (h == nullptr) return -ETIMEDOUT;
            const std::size_t n = h->bytesRecorded / 4;
            if (left)
                for (std::size_t i = 0; i < n; ++i) {
                    int16_t sample;
                    std::memcpy(&sample, h->data + 4 * i, 2);
                    left->push_back(sample);
                }
            got += n;
            const int r = device->Add(h);
            if (r != 0) return r;
        }
        return 0;
    }
    WaveFormat format;
    Collector target;
    struct Buffer {
        std::vector<uint8_t> data;
        WaveHeader header;
    };
    std::vector<Buffer> storage;
    std::unique_ptr<WaveInDevice> device;
    int opened = -1;
    int started = -1;
};

// Frequency from the zero crossings of the second half (the first may be the stream's start).
inline double Frequency(const std::vector<int16_t>& samples) {
    const std::size_t from = samples.size() / 2;
    int crossings = 0;
    for (std::size_t i = from + 1; i < samples.size(); ++i)
        if ((samples[i - 1] < 0) != (samples[i] < 0)) ++crossings;
    const double seconds = static_cast<double>(samples.size() - from) / kRate;
    return crossings / 2.0 / seconds;
}

inline int Find(const std::vector<WaveInDeviceInfo>& list, const std::string& name) {
    for (std::size_t i = 0; i < list.size(); ++i)
        if (list[i].name == name) return static_cast<int>(i);
    return -1;
}

}  // namespace pelmora::test
