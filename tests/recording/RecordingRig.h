// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A recording engine without any window: a view that answers questions and remembers what it
// was told, the event log, the writer thread and the record control with its supervision.

#include <cstring>
#include <string>
#include <vector>

#include "capture/PipelineState.h"
#include "capture/WriterOutput.h"
#include "capture/WriterThread.h"
#include "recording/EventLog.h"
#include "recording/RecordingControl.h"
#include "recording/RecordingView.h"
#include "recording/Supervision.h"
#include "support/LogTexts.h"
#include "support/TempDir.h"

namespace pelmora::test {

class FakeView : public RecordingView {
public:
    bool AskYesNo(const std::string& text) override {
        questions.push_back(text);
        return answerYes;
    }
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    void SetRecordingControls(int s) override { controlStates.push_back(s); }
    void SetRecordCaption(const std::string& c) override { recordCaption = c; }
    void EnableRecord(bool e) override {
        recordEnabled = e;
        if (!e) ++recordDisabledCount;
    }
    void ShowPendingChanges() override { ++pendingShownCount; }
    void SetPauseCaption(const std::string& c) override { pauseCaption = c; }
    void EnablePause(bool e) override { pauseEnabled = e; }
    void SetState(int s) override { state = s; }
    void SetStatusValues(const StatusValues& v) override {
        values = v;
        ++valuesCount;
    }
    void ShowValues() override { ++showValuesCount; }
    void BlinkState(int phase) override { blinks.push_back(phase); }
    std::optional<std::string> OutputFileEntry() override {
        if (entryRefused) return std::nullopt;
        return entry;
    }
    void ShowOutputFileEntry(const std::string& e) override { entry = e; }
    void ShowBufferFill(const BufferFill& f) override {
        fill = f;
        ++fillCount;
    }

    bool answerYes = true;
    std::string entry = "out";
    bool entryRefused = false;  // the page refuses what is typed
    std::vector<std::string> questions, messages;
    std::vector<int> controlStates;
    std::string recordCaption = "Record", pauseCaption = "Pause";
    bool recordEnabled = true, pauseEnabled = false;
    int recordDisabledCount = 0;
    int pendingShownCount = 0;
    int state = kStateReady;
    StatusValues values;
    int valuesCount = 0, showValuesCount = 0, fillCount = 0;
    std::vector<int> blinks;
    BufferFill fill;
};

constexpr int kRigBlock = 17640;  // 44.1 kHz, 16-bit stereo, 10 blocks per second

class RecordingRig {
public:
    explicit RecordingRig(RecordingEncoder* encoder = nullptr)
        : log(settings, dir.Path(), [] { return FixedTime(); }),
          control(RecordingDeps{settings, state, log, view, output, supervisionState, encoder}),
          supervision(settings, state, log, view, control, supervisionState, [this] { return levels; }) {
        std::memset(&settings, 0, sizeof settings);
        SetDefaultSettings(settings, dir.Path());
        settings.writeUncompressed = 1;
        BufferGeometry g;
        g.bufferBytes = kRigBlock;
        g.bufferSeconds = 0.1;
        g.deviceBufferCount = 20;
        g.receivedBlockCount = 30;
        g.writerQueueLimit = int64_t{kRigBlock} * 30;
        state.ApplyGeometry(g);
        state.format.sampleRate = 44100;
        state.format.averageBytesPerSecond = 176400;
        state.format.frameBytes = 4;
        state.format.captureBits = 16;
        state.format.captureChannels = 2;
        state.format.fullScale = 32768;
        writer.Start();
    }
    ~RecordingRig() {
        if (control.IsRecording()) control.OnRecord();
        writer.Quit();
    }

    static LocalTime FixedTime() {
        LocalTime t;
        t.tm.tm_year = 103;
        t.tm.tm_mon = 1;
        t.tm.tm_mday = 19;
        t.tm.tm_hour = 17;
        t.tm.tm_min = 45;
        t.tm.tm_sec = 1;
        t.millisecond = 230;
        return t;
    }

    /// Appends `count` blocks as the preprocessing thread does during a recording.
    void Feed(int count, uint8_t fill = 0x11) {
        std::vector<uint8_t> block(kRigBlock, fill);
        for (int i = 0; i < count; ++i) {
            {
                ListAccessLock lock(state.events.listAccess);
                state.writerQueue.Append(block.data(), block.size());
            }
            state.events.newData.Set();
        }
    }

    /// Log lines without their time stamps (description lines as they are).
    std::vector<std::string> Texts() const { return WithoutStamps(log.Lines()); }
    std::string LastText() const {
        auto t = Texts();
        return t.empty() ? std::string() : t.back();
    }
    bool Logged(const std::string& text) const { return HasText(log.Lines(), text); }

    TempDir dir;
    RecSettings settings{};
    PipelineState state;
    EventLog log;
    FakeView view;
    WriterOutput output;
    WriterThread writer{state, output};
    SupervisionState supervisionState;
    LevelReadings levels;
    RecordingControl control;
    Supervision supervision;
};

}  // namespace pelmora::test
