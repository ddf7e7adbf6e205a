// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/AlsaWaveIn.h"

#include "capture/AlsaMessages.h"
#include "capture/ThreadRoles.h"
#include "capture/JackServer.h"
#include "capture/StderrCapture.h"
#include "capture/ThreadName.h"

#include <alsa/asoundlib.h>
#include <poll.h>
#include <glob.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

namespace pelmora {
namespace {

// The outcome of one alsa-lib call: its code, and on failure the call's name with the text.
struct AlsaStatus {
    int code = 0;
    std::string detail;
    bool ok() const { return code >= 0; }
};

AlsaStatus Checked(long result, const char* call) {
    if (result >= 0) return {};
    const int code = static_cast<int>(result);
    return {code, std::string(call) + ": " + snd_strerror(code)};
}

using HwParams = std::unique_ptr<snd_pcm_hw_params_t, decltype(&snd_pcm_hw_params_free)>;
using SwParams = std::unique_ptr<snd_pcm_sw_params_t, decltype(&snd_pcm_sw_params_free)>;

HwParams NewHwParams() {
    snd_pcm_hw_params_t* p = nullptr;
    snd_pcm_hw_params_malloc(&p);
    return HwParams(p, &snd_pcm_hw_params_free);
}

struct PcmCloser {
    void operator()(snd_pcm_t* pcm) const { snd_pcm_close(pcm); }
};
using PcmHandle = std::unique_ptr<snd_pcm_t, PcmCloser>;

AlsaStatus OpenCapturePcm(const std::string& name, PcmHandle* pcm) {
    snd_pcm_t* raw = nullptr;
    // Non-blocking, so a busy or absent device answers at once instead of hanging start-up.
    AlsaStatus st = Checked(snd_pcm_open(&raw, name.c_str(), SND_PCM_STREAM_CAPTURE, SND_PCM_NONBLOCK),
                            "snd_pcm_open");
    if (st.ok()) pcm->reset(raw);
    return st;
}

// --- devices ---

std::string HintText(void* hint, const char* id) {
    char* text = snd_device_name_get_hint(hint, id);
    std::string s = text ? text : "";
    free(text);
    return s;
}

// Plugins that the name hints list without a direction but that only convert or mix.
bool IsObviouslyNotCapture(const std::string& name) {
    static const char* const kBases[] = {"null",  "lavrate", "samplerate", "speexrate", "upmix",
                                         "vdownmix", "speex", "a52",   "dmix",      "front",
                                         "rear",  "center_lfe", "side", "hdmi",     "usbstream"};
    const std::string base = name.substr(0, name.find(':'));
    if (base.compare(0, 8, "surround") == 0) return true;
    return std::find(std::begin(kBases), std::end(kBases), base) != std::end(kBases);
}

bool DefaultCaptureOpens() {
    PcmHandle pcm;
    AlsaStatus st = OpenCapturePcm("default", &pcm);
    return st.ok() || st.code == -EBUSY;
}

// Card devices share their first description line ("hw:", "plughw:", "sysdefault:" of one
// card); such entries get their name added so that the list tells them apart.
void TellApartEqualDescriptions(std::vector<WaveInDeviceInfo>& list) {
    std::vector<bool> repeated(list.size(), false);
    for (std::size_t i = 0; i < list.size(); ++i)
        for (std::size_t j = i + 1; j < list.size(); ++j)
            if (list[i].description == list[j].description) repeated[i] = repeated[j] = true;
    for (std::size_t i = 0; i < list.size(); ++i)
        if (repeated[i]) list[i].description += " (" + list[i].name + ")";
}

// A socket where a JACK server (jack1 or jack2) or PipeWire, which may serve JACK clients
// too, would listen. Only a hint: a stale socket, or PipeWire without its JACK library,
// takes no JACK client.
bool JackSocketPresent() {
    glob_t found{};
    const std::string uid = std::to_string(::getuid());
    // jack2's server socket is /dev/shm/jack_<server>_<uid>_0; jack1's live in a jack-<uid> folder.
    // (Clients leave other files there, such as jack_db-<uid>, whether a server runs or not.)
    for (const std::string& pattern : {"/dev/shm/jack_*_" + uid + "_0", "/dev/shm/jack-" + uid + "/*",
                                       "/tmp/jack-" + uid + "/*", "/run/user/" + uid + "/pipewire-0"}) {
        const bool any = ::glob(pattern.c_str(), 0, nullptr, &found) == 0;
        globfree(&found);
        if (any) return true;
    }
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return runtime && ::access((std::string(runtime) + "/pipewire-0").c_str(), F_OK) == 0;
}

// Plugins whose backend is absent: opening them would only wait for a server or a device
// file. JACK counts as there only when a client really connects.
bool BackendAbsent(const std::string& name) {
    const std::string base = name.substr(0, name.find(':'));
    if (base == "oss") return ::access("/dev/dsp", F_OK) != 0;
    if (base != "jack") return false;
    return !JackSocketPresent() || !JackServerAnswers();
}

// Listing and probing devices: what the libraries say meanwhile (absent cards that the
// configuration names, servers that do not run) stays off the terminal and out of the log.
struct Probing {
    Probing() { InstallAlsaMessageHandler(); }
    IgnoreLibraryMessages ignored;
    StderrCapture printed;
};

// Opening the chosen device: what the libraries print meanwhile belongs in the log.
struct Opening {
    ~Opening() {
        for (const std::string& line : printed.Finish()) AddLibraryMessage(line);
    }
    StderrCapture printed;
};

std::vector<WaveInDeviceInfo> ListCaptureDevices() {
    std::vector<WaveInDeviceInfo> list;
    void** hints = nullptr;
    if (snd_device_name_hint(-1, "pcm", &hints) >= 0) {
        for (void** h = hints; *h != nullptr; ++h) {
            const std::string name = HintText(*h, "NAME");
            const std::string ioid = HintText(*h, "IOID");  // empty: both directions
            if (name.empty() || (!ioid.empty() && ioid != "Input") || IsObviouslyNotCapture(name) ||
                BackendAbsent(name))
                continue;
            std::string description = HintText(*h, "DESC");
            description = description.substr(0, description.find('\n'));
            list.push_back({name, description.empty() ? name : description});
        }
        snd_device_name_free_hint(hints);
    }
    // The desktop's choice comes first, so that a fresh start records from it.
    auto def = std::find_if(list.begin(), list.end(), [](const WaveInDeviceInfo& d) { return d.name == "default"; });
    if (def != list.end()) std::rotate(list.begin(), def, def + 1);
    else if (DefaultCaptureOpens()) list.insert(list.begin(), {"default", "default"});
    TellApartEqualDescriptions(list);
    return list;
}

// --- formats ---

AlsaStatus SampleFormatOf(const WaveFormat& f, snd_pcm_format_t* out) {
    if (f.formatTag != 1 || f.channels == 0 || f.samplesPerSec == 0) return {-EINVAL, "not a PCM format"};
    if (f.bitsPerSample == 8) *out = SND_PCM_FORMAT_U8;
    else if (f.bitsPerSample == 16) *out = SND_PCM_FORMAT_S16_LE;
    else return {-EINVAL, "sample width " + std::to_string(f.bitsPerSample) + " bit is not supported"};
    return {};
}

// Narrows `hw` to interleaved reads of `f`'s sample format and channel count.
AlsaStatus RestrictToLayout(snd_pcm_t* pcm, snd_pcm_hw_params_t* hw, const WaveFormat& f) {
    snd_pcm_format_t sample = SND_PCM_FORMAT_UNKNOWN;
    AlsaStatus st = SampleFormatOf(f, &sample);
    if (st.ok())
        st = Checked(snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED),
                     "snd_pcm_hw_params_set_access");
    if (st.ok()) st = Checked(snd_pcm_hw_params_set_format(pcm, hw, sample), "snd_pcm_hw_params_set_format");
    if (st.ok()) st = Checked(snd_pcm_hw_params_set_channels(pcm, hw, f.channels), "snd_pcm_hw_params_set_channels");
    return st;
}

struct CaptureGeometry {
    snd_pcm_uframes_t periodFrames = 0;
    snd_pcm_uframes_t bufferFrames = 0;
};

// Half a second of device buffering rides out scheduling delays. Periods of 100 ms wake the
// capture thread (and a sound server's client thread) ten times a second, five times per
// device buffer, which still leaves four periods of room against an overrun.
constexpr unsigned kDeviceBufferMicros = 500000;
constexpr unsigned kPeriodMicros = 100000;

AlsaStatus ConfigureCapture(snd_pcm_t* pcm, const WaveFormat& f, CaptureGeometry* geometry) {
    HwParams hw = NewHwParams();
    if (!hw) return {-ENOMEM, "snd_pcm_hw_params_malloc"};
    AlsaStatus st = Checked(snd_pcm_hw_params_any(pcm, hw.get()), "snd_pcm_hw_params_any");
    if (st.ok()) st = RestrictToLayout(pcm, hw.get(), f);
    // The rate must be exact: a near rate would mislabel every second of the recording.
    if (st.ok()) st = Checked(snd_pcm_hw_params_set_rate(pcm, hw.get(), f.samplesPerSec, 0), "snd_pcm_hw_params_set_rate");
    if (!st.ok()) return st;
    // Sizes are preferences: a device that cannot meet them keeps its own.
    unsigned bufferMicros = kDeviceBufferMicros;
    unsigned periodMicros = kPeriodMicros;
    int dir = 0;
    snd_pcm_hw_params_set_buffer_time_near(pcm, hw.get(), &bufferMicros, &dir);
    dir = 0;
    snd_pcm_hw_params_set_period_time_near(pcm, hw.get(), &periodMicros, &dir);
    st = Checked(snd_pcm_hw_params(pcm, hw.get()), "snd_pcm_hw_params");
    unsigned num = 0, den = 0;
    if (st.ok()) st = Checked(snd_pcm_hw_params_get_rate_numden(hw.get(), &num, &den), "snd_pcm_hw_params_get_rate_numden");
    if (st.ok() && (den == 0 || num % den != 0 || num / den != f.samplesPerSec))
        st = {-EINVAL, "the device cannot run at exactly " + std::to_string(f.samplesPerSec) + " Hz"};
    if (st.ok()) st = Checked(snd_pcm_hw_params_get_period_size(hw.get(), &geometry->periodFrames, &dir),
                              "snd_pcm_hw_params_get_period_size");
    if (st.ok()) st = Checked(snd_pcm_hw_params_get_buffer_size(hw.get(), &geometry->bufferFrames),
                              "snd_pcm_hw_params_get_buffer_size");
    if (!st.ok()) return st;

    snd_pcm_sw_params_t* rawSw = nullptr;
    snd_pcm_sw_params_malloc(&rawSw);
    SwParams sw(rawSw, &snd_pcm_sw_params_free);
    if (!sw) return {-ENOMEM, "snd_pcm_sw_params_malloc"};
    st = Checked(snd_pcm_sw_params_current(pcm, sw.get()), "snd_pcm_sw_params_current");
    // Wake the capture thread once per period.
    if (st.ok()) st = Checked(snd_pcm_sw_params_set_avail_min(pcm, sw.get(), geometry->periodFrames),
                              "snd_pcm_sw_params_set_avail_min");
    if (st.ok()) st = Checked(snd_pcm_sw_params(pcm, sw.get()), "snd_pcm_sw_params");
    return st;
}

// --- the open device ---

// Fills the queued buffers in order on its own thread. All PCM calls happen either on that
// thread while it captures, or on the caller's thread while it is parked.
class AlsaCaptureDevice final : public WaveInDevice {
public:
    AlsaCaptureDevice(PcmHandle pcm, const WaveFormat& format, const CaptureGeometry& geometry,
                      WaveMessageTarget* target, int wakeFd)
        : pcm_(std::move(pcm)),
          frameBytes_(format.blockAlign),
          rate_(format.samplesPerSec),
          bufferFrames_(geometry.bufferFrames),
          periodMs_(static_cast<int>(std::max<snd_pcm_uframes_t>(geometry.periodFrames, 1) * 1000 /
                                     std::max<uint32_t>(format.samplesPerSec, 1)) + 1),
          target_(target),
          wakeFd_(wakeFd),
          scratch_(std::max<snd_pcm_uframes_t>(geometry.periodFrames, 1) * format.blockAlign) {
        const int count = snd_pcm_poll_descriptors_count(pcm_.get());
        fds_.resize(1 + static_cast<std::size_t>(std::max(count, 0)));
        fds_[0] = {wakeFd_, POLLIN, 0};
        if (count > 0) snd_pcm_poll_descriptors(pcm_.get(), fds_.data() + 1, static_cast<unsigned>(count));
        thread_ = ThreadRoles::Instance().StartThread(ThreadRole::Receive, "pelmora-alsa", [this] { ThreadMain(); });
    }

