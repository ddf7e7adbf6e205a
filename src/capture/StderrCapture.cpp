// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/StderrCapture.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>

namespace pelmora {

namespace {

std::recursive_mutex& CaptureMutex() {
    static std::recursive_mutex mutex;
    return mutex;
}

constexpr std::size_t kMaxBytes = 64 * 1024;

}  // namespace

StderrCapture::StderrCapture() : lock_(CaptureMutex()) {
    std::fflush(stderr);
    // A closed standard error reaches no terminal: nothing to do.
    saved_ = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    if (saved_ < 0) return;
    file_ = ::memfd_create("pelmora-stderr", MFD_CLOEXEC);
    if (file_ < 0) file_ = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (file_ < 0 || ::dup2(file_, STDERR_FILENO) < 0) {
        if (file_ >= 0) ::close(file_);
        ::close(saved_);
        saved_ = file_ = -1;
    }
}

StderrCapture::~StderrCapture() {
    Finish();
}

std::vector<std::string> StderrCapture::Finish() {
    std::vector<std::string> lines;
    if (saved_ < 0) return lines;
    std::fflush(stderr);
    ::dup2(saved_, STDERR_FILENO);
    ::close(saved_);
    saved_ = -1;

    std::string text(kMaxBytes, '\0');
    std::size_t got = 0;
    while (got < text.size()) {
        const ssize_t n = ::pread(file_, &text[got], text.size() - got, static_cast<off_t>(got));
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    ::close(file_);
    file_ = -1;
    text.resize(got);

    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        if (line.find_first_not_of(" \t\r") != std::string::npos) lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

}  // namespace pelmora
