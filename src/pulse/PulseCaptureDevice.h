// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// An open recording stream of the sound server behind the wave-input interface. The stream
// is made at Start with the queued buffers' geometry: one buffer is the transfer fragment,
// all of them together the most the server keeps for us. Its data fills the queued buffers
// in order on the connection's client thread; what arrives while none is queued and the
// server's holes count as discarded. A stream the server ends (its source gone, the server
// gone) fails the device.

#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "capture/WaveIn.h"
#include "pulse/PulseConnection.h"

struct pa_stream;

namespace pelmora {

class PulseCaptureDevice final : public WaveInDevice {
public:
    /// `source` is the server's name of the source; empty for the server's default, which
    /// the stream then follows.
    PulseCaptureDevice(std::shared_ptr<PulseConnection> connection, std::string source, const WaveFormat& format,
                       WaveMessageTarget* target);
    ~PulseCaptureDevice() override;

    WaveResult Prepare(WaveHeader* header) override;
    WaveResult Unprepare(WaveHeader* header) override;
    WaveResult Add(WaveHeader* header) override;
    WaveResult Start() override;
    WaveResult Position(uint64_t* bytes) override;
    WaveResult Counters(uint64_t* position, uint64_t* discarded) override;
    WaveResult Reset() override;
    WaveResult Close() override;

private:
    static void OnState(pa_stream* stream, void* self);
    static void OnRead(pa_stream* stream, std::size_t bytes, void* self);
    void Read();
    void Deliver(const uint8_t* data, std::size_t bytes);
    void Fail(int code);
    void DropStream();
    void PostDone(WaveHeader* header);
    void Count(uint64_t bytes, bool discarded);

    const std::shared_ptr<PulseConnection> connection_;
    const std::string source_;
    const WaveFormat format_;
    WaveMessageTarget* const target_;

    // Under the connection's lock.
    pa_stream* stream_ = nullptr;
    std::deque<WaveHeader*> queue_;
    bool capturing_ = false;
    bool closed_ = false;
    int failure_ = 0;

    std::mutex countMutex_;  // position and discarded move together
    uint64_t position_ = 0;
    uint64_t discarded_ = 0;
};

}  // namespace pelmora
