// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Record, Stop, Pause and Toggle asked from outside the window: each acts only where the
// window's button could be pressed, presses it, and tells why when nothing happened.

#include <string>

namespace pelmora {

enum class RemoteAction { Record, Stop, Pause, Toggle };

/// What the remote commands see of the main window. Implemented by the window; tests
/// answer it themselves.
class ButtonPanel {
public:
    virtual ~ButtonPanel() = default;
    virtual bool RecordEnabled() const = 0;
    virtual bool PauseEnabled() const = 0;
    virtual bool Recording() const = 0;
    virtual bool Paused() const = 0;
    /// A dialog of the window waits for the user: the buttons cannot be reached.
    virtual bool DialogOpen() const = 0;
    /// The status panel's state caption ("READY", "RECORDING", ...).
    virtual std::string StateName() const = 0;
    virtual std::string OutputPath() const = 0;
    virtual double WriteTime() const = 0;

    /// Starts collecting what the window tells the user (log lines, message boxes, answers).
    virtual void BeginReasons() = 0;
    /// What it told since BeginReasons, one message a line.
    virtual std::string Reasons() const = 0;
    virtual void PressRecord() = 0;
    virtual void PressPause() = 0;
};

struct RemoteOutcome {
    std::string errorName;  // empty: the command acted
    std::string message;
    bool Done() const { return errorName.empty(); }
};

// Error names of the D-Bus interface.
constexpr const char* kErrorBusy = "org.pelmora.Pelmora.Error.Busy";
constexpr const char* kErrorNotReady = "org.pelmora.Pelmora.Error.NotReady";
constexpr const char* kErrorNotRecording = "org.pelmora.Pelmora.Error.NotRecording";
constexpr const char* kErrorAlreadyRecording = "org.pelmora.Pelmora.Error.AlreadyRecording";
constexpr const char* kErrorFailed = "org.pelmora.Pelmora.Error.Failed";

class RemoteCommands {
public:
    explicit RemoteCommands(ButtonPanel& panel) : panel_(panel) {}
    /// Runs on the window's thread. A command that arrives while another one still runs
    /// (a question of the first is open) is refused.
    RemoteOutcome Perform(RemoteAction action);
    ButtonPanel& Panel() const { return panel_; }

private:
    RemoteOutcome Record();
    RemoteOutcome Stop();
    RemoteOutcome Pause();

    ButtonPanel& panel_;
    bool running_ = false;
};

}  // namespace pelmora
