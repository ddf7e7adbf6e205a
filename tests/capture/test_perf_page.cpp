// SPDX-License-Identifier: GPL-3.0-or-later
// The Performance page's fill texts, bars and its buttons, without a window.

#include <gtest/gtest.h>

#include "support/PageFakes.h"
#include "capture/PerfPageModel.h"

namespace pelmora {
namespace {

using Perf = PerfPageModel;

TEST(PerformancePage, FillIsShownOnlyOnceThePageExists) {
    test::FakeHost host;
    test::FakeControls c;
    PerfPageModel page(host);
    page.Attach(c);
    page.ShowBufferFill(50, 60, 70, 1.5, 2, 3);
    EXPECT_EQ(c.Text(Perf::kDeviceText), "");
    page.Activate();
    EXPECT_EQ(c.controls[Perf::kOutputBar].maximum, 100);
    page.ShowBufferFill(100, 95, 3, 3.0, 2.85, 0.126);
    EXPECT_EQ(c.Position(Perf::kDeviceBar), 100);
    EXPECT_EQ(c.Text(Perf::kDeviceText), "100% free (3.00 sec)");
    EXPECT_EQ(c.Text(Perf::kReceivedText), "95% free (2.85 sec)");
    EXPECT_EQ(c.Position(Perf::kOutputBar), 3);
    EXPECT_EQ(c.Text(Perf::kOutputText), "3% free (0.13 sec)");
}

TEST(PerformancePage, BuffersLockWhileRecordingPrioritiesDoNot) {
    test::FakeHost host;
    test::FakeControls c;
    PerfPageModel page(host);
    page.Attach(c);
    host.recording = true;
    page.Activate();
    EXPECT_FALSE(c.Enabled(Perf::kBuffersSetup));
    EXPECT_TRUE(c.Enabled(Perf::kChangePriorities));
    page.OnClicked(Perf::kChangePriorities);
    EXPECT_EQ(host.priorityDialogs, 1);
    page.EnablePageControls(2);
    EXPECT_TRUE(c.Enabled(Perf::kBuffersSetup));
    page.OnClicked(Perf::kBuffersSetup);
    EXPECT_EQ(host.buffersDialogs, 1);
}

}  // namespace
}  // namespace pelmora
