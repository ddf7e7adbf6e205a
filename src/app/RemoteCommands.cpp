// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/RemoteCommands.h"

namespace pelmora {

namespace {

RemoteOutcome Refused(const char* name, std::string message) { return {name, std::move(message)}; }

}  // namespace

RemoteOutcome RemoteCommands::Perform(RemoteAction action) {
    if (running_ || panel_.DialogOpen())
        return Refused(kErrorBusy, "Pelmora's window waits for an answer; answer it first");
    running_ = true;
    RemoteOutcome outcome;
    switch (action) {
        case RemoteAction::Record: outcome = Record(); break;
        case RemoteAction::Stop: outcome = Stop(); break;
        case RemoteAction::Pause: outcome = Pause(); break;
        case RemoteAction::Toggle: outcome = panel_.Recording() ? Stop() : Record(); break;
    }
    running_ = false;
    return outcome;
}

RemoteOutcome RemoteCommands::Record() {
    if (panel_.Recording()) return Refused(kErrorAlreadyRecording, "A recording is already in progress");
    if (!panel_.RecordEnabled())
        return Refused(kErrorNotReady, "Recording cannot start: the state is " + panel_.StateName());
    panel_.BeginReasons();
    panel_.PressRecord();
    if (panel_.Recording()) return {};
    std::string why = panel_.Reasons();
    return Refused(kErrorFailed, why.empty() ? "The recording did not start" : why);
}

RemoteOutcome RemoteCommands::Stop() {
    if (!panel_.Recording()) return Refused(kErrorNotRecording, "No recording is in progress");
    if (!panel_.RecordEnabled()) return Refused(kErrorBusy, "The recording is being stopped");
    panel_.BeginReasons();
    panel_.PressRecord();
    if (!panel_.Recording()) return {};
    std::string why = panel_.Reasons();
    return Refused(kErrorFailed, why.empty() ? "The recording did not stop" : why);
}

RemoteOutcome RemoteCommands::Pause() {
    if (!panel_.Recording()) return Refused(kErrorNotRecording, "No recording is in progress");
    if (!panel_.PauseEnabled()) return Refused(kErrorBusy, "Pause cannot be pressed now");
    const bool before = panel_.Paused();
    panel_.BeginReasons();
    panel_.PressPause();
    if (panel_.Paused() != before) return {};
    std::string why = panel_.Reasons();
    return Refused(kErrorFailed, why.empty() ? "The pause did not change" : why);
}

}  // namespace pelmora
