// SPDX-License-Identifier: GPL-3.0-or-later
#include "recording/EventLog.h"

#include <fcntl.h>
#include <locale.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "settings/FileIo.h"

namespace pelmora {

LocalTime SystemLocalTime() {
    struct timeval tv {};
    ::gettimeofday(&tv, nullptr);
    LocalTime t;
    time_t secs = tv.tv_sec;
    ::localtime_r(&secs, &t.tm);
    t.millisecond = static_cast<int>(tv.tv_usec / 1000);
    return t;
}

std::string TimeStamp(const LocalTime& t) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%02d - ", t.tm.tm_hour, t.tm.tm_min, t.tm.tm_sec,
                  t.millisecond / 10);
    return buf;
}

namespace {

// Formats with English names whatever locale the process runs in.
std::string FormatTimeC(const char* pattern, const std::tm& tm) {
    static locale_t cLocale = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    char buf[128];
    std::size_t n = ::strftime_l(buf, sizeof buf, pattern, &tm, cLocale);
    return std::string(buf, n);
}

bool ContainsAfterFirst(const std::string& text, const char* word) {
    std::size_t pos = text.find(word);
    return pos != std::string::npos && pos > 0;
}

}  // namespace

EventLog::EventLog(const RecSettings& settings, std::string programFolder, LocalClock clock)
    : settings_(settings), programFolder_(std::move(programFolder)), clock_(std::move(clock)) {}

EventLog::~EventLog() {
    if (logFd_ >= 0) ::close(logFd_);
}

void EventLog::AppendLocked(const std::string& line) { lines_.push_back(line); }

void EventLog::AddLocked(const std::string& stamp, const std::string& text) {
    const std::string line = stamp + text;
    AppendLocked(line);
    if (logFd_ >= 0) {
        if (!(clipLinePending_ && text.find("lasts") != std::string::npos)) {
            if (clipLinePending_) {
                clipLinePending_ = false;
                // The newest "lasts" line of a clip was held back; it precedes the new line.
                if (lines_.size() >= 2 && ContainsAfterFirst(lines_[lines_.size() - 2], "lasts"))
                    WriteFileLocked(lines_[lines_.size() - 2]);
            }
            WriteFileLocked(line);
        }
        if (ContainsAfterFirst(text, "Clip occured")) clipLinePending_ = true;
    }
    selected_ = static_cast<int>(lines_.size()) - 1;

    if (text.size() >= 17 && text.compare(10, 7, "started") == 0) {
        clipLinePending_ = false;
        std::string device, source, format, options;
        if (description_) {
            device = description_->DeviceText();
            source = description_->SourceText();
            format = description_->FormatText();
            options = description_->CompressionOptionsText();
        }
        std::vector<std::string> extra;
        extra.push_back("              Input: Device - " + device + ", Line - " + source + ", Format - " + format +
                        (settings_.removeDc ? ", Processing - DC filter" : ", Processing - none"));
        extra.push_back("              Output: " + options);
        if (!settings_.writeUncompressed) extra.push_back("              (using " + TextField(settings_.encoderPath) + ")");
        for (const std::string& e : extra) {
            AppendLocked(e);
            WriteFileLocked(e);
        }
    }
}

void EventLog::WriteFileLocked(const std::string& line) {
    if (logFd_ < 0) return;
    std::string out = line + "\r\n";
    WriteAll(logFd_, out.data(), out.size());  // a failing log file never stops a recording
}

void EventLog::Notify() {
    std::function<void()> observer;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        observer = observer_;
    }
    if (observer) observer();
}

void EventLog::AddLogLine(const std::string& text) {
    const std::string stamp = TimeStamp(clock_());
    {
        std::lock_guard<std::mutex> lock(mutex_);
        AddLocked(stamp, text);
    }
    Notify();
}

bool EventLog::AddOrReplaceAfter(const std::string& anchor, const std::string& replaceable, const std::string& text) {
    const std::string stamp = TimeStamp(clock_());
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto beginsWithAnchor = [&](const std::string& line) {
            return line.size() >= anchor.size() && ::strncasecmp(line.c_str(), anchor.c_str(), anchor.size()) == 0;
        };
        const std::size_t n = lines_.size();
        if (n >= 2 && beginsWithAnchor(lines_[n - 2]) && lines_[n - 1].find(replaceable) != std::string::npos) {
            lines_.pop_back();
        } else if (n == 0 || !beginsWithAnchor(lines_[n - 1])) {
            return false;
        }
        AddLocked(stamp, text);
    }
    Notify();
    return true;
}

