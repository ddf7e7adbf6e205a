// SPDX-License-Identifier: GPL-3.0-or-later
#include "encoder/EncoderConsole.h"
#include "capture/ThreadRoles.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace pelmora {

namespace {
void CloseFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}
}  // namespace

EncoderConsole::~EncoderConsole() { End(std::chrono::milliseconds(0)); }

bool EncoderConsole::Begin(int fd, bool forward) {
    End(std::chrono::milliseconds(0));
    if (::pipe2(wake_, O_CLOEXEC) != 0) {
        const int saved = errno;
        ::close(fd);
        errno = saved;
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        tail_.Clear();
        pending_.clear();
        forward_ = forward;
        ended_ = false;
    }
    notified_.store(false);
    fd_ = fd;
    try {
        // It keeps the encoder from waiting on its output: the encoder's level.
        thread_ = ThreadRoles::Instance().StartThread(ThreadRole::Encoder, "pelmora-lameout",
                                                      [this, fd, wakeFd = wake_[0]] { Run(fd, wakeFd); });
    } catch (const std::system_error& e) {
        CloseFd(fd_);
        CloseFd(wake_[0]);
        CloseFd(wake_[1]);
        std::lock_guard<std::mutex> lock(mutex_);
        ended_ = true;
        errno = e.code().value();
        return false;
    }
    return true;
}

void EncoderConsole::End(std::chrono::milliseconds bound) {
    if (!thread_.joinable()) return;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        endedChanged_.wait_for(lock, bound, [this] { return ended_; });
    }
    // An output that never ends (a copy of the write end lives on elsewhere) is let go.
    const char stop = 1;
    (void)!::write(wake_[1], &stop, 1);
    thread_.join();
    CloseFd(fd_);
    CloseFd(wake_[0]);
    CloseFd(wake_[1]);
}

void EncoderConsole::Run(int fd, int wakeFd) {
    char buffer[4096];
    for (;;) {
        pollfd p[2] = {{fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
        if (::poll(p, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (p[0].revents != 0) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0) {
                Received(buffer, static_cast<std::size_t>(n));
            } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
                break;  // the end of the output
            }
        }
        if (p[1].revents != 0) break;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    ended_ = true;
    endedChanged_.notify_all();
}

void EncoderConsole::Received(const char* data, std::size_t size) {
    std::function<void()> notify;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        tail_.Append(data, size);
        if (!forward_) return;
        pending_.append(data, size);
        if (pending_.size() > kPendingLimit) {
            // Nobody takes the text (the window was closed): keep only the newest, from a line start.
            std::size_t cut = pending_.size() - kPendingLimit;
            const std::size_t newline = pending_.find('\n', cut);
            cut = newline == std::string::npos ? cut : newline + 1;
            pending_.erase(0, cut);
        }
        if (!notified_.exchange(true)) notify = notifier_;
    }
    if (notify) notify();
}

std::vector<std::string> EncoderConsole::Tail() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return tail_.Lines();
}

bool EncoderConsole::Forwarding() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return forward_;
}

std::string EncoderConsole::TakePending() {
    notified_.store(false);
    std::lock_guard<std::mutex> lock(mutex_);
    std::string text;
    text.swap(pending_);
    return text;
}

void EncoderConsole::SetNotifier(std::function<void()> notifier) {
    std::lock_guard<std::mutex> lock(mutex_);
    notifier_ = std::move(notifier);
}

}  // namespace pelmora
