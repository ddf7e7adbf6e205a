// SPDX-License-Identifier: GPL-3.0-or-later
// The "Sound buffers" and priority dialogs without a window.

#include <gtest/gtest.h>

#include <cstring>

#include "capture/BuffersDlgModel.h"
#include "capture/PriorityDlgModel.h"
#include "support/TuningFakes.h"

namespace pelmora {
namespace {

using B = BuffersDlgModel;
using P = PriorityDlgModel;
using test::Press;
using test::Slide;

TEST(BuffersDialog, TextsFollowTheFormatInWholeFrames) {
    // 8 kHz, 8-bit mono at 2 buffers per second.
    BufferTexts t = ComputeBufferTexts(8000, 1, 0, 10, 10, 10);
    EXPECT_EQ(t.rate, "0.50 sec (buffer size = 4000 B)");
    EXPECT_EQ(t.device, "10 sec (20 buffers, 80000 B)");
    // 44.1 kHz, 16-bit stereo at 10 per second.
    t = ComputeBufferTexts(176400, 4, 2, 3, 1, 10);
    EXPECT_EQ(t.rate, "0.10 sec (buffer size = 17640 B)");
    EXPECT_EQ(t.device, "3 sec (30 buffers, 529200 B)");
    EXPECT_EQ(t.received, "1 sec (10 buffers, 176400 B)");
    EXPECT_EQ(t.output, "10 sec (100 buffers, 1764000 B)");
    // 11 025 Hz 16-bit stereo at 20 per second: rounded down to whole frames.
    t = ComputeBufferTexts(44100, 4, 3, 1, 1, 1);
    EXPECT_EQ(t.rate, "0.05 sec (buffer size = 2204 B)");
    EXPECT_EQ(t.device, "1 sec (20 buffers, 44080 B)");
    // No format: nothing to divide by.
    t = ComputeBufferTexts(0, 0, 2, 3, 3, 3);
    EXPECT_EQ(t.rate, "0.10 sec (buffer size = 0 B)");
    EXPECT_EQ(t.device, "3 sec (0 buffers, 0 B)");
}

TEST(BuffersDialog, SlidersShowTheirValuesAndOnlyApplyStoresAndReopens) {
    test::FakeTuningHost host;
    host.bytesPerSecond = 8000;
    host.blockAlign = 1;
    test::FakeControls c;
    B dialog(host);
    dialog.Attach(c);
    dialog.OnInitDialog();
    EXPECT_EQ(c.controls[B::kRateSlider].maximum, 3);
    EXPECT_EQ(c.controls[B::kOutputSlider].minimum, 1);
    EXPECT_EQ(c.controls[B::kOutputSlider].maximum, 10);
    EXPECT_EQ(c.Position(B::kRateSlider), 2);
    EXPECT_EQ(c.Position(B::kDeviceSlider), 3);
    EXPECT_FALSE(c.Enabled(B::kApply));
    EXPECT_EQ(c.Text(B::kRateText), "0.10 sec (buffer size = 800 B)");

    Slide(c, dialog, B::kRateSlider, 0);
    Slide(c, dialog, B::kReceivedSlider, 10);
    EXPECT_TRUE(c.Enabled(B::kApply));
    EXPECT_EQ(c.Text(B::kRateText), "0.50 sec (buffer size = 4000 B)");
    EXPECT_EQ(c.Text(B::kReceivedText), "10 sec (20 buffers, 80000 B)");
    EXPECT_EQ(c.Text(B::kDeviceText), "3 sec (6 buffers, 24000 B)");
    EXPECT_EQ(host.reopens, 0);
    EXPECT_EQ(host.settings.meterRateIndex, 2);

    Press(dialog, B::kApply);
    EXPECT_EQ(host.reopens, 1);
    EXPECT_EQ(host.reopenedWith.meterRateIndex, 0);
    EXPECT_EQ(host.reopenedWith.receivedStoreSeconds, 10);
    EXPECT_EQ(host.reopenedWith.deviceQueueSeconds, 3);
    EXPECT_FALSE(c.Enabled(B::kApply));
    EXPECT_FALSE(dialog.Closed());

    // Default moves the sliders but stores nothing; Cancel keeps what Apply stored.
    Press(dialog, B::kDefault);
    EXPECT_EQ(c.Position(B::kRateSlider), 2);
    EXPECT_EQ(c.Position(B::kReceivedSlider), 3);
    EXPECT_TRUE(c.Enabled(B::kApply));
    EXPECT_EQ(c.Text(B::kReceivedText), "3 sec (30 buffers, 24000 B)");
    Press(dialog, B::kCancel);
    EXPECT_TRUE(dialog.Closed());
    EXPECT_EQ(host.reopens, 1);
    EXPECT_EQ(host.settings.meterRateIndex, 0);
    EXPECT_EQ(host.settings.receivedStoreSeconds, 10);
}

TEST(BuffersDialog, CancelLeavesSettingsAndDeviceUntouchedAndOkAppliesThenCloses) {
    test::FakeTuningHost host;
    test::FakeControls c;
    const RecSettings before = host.settings;
    {
        B dialog(host);
        dialog.Attach(c);
        dialog.OnInitDialog();
        Slide(c, dialog, B::kRateSlider, 3);
        Slide(c, dialog, B::kOutputSlider, 7);
        Press(dialog, B::kCancel);
        EXPECT_TRUE(dialog.Closed());
        EXPECT_FALSE(dialog.Accepted());
    }
    EXPECT_EQ(host.reopens, 0);
    EXPECT_EQ(std::memcmp(&before, &host.settings, sizeof before), 0);

    B dialog(host);
    dialog.Attach(c);
    dialog.OnInitDialog();
    Slide(c, dialog, B::kOutputSlider, 7);
    Press(dialog, B::kOk);
    EXPECT_TRUE(dialog.Closed());
    EXPECT_EQ(host.reopens, 1);
    EXPECT_EQ(host.settings.outputStoreSeconds, 7);
}

TEST(PriorityDialog, SlidersShowTheirNamesAndThePresetsStoreNothingUntilApply) {
    test::FakeTuningHost host;
    host.settings.processPriorityClass = 3;
    host.settings.writerThreadPriority = 6;
    host.settings.encoderThreadPriority = 0;
    test::FakeControls c;
    P dialog(host);
    dialog.Attach(c);
    dialog.OnInitDialog();
    EXPECT_EQ(c.controls[P::kProcessClass].maximum, 3);
    EXPECT_EQ(c.controls[P::kWriterThread].maximum, 6);
    EXPECT_EQ(c.Text(P::kProcessClassText), "Realtime");
    EXPECT_EQ(c.Text(P::kWriterThreadText), "Time Critical");
    EXPECT_EQ(c.Text(P::kEncoderThreadText), "Idle");
    EXPECT_EQ(c.Text(P::kUiThreadText), "Normal");
    EXPECT_FALSE(c.Enabled(P::kApply));

    Slide(c, dialog, P::kReceiveThread, 1);
    EXPECT_EQ(c.Text(P::kReceiveThreadText), "Lowest");
    EXPECT_TRUE(c.Enabled(P::kApply));
    Press(dialog, P::kWindowsDefault);
    EXPECT_EQ(c.Text(P::kProcessClassText), "Normal");
    EXPECT_EQ(c.Text(P::kWriterThreadText), "Normal");
    EXPECT_EQ(host.priorityApplies, 0);
    EXPECT_EQ(host.settings.processPriorityClass, 3);

    Press(dialog, P::kRecommendedBoost);
    EXPECT_EQ(c.Text(P::kPreprocessThreadText), "Above Normal");
    Press(dialog, P::kApply);
    EXPECT_EQ(host.priorityApplies, 1);
    const RecSettings& s = host.appliedWith;
    EXPECT_EQ(s.processPriorityClass, 1);
    EXPECT_EQ(s.encoderPriorityClass, 1);
    EXPECT_EQ(s.uiThreadPriority, 3);
    EXPECT_EQ(s.receiveThreadPriority, 4);
    EXPECT_EQ(s.preprocessThreadPriority, 4);
    EXPECT_EQ(s.writerThreadPriority, 4);
    EXPECT_EQ(s.encoderThreadPriority, 4);
    EXPECT_FALSE(c.Enabled(P::kApply));
}

TEST(PriorityDialog, CancelStoresNothingAndOkClosesThenApplies) {
    test::FakeTuningHost host;
    test::FakeControls c;
    const RecSettings before = host.settings;
    {
        P dialog(host);
        dialog.Attach(c);
        dialog.OnInitDialog();
        Slide(c, dialog, P::kEncoderClass, 2);
        Press(dialog, P::kCancel);
        EXPECT_TRUE(dialog.Closed());
    }
    EXPECT_EQ(host.priorityApplies, 0);
    EXPECT_EQ(std::memcmp(&before, &host.settings, sizeof before), 0);

    P dialog(host);
    dialog.Attach(c);
    dialog.OnInitDialog();
    Slide(c, dialog, P::kEncoderClass, 2);
    Press(dialog, P::kOk);
    EXPECT_TRUE(dialog.Closed());
    EXPECT_EQ(host.priorityApplies, 1);
    EXPECT_EQ(host.settings.encoderPriorityClass, 2);
    EXPECT_EQ(c.Text(P::kEncoderClassText), "High");
}

}  // namespace
}  // namespace pelmora
