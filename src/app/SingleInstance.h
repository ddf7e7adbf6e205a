// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The single-instance guard: an exclusive flock() on "pelmoraisrunning" in the runtime folder.

#include <string>

namespace pelmora {

class SingleInstance {
public:
    /// Lock file path: $XDG_RUNTIME_DIR/pelmoraisrunning, else /tmp/pelmoraisrunning.
    static std::string DefaultLockPath();

    explicit SingleInstance(std::string lockPath = DefaultLockPath());
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    /// Tries for at most `waitMs` to become the one running copy. True when this process
    /// owns the lock, or when the lock file cannot be made at all (then there is no guard).
    bool Acquire(int waitMs = 100);
    void Release();
    bool Owned() const { return fd_ >= 0; }

private:
    std::string path_;
    int fd_ = -1;
};

}  // namespace pelmora
