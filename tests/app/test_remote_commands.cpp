// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "app/FakeButtonPanel.h"

namespace pelmora {
namespace {

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
