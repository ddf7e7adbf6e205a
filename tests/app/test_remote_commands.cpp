#include <gtest/gtest.h>

#include <functional>

#include "app/RemoteCommands.h"

namespace pelmora {
namespace {

// The window's buttons as the start and stop sequences leave them.
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

TEST(RemoteCommands, RecordStopAndPausePressTheButtonsInTheirStates) {
    FakePanel panel;
    RemoteCommands commands(panel);
    EXPECT_TRUE(commands.Perform(RemoteAction::Record).Done());
    EXPECT_TRUE(panel.recording);
    EXPECT_TRUE(commands.Perform(RemoteAction::Pause).Done());
    EXPECT_TRUE(panel.paused);
    EXPECT_TRUE(commands.Perform(RemoteAction::Pause).Done());
    EXPECT_FALSE(panel.paused);
    EXPECT_TRUE(commands.Perform(RemoteAction::Stop).Done());
    EXPECT_FALSE(panel.recording);
    EXPECT_EQ(panel.recordPresses, 2);
    EXPECT_EQ(panel.pausePresses, 2);
}

TEST(RemoteCommands, ToggleRecordsWhenIdleAndStopsOtherwise) {
    FakePanel panel;
    RemoteCommands commands(panel);
    EXPECT_TRUE(commands.Perform(RemoteAction::Toggle).Done());
    EXPECT_TRUE(panel.recording);
    panel.paused = true;
    EXPECT_TRUE(commands.Perform(RemoteAction::Toggle).Done());
    EXPECT_FALSE(panel.recording);
    EXPECT_EQ(panel.recordPresses, 2);
}

TEST(RemoteCommands, WhatAButtonCouldNotDoIsRefusedWithoutPressingIt) {
    FakePanel panel;
    RemoteCommands commands(panel);
    RemoteOutcome stop = commands.Perform(RemoteAction::Stop);
    EXPECT_EQ(stop.errorName, kErrorNotRecording);
    EXPECT_EQ(commands.Perform(RemoteAction::Pause).errorName, kErrorNotRecording);
    panel.recordEnabled = false;  // the device did not open
    RemoteOutcome record = commands.Perform(RemoteAction::Record);
    EXPECT_EQ(record.errorName, kErrorNotReady);
    EXPECT_NE(record.message.find("INITIALIZATION FAILED"), std::string::npos);
    EXPECT_EQ(commands.Perform(RemoteAction::Toggle).errorName, kErrorNotReady);
    panel.recordEnabled = true;
    panel.recording = true;
    EXPECT_EQ(commands.Perform(RemoteAction::Record).errorName, kErrorAlreadyRecording);
    EXPECT_EQ(panel.recordPresses, 0);
    EXPECT_EQ(panel.pausePresses, 0);
}

TEST(RemoteCommands, ARefusedStartGivesTheReasonTheWindowGave) {
    FakePanel panel;
    panel.startRefused = true;
    RemoteCommands commands(panel);
    RemoteOutcome outcome = commands.Perform(RemoteAction::Record);
    EXPECT_EQ(outcome.errorName, kErrorFailed);
    EXPECT_EQ(outcome.message, "Zero maximum duration specified :)");
}

TEST(RemoteCommands, NothingActsWhileAQuestionWaitsForTheUser) {
    FakePanel panel;
    RemoteCommands commands(panel);
    panel.dialogOpen = true;
    EXPECT_EQ(commands.Perform(RemoteAction::Record).errorName, kErrorBusy);
    EXPECT_EQ(panel.recordPresses, 0);
    panel.dialogOpen = false;
    // A second command arriving while the first one's question is open (a nested loop).
    RemoteOutcome nested;
    panel.duringPress = [&] { nested = commands.Perform(RemoteAction::Stop); };
    EXPECT_TRUE(commands.Perform(RemoteAction::Record).Done());
    EXPECT_EQ(nested.errorName, kErrorBusy);
    EXPECT_EQ(panel.recordPresses, 1);
    EXPECT_TRUE(panel.recording);
    panel.duringPress = nullptr;
    EXPECT_TRUE(commands.Perform(RemoteAction::Stop).Done());  // free again afterwards
}

}  // namespace
}  // namespace pelmora