    ~AlsaCaptureDevice() override { Close(); }

    WaveResult Prepare(WaveHeader* h) override {
        if (h == nullptr || h->data == nullptr || h->bufferLength == 0) return -EINVAL;
        if (h->flags & kWaveHeaderInQueue) return -EBUSY;
        h->flags |= kWaveHeaderPrepared;
        return 0;
    }

    WaveResult Unprepare(WaveHeader* h) override {
        if (h == nullptr) return -EINVAL;
        if (h->flags & kWaveHeaderInQueue) return -EBUSY;
        h->flags &= ~kWaveHeaderPrepared;
        return 0;
    }

    WaveResult Add(WaveHeader* h) override {
        if (h == nullptr || h->data == nullptr || !(h->flags & kWaveHeaderPrepared)) return -EINVAL;
        if (h->bufferLength < frameBytes_) return -EINVAL;
        std::lock_guard<std::mutex> lock(mutex_);
        if (closed_) return -EBADFD;
        if (const int failure = failure_.load()) return failure;
        if (h->flags & kWaveHeaderInQueue) return -EBUSY;
        h->bytesRecorded = 0;
        h->flags = (h->flags | kWaveHeaderInQueue) & ~kWaveHeaderDone;
        queue_.push_back(h);
        return 0;
    }

