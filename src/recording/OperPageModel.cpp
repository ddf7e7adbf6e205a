// SPDX-License-Identifier: GPL-3.0-or-later
#include "recording/OperPageModel.h"

#include <cstdlib>

#include <algorithm>
#include <limits>

namespace pelmora {

int32_t WriteTimeSeconds(int32_t hours, int32_t minutes, int32_t seconds) {
    // Out-of-range numbers reach the record too; keep them from overflowing.
    const int64_t total = (int64_t{hours} * 60 + minutes) * 60 + seconds;
    return static_cast<int32_t>(std::clamp<int64_t>(total, 0, std::numeric_limits<int32_t>::max()));
}

void OperPageModel::DoDataExchange(DataExchange& dx) {
    dx.Check(kWriteTime, writeTime_);
    dx.Check(kFileSize, fileSize_);
    dx.Check(kFreeSpace, freeSpace_);
    dx.Check(kLogDuring, logDuring_);
    dx.UInt(kFreeSpaceLimit, freeSpaceLimit_, 1, 100000);
    dx.UInt(kHours, hours_, 0, 100000);
    dx.UInt(kSeconds, seconds_, 0, 59);
    dx.UInt(kMinutes, minutes_, 0, 59);
    dx.Radio({kLogPerRecording, kLogAppend}, logMode_);
    dx.UInt(kMaxLog, maxLog_, 1, 100000);
    dx.UInt(kFileSizeLimit, fileSizeLimit_, 1, 100000);
    dx.Check(kDataLoss, dataLoss_);
    dx.Int(kDataLossLimit, dataLossLimit_, 0, 1000);
}

void OperPageModel::CopySettings() {
    const RecSettings& s = host_.Settings();
    writeTime_ = s.stopOnWriteTime;
    fileSize_ = s.stopOnFileSize;
    freeSpace_ = s.stopOnFreeSpace;
    dataLoss_ = s.stopOnDataLoss;
    logDuring_ = s.logDuringRecording;
    logMode_ = s.logFileMode;
    freeSpaceLimit_ = s.freeSpaceLimit;
    fileSizeLimit_ = s.fileSizeLimit;
    hours_ = s.writeTimeLimit / 3600;
    minutes_ = (s.writeTimeLimit - 3600 * hours_) / 60;
    seconds_ = s.writeTimeLimit - 3600 * hours_ - 60 * minutes_;
    dataLossLimit_ = s.dataLossLimit;
    maxLog_ = s.maxLogSize;
}

std::string DisplayPath(const std::string& path, const std::string& home) {
    std::string base = home;
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    if (base.size() > 1 && path.compare(0, base.size(), base) == 0 && path.size() > base.size() &&
        path[base.size()] == '/')
        return "~" + path.substr(base.size());
    return path;
}

std::string OperPageModel::AppendLogCaption() const {
    const char* home = std::getenv("HOME");
    return "Append log to pelmora.log (" + DisplayPath(host_.ProgramFolder() + "pelmora.log", home ? home : "") + ")";
}

void OperPageModel::OnInitDialog() {
    UpdateData(false);
    const RecSettings& s = host_.Settings();
    EnableAll({kHours, kMinutes, kSeconds}, s.stopOnWriteTime != 0);
    EnableAll({kFileSizeLimit}, s.stopOnFileSize != 0);
    EnableAll({kFreeSpaceLimit}, s.stopOnFreeSpace != 0);
    EnableAll({kDataLossLimit}, s.stopOnDataLoss != 0);
    EnableAll({kLogPerRecording, kLogAppend}, s.logDuringRecording != 0);
    EnableAll({kMaxLog}, s.logDuringRecording != 0 && s.logFileMode == 1);
    CopySettings();
    UpdateData(false);
}

void OperPageModel::OnSetActive() {
    EnablePageControls(ActivationMode());
    FrameworkActivate();
}

void OperPageModel::ShowSettings() {
    CopySettings();
    if (Created()) UpdateData(false);
}

void OperPageModel::EnablePageControls(int mode) {
    if (mode != 1 && mode != 2) return;
    const std::initializer_list<int> always = {kWriteTime, kFileSize, kFreeSpace, kDataLoss, kLogDuring};
    const std::initializer_list<int> time = {kHours, kMinutes, kSeconds, kHoursLabel, kMinutesLabel, kSecondsLabel};
    const std::initializer_list<int> loss = {kDataLossLimit, kDataLossUnit};
    const std::initializer_list<int> size = {kFileSizeLimit, kFileSizeUnit};
    const std::initializer_list<int> space = {kFreeSpaceLimit, kFreeSpaceUnit};
    const std::initializer_list<int> radios = {kLogPerRecording, kLogAppend};
    const std::initializer_list<int> maxLog = {kMaxLog, kMaxLogLabel};
    if (mode == 1) {
        for (auto ids : {always, time, loss, size, space, radios, maxLog}) EnableAll(ids, false);
        return;
    }
    const RecSettings& s = host_.Settings();
    EnableAll(always, true);
    EnableAll(time, s.stopOnWriteTime != 0);
    EnableAll(loss, s.stopOnDataLoss != 0);
    EnableAll(size, s.stopOnFileSize != 0);
    EnableAll(space, s.stopOnFreeSpace != 0);
    EnableAll(radios, s.logDuringRecording != 0);
    EnableAll(maxLog, s.logDuringRecording != 0 && s.logFileMode == 1);
}

// A box emptied to be retyped stops the page's reading; what the user just changed is
// stored all the same.
void OperPageModel::OnClicked(int id) {
    RecSettings& s = host_.Settings();
    switch (id) {
    case kWriteTime: ReadPageFor(id); s.stopOnWriteTime = writeTime_; break;
    case kFileSize: ReadPageFor(id); s.stopOnFileSize = fileSize_; break;
    case kFreeSpace: ReadPageFor(id); s.stopOnFreeSpace = freeSpace_; break;
    case kDataLoss: ReadPageFor(id); s.stopOnDataLoss = dataLoss_; break;
    case kLogDuring: ReadPageFor(id); s.logDuringRecording = logDuring_; break;
    case kLogPerRecording:
    case kLogAppend:
        ReadPageFor(id);
        if (logMode_ == 0 || logMode_ == 1) s.logFileMode = logMode_;
        break;
    default: return;
    }
    EnablePageControls(2);
}

void OperPageModel::OnTextChanged(int id) {
    RecSettings& s = host_.Settings();
    switch (id) {
    case kHours:
    case kMinutes:
    case kSeconds:
        ReadPageFor(id);
        s.writeTimeLimit = WriteTimeSeconds(hours_, minutes_, seconds_);
        break;
    case kDataLossLimit: ReadPageFor(id); s.dataLossLimit = dataLossLimit_; break;
    case kFileSizeLimit: ReadPageFor(id); s.fileSizeLimit = fileSizeLimit_; break;
    case kFreeSpaceLimit: ReadPageFor(id); s.freeSpaceLimit = freeSpaceLimit_; break;
    case kMaxLog: ReadPageFor(id); s.maxLogSize = maxLog_; break;
    default: break;
    }
}

}  // namespace pelmora
