// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "input/CandidateFormats.h"
#include "input/FormatText.h"
#include "input/InputEnumeration.h"

namespace pelmora {
namespace {

// A backend whose devices accept what `accepts` says; it is never opened for capture here.
class FakeBackend : public WaveInBackend {
public:
    struct Device {
        std::string description;
        std::function<bool(const WaveFormat&)> accepts;
    };
    std::vector<Device> devices;
    std::size_t resultsShortBy = 0;  // answer fewer results than candidates
    WaveResult openError = 0;        // every device refuses to be opened with this
    int queryCalls = 0;

    std::vector<WaveInDeviceInfo> Devices() override {
        std::vector<WaveInDeviceInfo> list;
        for (std::size_t i = 0; i < devices.size(); ++i)
            list.push_back({"dev" + std::to_string(i), devices[i].description});
        return list;
    }
    std::vector<WaveResult> QueryFormats(int id, const std::vector<WaveFormat>& candidates,
                                         WaveResult* unopened) override {
        ++queryCalls;
        if (unopened) *unopened = openError;
        std::vector<WaveResult> r;
        for (std::size_t i = 0; i + resultsShortBy < candidates.size(); ++i)
            r.push_back(openError != 0                                               ? openError
                        : devices.at(static_cast<std::size_t>(id)).accepts(candidates[i]) ? 0
                                                                                          : -EINVAL);
        return r;
    }
    WaveResult Open(int, const WaveFormat&, WaveMessageTarget*, std::unique_ptr<WaveInDevice>*) override {
        return -ENODEV;
    }
    std::string ErrorText(WaveResult code) override { return code == -ECONNREFUSED ? std::strerror(ECONNREFUSED) : ""; }
};

// Aligned copies of a packed format record's fields: assertions bind references to their
// arguments, and a reference to a member of the packed record would be misaligned.
struct FormatFields {
    int tag, channels, blockAlign, bits, extraSize;
    uint32_t rate, avgBytesPerSec;
};

FormatFields Fields(const WaveFormat& f) {
    return {f.formatTag, f.channels, f.blockAlign, f.bitsPerSample, f.extraSize, f.samplesPerSec, f.avgBytesPerSec};
}

class FakeView : public InputSelectionView {
public:
    std::vector<std::string> calls;  // in order, with arguments
    std::vector<std::string> deviceList, formatList;
    bool openSucceeds = true;

    void SetDeviceList(const std::vector<std::string>& items) override {
        deviceList = items;
        calls.push_back("SetDeviceList");
    }
    void SetFormatList(const std::vector<std::string>& items) override {
        formatList = items;
        calls.push_back("SetFormatList");
    }
    void SelectFormat(int p) override { calls.push_back("SelectFormat " + std::to_string(p)); }
    void SetAbrRange(int lo, int hi) override {
        calls.push_back("SetAbrRange " + std::to_string(lo) + ".." + std::to_string(hi));
    }
    void SetAbrValue(int v) override { calls.push_back("SetAbrValue " + std::to_string(v)); }
    void SetBitrateLabel(const std::string& t) override { calls.push_back("SetBitrateLabel " + t); }
    void BuildEncoderCommand() override { calls.push_back("BuildEncoderCommand"); }
    void CloseCaptureDevice() override { calls.push_back("CloseCaptureDevice"); }
    void PaintMeterGradients() override { calls.push_back("PaintMeterGradients"); }
    bool OpenCaptureDevice() override {
        calls.push_back("OpenCaptureDevice");
        return openSucceeds;
    }
    void SetUpMixer() override { calls.push_back("SetUpMixer"); }
};

class FakeLog : public LogSink {
public:
    std::vector<std::string> lines;
    void AddLogLine(const std::string& text) override { lines.push_back(text); }
};

bool AcceptAll(const WaveFormat&) { return true; }
bool AcceptNone(const WaveFormat&) { return false; }

class InputEnumerationTest : public ::testing::Test {
protected:
    InputEnumerationTest() {
        SetDefaultSettings(settings, "/tmp/");
        settings.minBitrateIndex = 8;
    }
    InputEnumeration& Enumerate() {
        input.EnumerateInputDevices();
        input.FillFormatList();
        view.calls.clear();
        return input;
    }
    // The position of `rate`/`bits`/`channels` in the stored device's Format list.
    int PositionOf(uint32_t rate, uint16_t bits, uint16_t channels) const {
        const int d = input.SelectedDevice();
        for (int i = 0; i < input.formatCounts()[static_cast<std::size_t>(d)]; ++i) {
            const FormatFields f = Fields(*input.FormatAt(d, i));
            if (f.rate == rate && f.bits == bits && f.channels == channels) return i;
        }
        return -1;
    }