    WaveResult Start() override {
        std::unique_lock<std::mutex> lock(mutex_);
        if (closed_) return -EBADFD;
        if (const int failure = failure_.load()) return failure;
        if (capturing_) return 0;
        stateChanged_.wait(lock, [this] { return threadIdle_; });
        AlsaStatus st;
        if (snd_pcm_state(pcm_.get()) != SND_PCM_STATE_PREPARED)
            st = Checked(snd_pcm_prepare(pcm_.get()), "snd_pcm_prepare");
        if (st.ok()) st = Checked(snd_pcm_start(pcm_.get()), "snd_pcm_start");
        if (!st.ok()) return st.code;
        {
            std::lock_guard<std::mutex> lock(countMutex_);
            position_.store(0);
            discarded_.store(0);
        }
        lastDelivery_ = std::chrono::steady_clock::now();
        recoveredEmpty_ = false;
        capturing_.store(true);
        stateChanged_.notify_all();
        return 0;
    }

    WaveResult Counters(uint64_t* position, uint64_t* discarded) override {
        std::lock_guard<std::mutex> lock(countMutex_);
        *position = position_.load();
        *discarded = discarded_.load();
        return 0;
    }

    WaveResult Position(uint64_t* bytes) override {
        if (bytes == nullptr) return -EINVAL;
        *bytes = position_.load();
        return 0;
    }

