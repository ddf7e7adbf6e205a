// SPDX-License-Identifier: GPL-3.0-or-later
// The Operations page's rules without a window: the split write time, the reading order
// with its messages, the enabling rules and the lock.

#include <gtest/gtest.h>

#include "RecordingRig.h"
#include "support/PageFakes.h"
#include "recording/OperPageModel.h"

namespace pelmora {
namespace {

using Oper = OperPageModel;
using test::FakeControls;
using test::FakeHost;

struct OperPage {
    OperPage() {
        page.Attach(c);
        page.ShowSettings();
        page.Activate();
    }
    FakeHost host;
    OperPageModel page{host};
    FakeControls c;
};

TEST(OperationsPage, AppendCaptionNamesTheRealLogFile) {
    OperPage p;
    p.host.programFolder = "/opt/pelmora/";
    EXPECT_EQ(p.page.AppendLogCaption(), "Append log to pelmora.log (/opt/pelmora/pelmora.log)");
    EXPECT_EQ(DisplayPath("/home/ann/.config/pelmora/pelmora.log", "/home/ann"), "~/.config/pelmora/pelmora.log");
    EXPECT_EQ(DisplayPath("/home/ann/.config/pelmora/pelmora.log", "/home/ann/"), "~/.config/pelmora/pelmora.log");
    EXPECT_EQ(DisplayPath("/home/anna/pelmora.log", "/home/ann"), "/home/anna/pelmora.log");
    EXPECT_EQ(DisplayPath("/pelmora.log", "/"), "/pelmora.log");
    EXPECT_EQ(DisplayPath("/x/pelmora.log", ""), "/x/pelmora.log");
}

TEST(OperationsPage, WriteTimeIsSplitForShowingAndJoinedForStoring) {
    OperPage p;
    p.host.settings.writeTimeLimit = 3725;
    p.page.ShowSettings();
    EXPECT_EQ(p.c.Text(Oper::kHours), "1");
    EXPECT_EQ(p.c.Text(Oper::kMinutes), "2");
    EXPECT_EQ(p.c.Text(Oper::kSeconds), "5");

    p.c.Type(p.page, Oper::kMinutes, "30");
    p.c.Type(p.page, Oper::kSeconds, "15");
    EXPECT_EQ(p.host.settings.writeTimeLimit, 5415);
    EXPECT_TRUE(p.c.messages.empty());
}

TEST(OperationsPage, OutOfRangeNumbersShowTheRangeAndAreStoredAnyway) {
    OperPage p;
    p.c.Type(p.page, Oper::kHours, "0");
    p.c.Type(p.page, Oper::kSeconds, "0");
    p.c.Type(p.page, Oper::kMinutes, "60");
    EXPECT_EQ(p.c.LastMessage(), "Please enter an integer between 0 and 59.");
    EXPECT_EQ(p.host.settings.writeTimeLimit, 3600);

    // The minutes box still holds 60 and is read before the file size: mend it first.
    p.c.Type(p.page, Oper::kMinutes, "0");
    p.c.Type(p.page, Oper::kFileSizeLimit, "0");
    EXPECT_EQ(p.c.LastMessage(), "Please enter an integer between 1 and 100000.");
    EXPECT_EQ(p.host.settings.fileSizeLimit, 0);
}

TEST(OperationsPage, AFailedFieldStopsTheReadingButNotTheFieldTypedIn) {
    OperPage p;
    // 1164 is read before 1163: while it holds no number, the page's reading stops there,
    // yet the file size typed in is stored and the failing box keeps its message.
    p.c.Type(p.page, Oper::kFreeSpaceLimit, "lots");
    EXPECT_EQ(p.c.LastMessage(), "Please enter a positive integer.");
    EXPECT_EQ(p.host.settings.freeSpaceLimit, 100);
    p.c.messages.clear();
    p.c.Type(p.page, Oper::kFileSizeLimit, "700");
    EXPECT_EQ(p.host.settings.fileSizeLimit, 700);
    EXPECT_EQ(p.c.messages, std::vector<std::string>{"Please enter a positive integer."});
    p.c.Type(p.page, Oper::kMaxLog, "0");  // out of range, stored as typed, no second message
    EXPECT_EQ(p.host.settings.maxLogSize, 0);
    EXPECT_EQ(p.c.LastMessage(), "Please enter a positive integer.");
    p.c.Type(p.page, Oper::kFreeSpaceLimit, "50");
    EXPECT_EQ(p.host.settings.freeSpaceLimit, 50);
    p.c.Type(p.page, Oper::kMaxLog, "1024");
    p.c.Type(p.page, Oper::kDataLossLimit, "-3");
    EXPECT_EQ(p.c.LastMessage(), "Please enter an integer between 0 and 1000.");
    p.c.Type(p.page, Oper::kDataLossLimit, "x");
    EXPECT_EQ(p.c.LastMessage(), "Please enter an integer.");
}

TEST(OperationsPage, ClicksAreStoredAndRuledWhileAnEarlierBoxIsRetyped) {
    OperPage p;
    p.c.Type(p.page, Oper::kFreeSpaceLimit, "");  // emptied to type another number
    p.c.messages.clear();
    p.c.Click(p.page, Oper::kDataLoss);
    EXPECT_EQ(p.host.settings.stopOnDataLoss, 1);
    EXPECT_TRUE(p.c.Enabled(Oper::kDataLossLimit));
    p.c.Click(p.page, Oper::kLogDuring);
    EXPECT_EQ(p.host.settings.logDuringRecording, 1);
    p.c.ClickRadio(p.page, {Oper::kLogPerRecording, Oper::kLogAppend}, Oper::kLogPerRecording);
    EXPECT_EQ(p.host.settings.logFileMode, 0);
    EXPECT_FALSE(p.c.Enabled(Oper::kMaxLog));
    p.c.Click(p.page, Oper::kWriteTime);
    EXPECT_EQ(p.host.settings.stopOnWriteTime, 1);
    EXPECT_TRUE(p.c.Enabled(Oper::kHours));
    EXPECT_EQ(p.c.messages, std::vector<std::string>(4, "Please enter a positive integer."));
    // What the reading had not reached is left as it was.
    EXPECT_EQ(p.host.settings.freeSpaceLimit, 100);
    EXPECT_EQ(p.host.settings.stopOnFileSize, 0);
}

TEST(OperationsPage, NumbersTooLargeForTheRecordGetTheRangeMessage) {
    OperPage p;
    p.c.Type(p.page, Oper::kFileSizeLimit, "2147483648");
    EXPECT_EQ(p.c.LastMessage(), "Please enter an integer between 1 and 100000.");
    EXPECT_EQ(p.host.settings.fileSizeLimit, 2147483647);
    p.c.Type(p.page, Oper::kFileSizeLimit, "99999999999999999999999");
    EXPECT_EQ(p.c.LastMessage(), "Please enter an integer between 1 and 100000.");
    p.c.Type(p.page, Oper::kFileSizeLimit, "700");
    p.c.Type(p.page, Oper::kDataLossLimit, "-5000000000");
    EXPECT_EQ(p.c.LastMessage(), "Please enter an integer between 0 and 1000.");
    EXPECT_EQ(p.host.settings.dataLossLimit, -2147483647 - 1);
}

TEST(OperationsPage, HugeHoursCannotOverflowTheRecord) {
    EXPECT_EQ(WriteTimeSeconds(1, 30, 15), 5415);
    EXPECT_EQ(WriteTimeSeconds(2000000000, 0, 0), 2147483647);
}

TEST(OperationsPage, EnablingRulesAndLock) {
    OperPage p;
    EXPECT_FALSE(p.c.Enabled(Oper::kHours));
    EXPECT_FALSE(p.c.Enabled(Oper::kLogAppend));
    p.c.Click(p.page, Oper::kWriteTime);
    EXPECT_EQ(p.host.settings.stopOnWriteTime, 1);
    for (int id : {Oper::kHours, Oper::kMinutes, Oper::kSeconds, Oper::kHoursLabel, Oper::kSecondsLabel})
        EXPECT_TRUE(p.c.Enabled(id));

    p.c.Click(p.page, Oper::kLogDuring);
    EXPECT_TRUE(p.c.Enabled(Oper::kLogPerRecording));
    EXPECT_TRUE(p.c.Enabled(Oper::kMaxLog));  // logFileMode 1 by default
    p.c.ClickRadio(p.page, {Oper::kLogPerRecording, Oper::kLogAppend}, Oper::kLogPerRecording);
    EXPECT_EQ(p.host.settings.logFileMode, 0);
    EXPECT_FALSE(p.c.Enabled(Oper::kMaxLog));
    EXPECT_FALSE(p.c.Enabled(Oper::kMaxLogLabel));
    p.c.ClickRadio(p.page, {Oper::kLogPerRecording, Oper::kLogAppend}, Oper::kLogAppend);
    p.c.Click(p.page, Oper::kLogDuring);
    for (int id : {Oper::kLogPerRecording, Oper::kLogAppend, Oper::kMaxLog, Oper::kMaxLogLabel})
        EXPECT_FALSE(p.c.Enabled(id));
    p.c.Click(p.page, Oper::kLogDuring);
    for (int id : {Oper::kLogPerRecording, Oper::kLogAppend, Oper::kMaxLog, Oper::kMaxLogLabel})
        EXPECT_TRUE(p.c.Enabled(id));

    p.page.EnablePageControls(1);
    for (int id : {Oper::kWriteTime, Oper::kHours, Oper::kLogDuring, Oper::kLogAppend, Oper::kDataLoss})
        EXPECT_FALSE(p.c.Enabled(id));
}

TEST(OperationsPage, ZeroFileSizeTypedOnThePageIsRefusedAtRecord) {
    test::RecordingRig rig;
    FakeHost host;
    host.settings = rig.settings;
    OperPageModel page(host);
    FakeControls c;
    page.Attach(c);
    page.ShowSettings();
    page.Activate();
    c.Click(page, Oper::kFileSize);
    c.Type(page, Oper::kFileSizeLimit, "0");
    rig.settings = host.settings;
    rig.control.OnRecord();
    EXPECT_EQ(rig.LastText(), "Zero maximum file size specified :)");
}

}  // namespace
}  // namespace pelmora