    FakeBackend backend;
    FakeView view;
    FakeLog log;
    RecSettings settings{};
    BitrateState bitrate;
    InputEnumeration input{backend, settings, bitrate, log, view};
};

TEST(CandidateFormats, ThirtySixInProbingOrder) {
    const auto& c = CandidateFormats();
    ASSERT_EQ(c.size(), 36u);
    const uint32_t rates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
    std::size_t n = 0;
    for (uint32_t rate : rates)
        for (uint16_t bits : {8, 16})
            for (uint16_t channels : {1, 2}) {
                const FormatFields f = Fields(c[n++]);
                EXPECT_EQ(f.tag, 1);
                EXPECT_EQ(f.rate, rate);
                EXPECT_EQ(f.bits, bits);
                EXPECT_EQ(f.channels, channels);
                EXPECT_EQ(f.avgBytesPerSec, rate * bits * channels / 8);
                EXPECT_EQ(f.blockAlign, channels * bits / 8);
                EXPECT_EQ(f.extraSize, 0);
            }
}

TEST(FormatText, LinesAsTheListShowsThem) {
    EXPECT_EQ(FormatListText(MakePcmFormat(44100, 16, 2)), "44.1 kHz, 16 bit, stereo");
    EXPECT_EQ(FormatListText(MakePcmFormat(8000, 8, 1)), "8 kHz, 8 bit, mono");
    EXPECT_EQ(FormatListText(MakePcmFormat(11025, 16, 1)), "11.025 kHz, 16 bit, mono");
    EXPECT_EQ(FormatListText(MakePcmFormat(22050, 8, 2)), "22.05 kHz, 8 bit, stereo");
    EXPECT_EQ(FormatListText(MakePcmFormat(48000, 16, 2)), "48 kHz, 16 bit, stereo");
    // Any count other than one is "stereo".
    EXPECT_EQ(FormatListText(MakePcmFormat(16000, 16, 4)), "16 kHz, 16 bit, stereo");
}

TEST_F(InputEnumerationTest, DeviceAcceptingEverythingShowsAllCandidates) {
    backend.devices = {{"Card A", AcceptAll}, {"Card B", AcceptAll}};
    input.EnumerateInputDevices();
    EXPECT_EQ(backend.queryCalls, 2);  // one probe per device, not one per candidate
    EXPECT_EQ(view.deviceList, (std::vector<std::string>{"Card A", "Card B"}));
    EXPECT_FALSE(input.formatListReady());  // not before the Format list is filled
    input.FillFormatList();
    ASSERT_EQ(view.formatList.size(), 36u);
    EXPECT_EQ(view.formatList[0], "8 kHz, 8 bit, mono");
    EXPECT_EQ(view.formatList[1], "8 kHz, 8 bit, stereo");
    EXPECT_EQ(view.formatList[2], "8 kHz, 16 bit, mono");
    EXPECT_EQ(view.formatList[35], "48 kHz, 16 bit, stereo");
    EXPECT_TRUE(input.formatListReady());
    EXPECT_TRUE(log.lines.empty());
    ASSERT_EQ(input.formatTable().size(), 2u);
    EXPECT_EQ(input.formatCounts(), (std::vector<int32_t>{36, 36}));
}

TEST_F(InputEnumerationTest, AcceptedFormatsKeepProbingOrder) {
    backend.devices = {{"Picky", [](const WaveFormat& f) {
                            return f.bitsPerSample == 16 && (f.samplesPerSec == 48000 || f.samplesPerSec == 11025);
                        }}};
    Enumerate();
    EXPECT_EQ(view.formatList, (std::vector<std::string>{"11.025 kHz, 16 bit, mono", "11.025 kHz, 16 bit, stereo",
                                                         "48 kHz, 16 bit, mono", "48 kHz, 16 bit, stereo"}));
    EXPECT_EQ(input.formatCounts()[0], 4);
    EXPECT_EQ(input.FormatAt(0, 4), nullptr);
    EXPECT_EQ(input.FormatAt(0, -1), nullptr);
}

TEST_F(InputEnumerationTest, ShortAnswerFromBackendIsNotReadPast) {
    backend.devices = {{"Short", AcceptAll}};
    backend.resultsShortBy = 30;
    Enumerate();
    EXPECT_EQ(input.formatCounts()[0], 6);
}

TEST_F(InputEnumerationTest, NoDeviceLeavesListsEmptyAndFormatsUnready) {
    input.EnumerateInputDevices();
    input.FillFormatList();
    EXPECT_EQ(log.lines, (std::vector<std::string>{"ERROR:   There are no suitable input devices"}));
    EXPECT_FALSE(input.formatListReady());
    EXPECT_TRUE(view.calls.empty());
    EXPECT_EQ(input.deviceCount(), 0);
    EXPECT_EQ(input.SelectedFormat(), nullptr);
    input.OnDeviceSelected(0);
    input.OnFormatSelected(0, false);
    EXPECT_TRUE(view.calls.empty());
}

TEST_F(InputEnumerationTest, DeviceWithoutFormats) {
    backend.devices = {{"Good", AcceptAll}, {"Mute", AcceptNone}};
    settings.deviceIndex = 1;
    input.EnumerateInputDevices();
    input.FillFormatList();
    EXPECT_EQ(log.lines, (std::vector<std::string>{"ERROR:   There is no PCM format supported"}));
    EXPECT_TRUE(view.formatList.empty());
    EXPECT_FALSE(input.formatListReady());
    EXPECT_EQ(input.SelectedFormat(), nullptr);

    // Choosing it from a good device: the list empties, the table stays, the device is retried.
    settings.deviceIndex = 0;
    input.FillFormatList();
    EXPECT_TRUE(input.formatListReady());
    view.calls.clear();
    view.openSucceeds = false;
    input.OnDeviceSelected(1);
    EXPECT_EQ(view.calls, (std::vector<std::string>{"SetFormatList", "CloseCaptureDevice", "BuildEncoderCommand",
                                                    "OpenCaptureDevice"}));
    EXPECT_FALSE(input.formatListReady());
    EXPECT_EQ(settings.deviceIndex, 1);
    EXPECT_EQ(settings.formatIndex, 0);
}

TEST_F(InputEnumerationTest, DeviceChoiceSwitchesTableOnItsFirstFormat) {
    backend.devices = {{"Full", AcceptAll},
                       {"Low", [](const WaveFormat& f) { return f.samplesPerSec == 24000; }},
                       {"High", [](const WaveFormat& f) { return f.samplesPerSec == 32000; }}};
    Enumerate();
    settings.abrBitrate = 192;
    settings.formatIndex = 5;
    input.OnDeviceSelected(1);
    EXPECT_EQ(view.calls,
              (std::vector<std::string>{"SetFormatList", "SelectFormat 0", "SetAbrRange 8..160", "SetAbrValue 160",
                                        "SetBitrateLabel Current bitrate: 80 kbit", "CloseCaptureDevice",
                                        "BuildEncoderCommand", "OpenCaptureDevice", "SetUpMixer"}));
    EXPECT_EQ(bitrate.activeBitrateTable, BitrateTable::Lsf);
    EXPECT_EQ(bitrate.lsfMode, 2);
    EXPECT_EQ(settings.abrBitrate, 160);
    EXPECT_EQ(settings.deviceIndex, 1);
    EXPECT_EQ(settings.formatIndex, 0);

    view.calls.clear();
    settings.abrBitrate = 64;
    input.OnDeviceSelected(2);
    EXPECT_EQ(bitrate.activeBitrateTable, BitrateTable::Mpeg1);
    EXPECT_EQ(bitrate.lsfMode, 1);
    EXPECT_EQ(settings.abrBitrate, 80);
    EXPECT_EQ(view.calls[2], "SetAbrRange 80..310");
    EXPECT_EQ(view.calls[3], "SetAbrValue 80");
    EXPECT_EQ(view.calls[4], "SetBitrateLabel Current bitrate: 128 kbit");

    // The same device again does nothing.
    view.calls.clear();
    input.OnDeviceSelected(2);
    EXPECT_TRUE(view.calls.empty());
}

TEST_F(InputEnumerationTest, FormatChoiceSwitchesTable) {
    backend.devices = {{"Full", AcceptAll}};
    Enumerate();
    settings.abrBitrate = 192;
    const int khz24 = PositionOf(24000, 16, 2);
    input.OnFormatSelected(khz24, true);
    EXPECT_EQ(bitrate.activeBitrateTable, BitrateTable::Lsf);
    EXPECT_EQ(settings.abrBitrate, 160);
    EXPECT_EQ(settings.formatIndex, khz24);
    EXPECT_EQ(view.calls,
              (std::vector<std::string>{"SetAbrRange 8..160", "SetAbrValue 160",
                                        "SetBitrateLabel Current bitrate: 80 kbit", "CloseCaptureDevice",
                                        "BuildEncoderCommand", "PaintMeterGradients", "OpenCaptureDevice",
                                        "SetUpMixer"}));

    view.calls.clear();
    input.OnFormatSelected(PositionOf(32000, 8, 1), true);
    EXPECT_EQ(bitrate.activeBitrateTable, BitrateTable::Mpeg1);
    EXPECT_EQ(settings.abrBitrate, 160);  // inside 80..310: kept, and the XBR value is left alone
    EXPECT_EQ(view.calls[0], "SetAbrRange 80..310");
    EXPECT_EQ(view.calls[1], "SetBitrateLabel Current bitrate: 128 kbit");
}

TEST_F(InputEnumerationTest, ResamplingDecidesTheTable) {
    backend.devices = {{"Full", AcceptAll}};
    Enumerate();
    settings.resampleIndex = 7;
    input.OnFormatSelected(PositionOf(8000, 16, 1), true);
    EXPECT_EQ(bitrate.activeBitrateTable, BitrateTable::Mpeg1);
    settings.resampleIndex = 4;
    input.OnFormatSelected(PositionOf(48000, 16, 2), true);
    EXPECT_EQ(bitrate.activeBitrateTable, BitrateTable::Lsf);
}

TEST_F(InputEnumerationTest, MpegTwoPointFiveRatesShowAtMost64Kbit) {
    backend.devices = {{"Full", AcceptAll}};
    Enumerate();
    settings.minBitrateIndex = 8;  // CBR 80 with the LSF table
    view.calls.clear();
    input.OnFormatSelected(PositionOf(8000, 16, 1), true);
    EXPECT_EQ(bitrate.activeBitrateTable, BitrateTable::Mpeg25);
    EXPECT_EQ(bitrate.lsfMode, 2);
    EXPECT_NE(std::find(view.calls.begin(), view.calls.end(), "SetBitrateLabel Current bitrate: 64 kbit"),
              view.calls.end());
    EXPECT_EQ(settings.minBitrateIndex, 8);  // the stored index is kept
}

TEST_F(InputEnumerationTest, SameFormatAgainOnlyRetriesWhileNotCapturing) {
    backend.devices = {{"Full", AcceptAll}};
    Enumerate();
    settings.formatIndex = 3;
    input.OnFormatSelected(3, true);
    EXPECT_TRUE(view.calls.empty());
    view.openSucceeds = false;
    input.OnFormatSelected(3, false);
    EXPECT_EQ(view.calls.back(), "OpenCaptureDevice");  // retried; no mixer after a failed open
}

TEST_F(InputEnumerationTest, StoredIndicesOutsideTheTablesReadAsZero) {
    backend.devices = {{"A", [](const WaveFormat& f) { return f.samplesPerSec == 16000; }},
                       {"B", [](const WaveFormat& f) { return f.samplesPerSec == 44100; }}};
    for (int32_t device : {2, 1000000, -1}) {
        settings.deviceIndex = device;
        settings.formatIndex = 0;
        log.lines.clear();
        Enumerate();
        input.FillFormatList();
        EXPECT_EQ(view.formatList.front(), "16 kHz, 8 bit, mono") << device;
        EXPECT_EQ(input.SelectedDevice(), 0);
        // The record now holds the device in use, so that the device opens with it and the
        // settings file keeps what the lists show.
        EXPECT_EQ(settings.deviceIndex, 0);
        EXPECT_EQ(log.lines, (std::vector<std::string>{"WARNING: Stored input device " + std::to_string(device) +
                                                       " is not present, using \"A\" instead"}));
    }
    settings.deviceIndex = 1;
    for (int32_t format : {4, 89, 90, -3}) {
        settings.formatIndex = format;
        ASSERT_NE(input.SelectedFormat(), nullptr);
        const FormatFields f = Fields(*input.SelectedFormat());
        EXPECT_EQ(f.rate, 44100u);
        EXPECT_EQ(f.bits, 8);
        EXPECT_EQ(f.channels, 1);
    }
    // A position that is not a line of the list changes nothing.
    view.calls.clear();
    settings.formatIndex = 2;
    input.OnFormatSelected(4, false);
    input.OnFormatSelected(-1, false);
    input.OnDeviceSelected(2);
    EXPECT_TRUE(view.calls.empty());
    EXPECT_EQ(settings.formatIndex, 2);
    EXPECT_EQ(settings.deviceIndex, 1);
}

TEST_F(InputEnumerationTest, StoredChoiceOutsideTheListsIsReplacedByTheShownEntryWithAWarning) {
    backend.devices = {{"Card A", [](const WaveFormat& f) { return f.samplesPerSec == 16000; }},
                       {"USB mic", AcceptAll}};
    // A settings file from a machine with a third device and its 40th format.
    settings.deviceIndex = 2;
    settings.formatIndex = 40;
    Enumerate();
    EXPECT_EQ(log.lines, (std::vector<std::string>{
                             "WARNING: Stored input device 2 is not present, using \"Card A\" instead",
                             "WARNING: Stored format 40 is not present, using \"16 kHz, 8 bit, mono\" instead"}));
    EXPECT_TRUE(input.formatListReady());
    EXPECT_EQ(settings.deviceIndex, 0);
    EXPECT_EQ(settings.formatIndex, 0);
    ASSERT_NE(input.FormatAt(settings.deviceIndex, settings.formatIndex), nullptr);

    // A present device with a format it no longer offers.
    log.lines.clear();
    settings.deviceIndex = 1;
    settings.formatIndex = 36;
    input.FillFormatList();
    EXPECT_EQ(log.lines, (std::vector<std::string>{
                             "WARNING: Stored format 36 is not present, using \"8 kHz, 8 bit, mono\" instead"}));
    EXPECT_EQ(settings.formatIndex, 0);

    // A valid choice is left alone and nothing is logged.
    log.lines.clear();
    settings.formatIndex = 35;
    input.FillFormatList();
    EXPECT_TRUE(log.lines.empty());
    EXPECT_EQ(settings.formatIndex, 35);

    // Choosing a device with fewer formats does not warn about the old device's format.
    input.OnDeviceSelected(0);
    EXPECT_TRUE(log.lines.empty());
    EXPECT_EQ(settings.formatIndex, 0);
}

TEST_F(InputEnumerationTest, DeviceThatCannotBeOpenedLogsTheSystemTextFirst) {
    backend.devices = {{"default", AcceptAll}};
    backend.openError = -ECONNREFUSED;  // no sound server
    Enumerate();
    EXPECT_EQ(log.lines, (std::vector<std::string>{std::strerror(ECONNREFUSED),
                                                   "ERROR:   There is no PCM format supported"}));
    EXPECT_FALSE(input.formatListReady());
    EXPECT_TRUE(input.SelectedDeviceUnreachable());

    // A device that answers but accepts nothing has no system text to give.
    backend.openError = 0;
    backend.devices = {{"Mute", AcceptNone}};
    log.lines.clear();
    Enumerate();
    EXPECT_EQ(log.lines, (std::vector<std::string>{"ERROR:   There is no PCM format supported"}));
    EXPECT_FALSE(input.SelectedDeviceUnreachable());
}

TEST_F(InputEnumerationTest, NewChoiceClosesTheDeviceBeforeTheFormatValuesChange) {
    // The encoder command sets the capture-format values that the preprocessing thread
    // uses: blocks of the old format must be done before they change.
    backend.devices = {{"Full", AcceptAll}, {"Also", AcceptAll}};
    Enumerate();
    const auto at = [this](const char* call) {
        return std::find(view.calls.begin(), view.calls.end(), call) - view.calls.begin();
    };
    input.OnFormatSelected(PositionOf(44100, 16, 2), true);
    ASSERT_FALSE(view.calls.empty());
    EXPECT_LT(at("CloseCaptureDevice"), at("BuildEncoderCommand"));
    EXPECT_LT(at("BuildEncoderCommand"), at("OpenCaptureDevice"));
    view.calls.clear();
    input.OnDeviceSelected(1);
    ASSERT_FALSE(view.calls.empty());
    EXPECT_LT(at("CloseCaptureDevice"), at("BuildEncoderCommand"));
    EXPECT_LT(at("BuildEncoderCommand"), at("OpenCaptureDevice"));
}

TEST_F(InputEnumerationTest, QueryFormatAsksForOneFormat) {
    backend.devices = {{"A", [](const WaveFormat& f) { return f.channels == 2; }}};
    EXPECT_EQ(input.QueryFormat(0, MakePcmFormat(44100, 16, 2)), 0);
    EXPECT_NE(input.QueryFormat(0, MakePcmFormat(44100, 16, 1)), 0);
}

}  // namespace
}  // namespace pelmora