    WaveResult Reset() override {
        std::unique_lock<std::mutex> lock(mutex_);
        if (closed_) return 0;
        capturing_.store(false);
        Wake();
        stateChanged_.wait(lock, [this] { return threadIdle_; });
        AlsaStatus st;
        if (pcm_) {
            const snd_pcm_state_t state = snd_pcm_state(pcm_.get());
            if (state != SND_PCM_STATE_OPEN && state != SND_PCM_STATE_SETUP)
                st = Checked(snd_pcm_drop(pcm_.get()), "snd_pcm_drop");
        }
        std::deque<WaveHeader*> returned;
        returned.swap(queue_);
        lock.unlock();
        for (WaveHeader* h : returned) PostDone(h);
        return st.ok() ? 0 : st.code;
    }

    WaveResult Close() override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (closed_) return 0;
        }
        const WaveResult reset = Reset();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            closed_ = true;
            quit_ = true;
            stateChanged_.notify_all();
        }
        thread_.join();
        const int closed = snd_pcm_close(pcm_.release());
        ::close(wakeFd_);
        return closed < 0 ? closed : reset;
    }

private:
    void ThreadMain() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            threadIdle_ = true;
            stateChanged_.notify_all();
            stateChanged_.wait(lock, [this] { return quit_ || capturing_.load(); });
            if (quit_) return;
            threadIdle_ = false;
            lock.unlock();
            CaptureLoop();
            lock.lock();
        }
    }

    void CaptureLoop() {
        // The timeout only bounds how long a silent device keeps us from re-checking state;
        // a PCM without poll descriptors is read on a short tick instead.
        const bool pcmPolled = fds_.size() > 1;
        const int timeoutMs = pcmPolled ? 200 : 10;
        while (capturing_.load()) {
            const int ready = ::poll(fds_.data(), fds_.size(), timeoutMs);
            if (ready < 0) {
                if (errno == EINTR) continue;
                Fail(-errno);
                return;
            }
            if (fds_[0].revents & POLLIN) DrainWake();
            if (!capturing_.load()) return;
            if (!pcmPolled) {
                if (!ReadOnce()) return;
                continue;
            }
            if (ready == 0) continue;
            unsigned short revents = 0;
            const int r = snd_pcm_poll_descriptors_revents(pcm_.get(), fds_.data() + 1,
                                                           static_cast<unsigned>(fds_.size() - 1), &revents);
            if (r < 0) {
                Fail(r);
                return;
            }
            if ((revents & (POLLIN | POLLERR | POLLHUP | POLLNVAL)) == 0) continue;
            // Take everything that is there: some plugins (pulse) hand out a few frames per
            // wake-up and drop what is not read in time without reporting an overrun. A read
            // that got less than it asked for emptied the device; asking again would only
            // cost another pass through the plugin. The bound keeps a device that is never
            // empty from shutting out Reset.
            bool mayHaveMore = true;
            for (int i = 0; i < 64 && mayHaveMore && capturing_.load(); ++i)
                if (!ReadOnce(&mayHaveMore)) return;
        }
    }

    // One read into the head of the queue, or into scratch when nothing is queued: the
    // device never waits, and what it delivered still counts in the position. mayHaveMore
    // tells whether the read got all it asked for.
    bool ReadOnce(bool* mayHaveMore = nullptr) {
        if (mayHaveMore) *mayHaveMore = false;
        WaveHeader* head = nullptr;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!queue_.empty()) head = queue_.front();
        }
        uint8_t* into = scratch_.data();
        snd_pcm_uframes_t frames = scratch_.size() / frameBytes_;
        uint32_t usable = 0;
        if (head != nullptr) {
            usable = head->bufferLength / frameBytes_ * frameBytes_;
            into = head->data + head->bytesRecorded;
            frames = (usable - head->bytesRecorded) / frameBytes_;
        }
        // The device is emptied as the read begins: a stall from here on, even one inside the
        // read, is time the next overrun lost.
        const auto asked = std::chrono::steady_clock::now();
        const snd_pcm_sframes_t got = snd_pcm_readi(pcm_.get(), into, frames);
        if (got == 0 || got == -EAGAIN || got == -EINTR) return true;
        if (got == -EPIPE || got == -ESTRPIPE) return Recover(static_cast<int>(got));
        if (got < 0) {
            Fail(static_cast<int>(got));
            return false;
        }
        const uint32_t bytes = static_cast<uint32_t>(got) * frameBytes_;
        if (mayHaveMore) *mayHaveMore = static_cast<snd_pcm_uframes_t>(got) == frames;
        Count(bytes, head == nullptr);

        lastDelivery_ = asked;
        recoveredEmpty_ = false;
        if (head != nullptr) {
            head->bytesRecorded += bytes;
            if (head->bytesRecorded >= usable) {
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    queue_.pop_front();
                }
                PostDone(head);
            }
        }
        return true;
    }

    // Overrun or suspend: restart the stream and count what the gap cost, so that the
    // receiving thread sees it as lost sound instead of losing it silently.
    bool Recover(int error) {
        int r = 0;
        if (error == -ESTRPIPE) {
            r = snd_pcm_resume(pcm_.get());
            if (r == -EAGAIN) return true;  // still suspended; try again next round
            if (r < 0) r = snd_pcm_prepare(pcm_.get());
        } else {
            r = snd_pcm_prepare(pcm_.get());
        }
        if (r >= 0 && snd_pcm_state(pcm_.get()) == SND_PCM_STATE_PREPARED) r = snd_pcm_start(pcm_.get());
        if (r < 0) {
            Fail(r);
            return false;
        }
        const auto now = std::chrono::steady_clock::now();
        const double gap = std::chrono::duration<double>(now - lastDelivery_).count();
        // An overrun discards at least the whole device buffer; one right after a recovery
        // that brought nothing discards only the time since then.
        const uint64_t gapFrames = static_cast<uint64_t>(gap * rate_);
        const uint64_t lostFrames = recoveredEmpty_ ? gapFrames : std::max<uint64_t>(bufferFrames_, gapFrames);
        Count(lostFrames * frameBytes_, true);
        lastDelivery_ = now;
        if (recoveredEmpty_) {
            // Recovery keeps succeeding and no sound comes (a plugin whose server is gone):
            // try again a period later instead of spinning. The receiving thread fails such a
            // device; a Reset wakes this wait.
            pollfd wake = {wakeFd_, POLLIN, 0};
            if (::poll(&wake, 1, periodMs_) > 0) DrainWake();
        }
        recoveredEmpty_ = true;
        return true;
    }

    // The device is gone: the buffer being filled goes back with its sound so far, counted
    // in bytesRecorded, and every later Add reports the failure.
    void Fail(int code) {
        WaveHeader* head = nullptr;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            failure_.store(code);
            capturing_.store(false);
            if (!queue_.empty()) {
                head = queue_.front();
                queue_.pop_front();
            }
        }
        if (head != nullptr) PostDone(head);
    }

    void PostDone(WaveHeader* h) {
        h->flags = (h->flags & ~kWaveHeaderInQueue) | kWaveHeaderDone;
        target_->PostWaveData(h);  // the receiving thread owns it from here
    }

    void Wake() {
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(wakeFd_, &one, sizeof one);
    }

    void DrainWake() {
        uint64_t count = 0;
        [[maybe_unused]] ssize_t n = ::read(wakeFd_, &count, sizeof count);
    }

    PcmHandle pcm_;
    const uint32_t frameBytes_;
    const uint32_t rate_;
    const snd_pcm_uframes_t bufferFrames_;
    const int periodMs_;
    WaveMessageTarget* const target_;
    const int wakeFd_;
    std::vector<uint8_t> scratch_;  // capture thread
    std::vector<pollfd> fds_;       // capture thread: the wake-up first, then the PCM's
    std::chrono::steady_clock::time_point lastDelivery_;  // capture thread; Start sets while parked
    bool recoveredEmpty_ = false;  // likewise: the last recovery has brought no sound yet
    std::thread thread_;

    std::mutex mutex_;
    std::condition_variable stateChanged_;
    std::deque<WaveHeader*> queue_;       // under mutex_
    bool threadIdle_ = false;             // under mutex_
    bool quit_ = false;                   // under mutex_
    bool closed_ = false;                 // under mutex_
    std::atomic<bool> capturing_{false};  // changed under mutex_, read by the loop without it
    std::atomic<int> failure_{0};
    // Bytes delivered, and the share of them that went into no buffer. Updated together so
    // that the receiving thread counts each lost byte once and only as lost.
    void Count(uint64_t bytes, bool discarded) {
        std::lock_guard<std::mutex> lock(countMutex_);
        position_.fetch_add(bytes);
        if (discarded) discarded_.fetch_add(bytes);
    }

    std::mutex countMutex_;
    std::atomic<uint64_t> position_{0};
    std::atomic<uint64_t> discarded_{0};
};

}  // namespace

