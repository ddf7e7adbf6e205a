// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The event log: timed lines for the log box, mirrored to a log file while a recording runs.
// The log box itself is a model here; the window shows it and is told of changes.

#include <ctime>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "recording/LogSink.h"
#include "settings/RecSettings.h"

namespace pelmora {

struct LocalTime {
    std::tm tm{};
    int millisecond = 0;
};

/// Local wall-clock time; replaceable in tests.
using LocalClock = std::function<LocalTime()>;
LocalTime SystemLocalTime();

/// Texts of the recording description lines, supplied by the window.
class DescriptionSource {
public:
    virtual ~DescriptionSource() = default;
    virtual std::string DeviceText() const = 0;
    virtual std::string SourceText() const = 0;
    virtual std::string FormatText() const = 0;
    virtual std::string CompressionOptionsText() const = 0;
};

constexpr const char* kErrorPrefix = "ERROR:   ";
constexpr const char* kWarningPrefix = "WARNING: ";
constexpr const char* kSuccessPrefix = "SUCCESS: ";

/// "%02d:%02d:%02d.%02d - " for a time (hundredths are milliseconds / 10).
std::string TimeStamp(const LocalTime& t);

class EventLog : public LogSink {
public:
    EventLog(const RecSettings& settings, std::string programFolder, LocalClock clock = SystemLocalTime);
    ~EventLog() override;

    EventLog(const EventLog&) = delete;
    EventLog& operator=(const EventLog&) = delete;

    void AddLogLine(const std::string& text) override;
    /// Logs "ERROR:   " and the system's text for errno value `code` (0: the current errno).
    void LogSystemError(int code);

    void SetDescriptionSource(const DescriptionSource* source);
    /// Called after every change of the log box, on the thread that made it; must not block.
    void SetObserver(std::function<void()> observer);

    // Log box model.
    std::vector<std::string> Lines() const;
    std::size_t LineCount() const;
    std::optional<std::string> LastLine() const;
    int SelectedIndex() const;
    void Clear();
    void DeleteLastLine();
    /// One step of the log, so that no line from another thread can come in between: when the
    /// last line begins with `anchor` (case-insensitive), adds `text` as a timed line; when the
    /// line before the last does and the last line contains `replaceable`, the timed `text`
    /// takes the last line's place. Otherwise changes nothing and returns false.
    bool AddOrReplaceAfter(const std::string& anchor, const std::string& replaceable, const std::string& text);
    /// Index of the first line beginning with `prefix` (case-insensitive), searching from
    /// `start` to the end and then from the first line; -1 when none does.
    int FindPrefix(int start, const std::string& prefix) const;
    /// Writes every line followed by CR LF. False with the system's reason on failure.
    bool SaveTo(const std::string& path, std::string* error = nullptr) const;
    /// "log_%Y.%m.%d-%H.%M.%S" of the clock's time.
    std::string ProposedSaveName() const;

    // Log file of one recording.
    void OpenLogFile(const std::string& outputPath);
    void CloseLogFile();
    bool LogFileOpen() const;

private:
    void AppendLocked(const std::string& line);
    void AddLocked(const std::string& stamp, const std::string& text);
    void WriteFileLocked(const std::string& line);
    void Notify();

    const RecSettings& settings_;
    const std::string programFolder_;
    LocalClock clock_;

    mutable std::mutex mutex_;  // guards everything below
    std::vector<std::string> lines_;
    int selected_ = -1;
    const DescriptionSource* description_ = nullptr;
    std::function<void()> observer_;
    int logFd_ = -1;
    bool clipLinePending_ = false;
};

/// Keeps the last floor(L/2) - 1 bytes of an open file whose length L is 4 GiB or more or
/// above `limitBytes`, moving them to the start in place. Leaves the offset at the end.
bool TrimLogFile(int fd, long long limitBytes);

}  // namespace pelmora
