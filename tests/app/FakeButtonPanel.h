// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window's buttons as the start and stop sequences leave them, for the remote commands.

#include <functional>
#include <string>

#include "app/RemoteCommands.h"

namespace pelmora {

class FakePanel : public ButtonPanel {
public:
    bool recordEnabled = true;
    bool recording = false;
    bool paused = false;
    bool dialogOpen = false;
    bool startRefused = false;  // the start sequence logs a reason and changes nothing
    int recordPresses = 0;
    int pausePresses = 0;
    std::function<void()> duringPress;  // what happens while a press runs (a nested loop)
    std::string told;

    bool RecordEnabled() const override { return recordEnabled; }
    bool PauseEnabled() const override { return recording; }
    bool Recording() const override { return recording; }
    bool Paused() const override { return paused; }
    bool DialogOpen() const override { return dialogOpen; }
    std::string StateName() const override {
        return !recordEnabled ? "INITIALIZATION FAILED" : paused ? "PAUSED" : recording ? "RECORDING" : "READY";
    }
    std::string OutputPath() const override { return "/music/out.wav"; }
    double WriteTime() const override { return 0.0; }
    void BeginReasons() override { told.clear(); }
    std::string Reasons() const override { return told; }
    void PressRecord() override {
        ++recordPresses;
        if (duringPress) duringPress();
        if (recording) {
            recording = paused = false;
        } else if (startRefused) {
            told = "Zero maximum duration specified :)";
        } else {
            recording = true;
        }
    }
    void PressPause() override {
        ++pausePresses;
        paused = !paused;
    }
};

}  // namespace pelmora