std::vector<WaveInDeviceInfo> AlsaWaveIn::Devices() {
    Probing probing;
    devices_ = ListCaptureDevices();
    listed_ = true;
    return devices_;
}

const WaveInDeviceInfo* AlsaWaveIn::DeviceAt(int deviceId) {
    if (!listed_) Devices();
    if (deviceId < 0 || static_cast<std::size_t>(deviceId) >= devices_.size()) return nullptr;
    return &devices_[static_cast<std::size_t>(deviceId)];
}

std::vector<WaveResult> AlsaWaveIn::QueryFormats(int deviceId, const std::vector<WaveFormat>& candidates,
                                                 WaveResult* openError) {
    if (openError) *openError = 0;
    Probing probing;
    const WaveInDeviceInfo* info = DeviceAt(deviceId);
    if (info == nullptr) {
        lastErrorDetail_ = "no device " + std::to_string(deviceId);
        if (openError) *openError = -ENODEV;
        return std::vector<WaveResult>(candidates.size(), -ENODEV);
    }
    PcmHandle pcm;
    HwParams any = NewHwParams();
    HwParams trial = NewHwParams();
    AlsaStatus st = any && trial ? AlsaStatus{} : AlsaStatus{-ENOMEM, "snd_pcm_hw_params_malloc"};
    if (st.ok()) st = OpenCapturePcm(info->name, &pcm);
    if (st.ok()) st = Checked(snd_pcm_hw_params_any(pcm.get(), any.get()), "snd_pcm_hw_params_any");
    if (!st.ok()) {
        lastErrorDetail_ = info->name + ": " + st.detail;
        if (openError) *openError = st.code;
        return std::vector<WaveResult>(candidates.size(), st.code);
    }
    lastErrorDetail_.clear();
    std::vector<WaveResult> results;
    results.reserve(candidates.size());
    for (const WaveFormat& f : candidates) {
        snd_pcm_hw_params_copy(trial.get(), any.get());
        AlsaStatus c = RestrictToLayout(pcm.get(), trial.get(), f);
        if (c.ok()) c = Checked(snd_pcm_hw_params_test_rate(pcm.get(), trial.get(), f.samplesPerSec, 0),
                                "snd_pcm_hw_params_test_rate");
        results.push_back(c.ok() ? 0 : c.code);
    }
    return results;
}

