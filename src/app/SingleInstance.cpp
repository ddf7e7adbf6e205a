// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>

namespace pelmora {

std::string SingleInstance::DefaultLockPath() {
    const char* dir = std::getenv("XDG_RUNTIME_DIR");
    std::string folder = dir && *dir ? dir : "/tmp";
    if (folder.back() != '/') folder += '/';
    return folder + "pelmoraisrunning";
}

SingleInstance::SingleInstance(std::string lockPath) : path_(std::move(lockPath)) {}

SingleInstance::~SingleInstance() { Release(); }

bool SingleInstance::Acquire(int waitMs) {
    if (fd_ >= 0) return true;
    // Close-on-exec: a child process (the encoder) must never keep the lock alive.
    int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return true;  // no guard possible; run anyway
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            fd_ = fd;
            return true;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            ::close(fd);
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            ::close(fd);
            return false;
        }
        // flock has no timed form; poll the lock in short steps for the bounded wait.
        struct timespec step {0, 5 * 1000 * 1000};
        ::nanosleep(&step, nullptr);
    }
}

void SingleInstance::Release() {
    if (fd_ < 0) return;
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
    fd_ = -1;
}

}  // namespace pelmora