void EventLog::LogSystemError(int code) {
    if (code == 0) code = errno;
    std::string text = std::strerror(code);
    std::string cleaned;
    for (char c : text)
        if (c != '\r' && c != '\n') cleaned += c;
    AddLogLine(kErrorPrefix + cleaned);
}

void EventLog::SetDescriptionSource(const DescriptionSource* source) {
    std::lock_guard<std::mutex> lock(mutex_);
    description_ = source;
}

void EventLog::SetObserver(std::function<void()> observer) {
    std::lock_guard<std::mutex> lock(mutex_);
    observer_ = std::move(observer);
}

std::vector<std::string> EventLog::Lines() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
}

std::size_t EventLog::LineCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_.size();
}

std::optional<std::string> EventLog::LastLine() const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (lines_.empty()) return std::nullopt;
    return lines_.back();
}

int EventLog::SelectedIndex() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return selected_;
}

void EventLog::Clear() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.clear();
        selected_ = -1;
    }
    Notify();
}

void EventLog::DeleteLastLine() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (lines_.empty()) return;
        lines_.pop_back();
        if (selected_ >= static_cast<int>(lines_.size())) selected_ = static_cast<int>(lines_.size()) - 1;
    }
    Notify();
}

int EventLog::FindPrefix(int start, const std::string& prefix) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const int n = static_cast<int>(lines_.size());
    if (n == 0) return -1;
    if (start < 0 || start >= n) start = 0;
    for (int k = 0; k < n; ++k) {
        int i = (start + k) % n;
        const std::string& line = lines_[static_cast<std::size_t>(i)];
        if (line.size() >= prefix.size() && ::strncasecmp(line.c_str(), prefix.c_str(), prefix.size()) == 0)
            return i;
    }
    return -1;
}

bool EventLog::SaveTo(const std::string& path, std::string* error) const {
    std::vector<std::string> lines = Lines();
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    bool ok = fd >= 0;
    for (std::size_t i = 0; ok && i < lines.size(); ++i) {
        std::string out = lines[i] + "\r\n";
        ok = WriteAll(fd, out.data(), out.size());
    }
    int savedErrno = errno;
    if (fd >= 0 && ::close(fd) != 0 && ok) {
        ok = false;
        savedErrno = errno;
    }
    if (!ok && error) *error = std::strerror(savedErrno);
    return ok;
}

std::string EventLog::ProposedSaveName() const { return FormatTimeC("log_%Y.%m.%d-%H.%M.%S", clock_().tm); }

bool TrimLogFile(int fd, long long limitBytes) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return false;
    const long long length = st.st_size;
    constexpr long long kFourGiB = 4LL * 1024 * 1024 * 1024;
    if (length >= kFourGiB || length > limitBytes) {
        const long long keep = length / 2 - 1;
        // Destination lies before the source, so a forward chunked copy is safe.
        std::vector<char> chunk(1 << 16);
        long long done = 0;
        while (done < keep) {
            std::size_t want = static_cast<std::size_t>(std::min<long long>(keep - done, (long long)chunk.size()));
            ssize_t n = ::pread(fd, chunk.data(), want, static_cast<off_t>(length - keep + done));
            if (n <= 0) return false;
            if (::pwrite(fd, chunk.data(), static_cast<std::size_t>(n), static_cast<off_t>(done)) != n) return false;
            done += n;
        }
        if (::ftruncate(fd, static_cast<off_t>(keep)) != 0) return false;
    }
    return ::lseek(fd, 0, SEEK_END) >= 0;
}

void EventLog::OpenLogFile(const std::string& outputPath) {
    if (!settings_.logDuringRecording) return;
    int fd = -1;
    if (settings_.logFileMode == 1) {
        fd = ::open((programFolder_ + "pelmora.log").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd >= 0 && !TrimLogFile(fd, static_cast<long long>(settings_.maxLogSize) * 1024)) {
            ::lseek(fd, 0, SEEK_END);
        }
    } else {
        fd = ::open((outputPath + ".log").c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (logFd_ >= 0) ::close(logFd_);
    logFd_ = fd;
    if (fd >= 0) {
        std::string date = FormatTimeC("%A, %B %d, %Y\r\n\r\n", clock_().tm);
        WriteAll(fd, date.data(), date.size());
    }
}

void EventLog::CloseLogFile() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!settings_.logDuringRecording || logFd_ < 0) return;
    WriteAll(logFd_, "\r\n", 2);
    ::close(logFd_);
    logFd_ = -1;
}

bool EventLog::LogFileOpen() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return logFd_ >= 0;
}

}  // namespace pelmora
