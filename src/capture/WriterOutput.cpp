// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/WriterOutput.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "capture/WavHeader.h"
#include "settings/FileIo.h"

namespace pelmora {

WriterOutput::~WriterOutput() {
    int error = 0;
    Finish(&error);
}

bool WriterOutput::OpenFile(const std::string& path, OutputKind kind, const WaveFormat& format, int* error) {
    int local = 0;
    if (!error) error = &local;
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        *error = errno;
        return false;
    }
    uint64_t length = 0;
    if (kind == OutputKind::WavFile) {
        if (!WriteWavHeader(fd, format, error)) {
            ::close(fd);
            return false;
        }
        length = kWavHeaderBytes;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    kind_ = kind;
    fd_ = fd;
    length_ = length;
    refreshedAt_ = length;
    refreshInterval_ = format.avgBytesPerSec > 0 ? format.avgBytesPerSec : 1;
    return true;
}

void WriterOutput::AttachPipe(int fd) {
    std::lock_guard<std::mutex> lock(mutex_);
    kind_ = OutputKind::EncoderPipe;
    fd_ = fd;
    length_ = 0;
}

bool WriterOutput::Finish(int* error) {
    std::lock_guard<std::mutex> lock(mutex_);
    bool ok = true;
    const OutputKind kind = kind_.load();
    if (kind == OutputKind::WavFile || kind == OutputKind::RawFile) {
        if (kind == OutputKind::WavFile && !CompleteWavHeader(fd_, error)) ok = false;
        if (::fsync(fd_) != 0 && errno != EINVAL && ok) {
            if (error) *error = errno;
            ok = false;
        }
        if (::close(fd_) != 0 && ok) {
            if (error) *error = errno;
            ok = false;
        }
    }
    kind_ = OutputKind::None;
    fd_ = -1;
    length_ = 0;
    return ok;
}

OutputKind WriterOutput::Kind() const { return kind_.load(); }

WriteOutcome WriterOutput::Write(const uint8_t* data, std::size_t size, int* error) {
    int local = 0;
    if (!error) error = &local;
    std::lock_guard<std::mutex> lock(mutex_);
    const OutputKind kind = kind_.load();
    if (kind == OutputKind::None || fd_ < 0) return WriteOutcome::Dropped;

    std::size_t done = 0;
    if (!WriteAll(fd_, data, size, &done, error)) {
        // A part-written block would leave the samples out of frame: take it back.
        if (done > 0 && kind != OutputKind::EncoderPipe) {
            (void)!::ftruncate(fd_, static_cast<off_t>(length_));
            ::lseek(fd_, static_cast<off_t>(length_), SEEK_SET);
        }
        return WriteOutcome::Failed;
    }
    if (kind == OutputKind::EncoderPipe) return WriteOutcome::Written;

    length_ += size;
    if (kind == OutputKind::WavFile && length_ - refreshedAt_ >= refreshInterval_) {
        int ignored = 0;
        // Best effort: the block itself is written; the final completion reports failures.
        if (WriteWavSizes(fd_, length_, &ignored)) refreshedAt_ = length_;
    }
    return WriteOutcome::Written;
}

}  // namespace pelmora
