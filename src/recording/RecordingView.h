// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the recording engine asks of the main window. The window implements it; tests answer
// it themselves, so the whole engine runs without any window.

#include <optional>
#include <string>

#include "monitor/InpaneState.h"

namespace pelmora {


/// The six "PROCESS DETAILS" value texts.
struct StatusValues {
    std::string writeTime;  // "Write time"
    std::string fileSize;   // "File size"
    std::string level;      // "Level (L/R)"
    std::string dcLeft;     // "DC Left"
    std::string dcRight;    // "DC Right"
    std::string dataLost;   // "Data lost"
};

/// What the Performance page's fill indicators show: free percentages of the device queue,
/// the received storage and the output storage, and the seconds of sound each can still take.
struct BufferFill {
    int devicePercent = 0;
    int receivedPercent = 0;
    int outputPercent = 0;
    double deviceSeconds = 0.0;
    double receivedSeconds = 0.0;
    double outputSeconds = 0.0;
};

class RecordingView {
public:
    virtual ~RecordingView() = default;

    /// A Yes/No message box with a question icon and the application's name as caption.
    virtual bool AskYesNo(const std::string& text) = 0;
    /// A message box with an OK button and the application's name as caption.
    virtual void ShowMessage(const std::string& text) = 0;

    /// 1 locks and 2 unlocks the settings for a recording: the sheet's active page, the preset
    /// name box, Load and Save.
    virtual void SetRecordingControls(int state) = 0;

    virtual void SetRecordCaption(const std::string& caption) = 0;  // "Record" / "Stop"
    virtual void EnableRecord(bool enabled) = 0;
    /// Draws the changes made so far at once, before a wait on the main thread that may last.
    virtual void ShowPendingChanges() {}
    virtual void SetPauseCaption(const std::string& caption) = 0;   // "Pause" / "Continue"
    virtual void EnablePause(bool enabled) = 0;

    // Status panel.
    virtual void SetState(int state) = 0;
    virtual void SetStatusValues(const StatusValues& values) = 0;
    virtual void ShowValues() = 0;
    virtual void BlinkState(int phase) = 0;

    // General page.
    /// Reads the page's controls back into its members and returns its output file entry;
    /// nothing when the page refuses the typed name (it has told the user why), and then no
    /// recording starts.
    virtual std::optional<std::string> OutputFileEntry() = 0;
    /// Shows `entry` in the page's output file box.
    virtual void ShowOutputFileEntry(const std::string& entry) = 0;

    /// Called once a second while the pipeline runs; the Performance page shows the values
    /// when it is the sheet's active page.
    virtual void ShowBufferFill(const BufferFill& fill) { (void)fill; }
    /// One step of the CPU graph (sample, draw, advance), once a second.
    virtual void CpuTick() {}
};

}  // namespace pelmora
