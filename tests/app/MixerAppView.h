// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A main window without a window for tests of the program with its mixer: every step is
// accepted, the General page's mixer controls and the window's message queue are kept.

#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "app/AppCore.h"
#include "input/MixerTestSupport.h"

namespace pelmora::test {

class MixerAppView : public AppView {
public:
    ~MixerAppView() override {
        if (::chdir("/") != 0) std::abort();
    }
    void CreateSettingsSheet() override {}
    void ShowSettings() override {}
    void BuildStatusPanel() override {}
    void StartTimer() override {}
    void SetupCpuGraph() override {}
    void SetupMeters() override {}
    void SetGeneralPageIdle() override {}
    void ReleaseImages() override {}
    void DestroySettingsSheet() override {}
    void StopTimer() override {}
    void ReportSettingsWriteFailure(const std::string&, const std::string&) override {}
    void SetCompressionOptions(const std::string&) override {}
    void SetDescription(const std::string&) override {}
    void SetDeviceList(const std::vector<std::string>&) override {}
    void SetFormatList(const std::vector<std::string>&) override {}
    void SelectFormat(int) override {}
    void SetBitrateLabel(const std::string&) override {}
    void BlankMeters() override {}
    bool AskYesNo(const std::string&) override { return true; }
    void ShowMessage(const std::string&) override {}
    void SetRecordingControls(int) override {}
    void SetRecordCaption(const std::string&) override {}
    void EnableRecord(bool) override {}
    void SetPauseCaption(const std::string&) override {}
    void EnablePause(bool) override {}
    void SetState(int) override {}
    void SetStatusValues(const StatusValues&) override {}
    void ShowValues() override {}
    void BlinkState(int) override {}
    std::optional<std::string> OutputFileEntry() override { return std::string("take"); }
    void ShowOutputFileEntry(const std::string&) override {}
    MixerView* MixerControlsView() override { return &page; }
    MixerMessageTarget* MixerMessages() override { return &messages; }

    PageView page;
    test::MixerMessages messages;
};

}  // namespace pelmora::test
