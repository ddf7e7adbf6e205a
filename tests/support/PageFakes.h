// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A settings page's controls as a plain table, and a host that counts what the pages ask.

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "settings/PageControls.h"
#include "settings/PageHost.h"
#include "settings/PageModel.h"
#include "settings/RecSettings.h"

namespace pelmora::test {

class FakeControls : public PageControls {
public:
    struct Control {
        std::string text;
        bool checked = false;
        int position = 0;
        int minimum = 0, maximum = 100;
        // Neither enabled nor disabled until the page says which: asking before that is a
        // test that would hold whatever the page did.
        std::optional<bool> enabled;
    };

    std::string Text(int id) const override { return Get(id).text; }
    void SetText(int id, const std::string& text) override { controls[id].text = text; }
    bool Checked(int id) const override { return Get(id).checked; }
    void SetChecked(int id, bool on) override { controls[id].checked = on; }
    int Position(int id) const override { return Get(id).position; }
    void SetPosition(int id, int position) override { controls[id].position = position; }
    void SetRange(int id, int minimum, int maximum) override {
        controls[id].minimum = minimum;
        controls[id].maximum = maximum;
    }
    bool Enabled(int id) const override {
        const std::optional<bool> enabled = Get(id).enabled;
        if (!enabled) ADD_FAILURE() << "control " << id << " was never enabled or disabled by the page";
        return enabled.value_or(false);
    }
    void Enable(int id, bool on) override { controls[id].enabled = on; }
    void ShowMessage(const std::string& text) override { messages.push_back(text); }

    // What a user does.
    void Type(PageModel& page, int id, const std::string& text) {
        controls[id].text = text;
        page.OnTextChanged(id);
    }
    void Click(PageModel& page, int id) {
        controls[id].checked = !controls[id].checked;
        page.OnClicked(id);
    }
    void ClickRadio(PageModel& page, std::initializer_list<int> group, int id) {
        for (int other : group) controls[other].checked = other == id;
        page.OnClicked(id);
    }
    void Choose(PageModel& page, int id, int position) {
        controls[id].position = position;
        page.OnSelChange(id);
    }
    void Slide(PageModel& page, int id, int position) {
        controls[id].position = position;
        page.OnScroll(id);
    }
    std::string LastMessage() const { return messages.empty() ? std::string() : messages.back(); }

    std::map<int, Control> controls;
    std::vector<std::string> messages;

private:
    Control Get(int id) const {
        auto it = controls.find(id);
        return it == controls.end() ? Control{} : it->second;
    }
};

class FakeHost : public PageHost {
public:
    FakeHost() { SetDefaultSettings(settings, "/prog/"); }

    RecSettings& Settings() override { return settings; }
    const std::string& ProgramFolder() const override { return programFolder; }
    bool IsRecording() const override { return recording; }
    bool PipelineReady() const override { return pipelineReady; }
    void BuildEncoderCommand() override { ++rebuilds; }
    BitrateTable ActiveBitrateTable() const override { return bitrate.activeBitrateTable; }
    BitrateState& Bitrate() override { return bitrate; }
    int CaptureSampleRate() const override { return captureRate; }
    void FocusRecordButton() override {}
    void OnDeviceSelected(int) override {}
    void OnFormatSelected(int) override {}
    std::string ChooseFile(const FileChoice& choice) override {
        lastChoice = choice;
        return chosenFile;
    }
    void ShowBuffersDialog() override { ++buffersDialogs; }
    void ShowPriorityDialog() override { ++priorityDialogs; }
    void ShowDcFilterDialog() override { ++dcDialogs; }

    RecSettings settings{};
    std::string programFolder = "/prog/";
    bool recording = false;
    bool pipelineReady = true;
    int rebuilds = 0;
    BitrateState bitrate;
    int captureRate = 44100;
    FileChoice lastChoice;
    std::string chosenFile;
    int buffersDialogs = 0, priorityDialogs = 0, dcDialogs = 0;
};

}  // namespace pelmora::test