WaveResult AlsaWaveIn::Open(int deviceId, const WaveFormat& format, WaveMessageTarget* target,
                            std::unique_ptr<WaveInDevice>* device) {
    Opening opening;
    if (device == nullptr || target == nullptr) return -EINVAL;
    device->reset();
    const WaveInDeviceInfo* info = DeviceAt(deviceId);
    if (info == nullptr) {
        lastErrorDetail_ = "no device " + std::to_string(deviceId);
        return -ENODEV;
    }
    if (format.blockAlign == 0 || format.blockAlign != format.channels * format.bitsPerSample / 8) {
        lastErrorDetail_ = "inconsistent block alignment";
        return -EINVAL;
    }
    PcmHandle pcm;
    CaptureGeometry geometry;
    AlsaStatus st = OpenCapturePcm(info->name, &pcm);
    if (st.ok()) st = ConfigureCapture(pcm.get(), format, &geometry);
    int wakeFd = -1;
    if (st.ok()) {
        wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (wakeFd < 0) st = {-errno, std::string("eventfd: ") + std::strerror(errno)};
    }
    if (!st.ok()) {
        lastErrorDetail_ = info->name + ": " + st.detail;
        return st.code;
    }
    try {
        *device = std::make_unique<AlsaCaptureDevice>(std::move(pcm), format, geometry, target, wakeFd);
    } catch (const std::exception& e) {
        ::close(wakeFd);
        lastErrorDetail_ = std::string("capture thread: ") + e.what();
        return -EAGAIN;
    }
    lastErrorDetail_.clear();
    return 0;
}

std::string AlsaWaveIn::ErrorText(WaveResult code) {
    if (code == 0) return {};
    const char* text = snd_strerror(code);
    return text ? text : "";
}

}  // namespace pelmora
