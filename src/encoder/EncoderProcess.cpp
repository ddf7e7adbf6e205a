// SPDX-License-Identifier: GPL-3.0-or-later
#include "encoder/EncoderProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "capture/RealTimeBound.h"
#include "capture/ThreadRoles.h"
#include "encoder/EncoderLocation.h"
#include "encoder/EncoderWords.h"

extern char** environ;

namespace pelmora {

namespace {

using Clock = std::chrono::steady_clock;

void LogErrno(LogSink& log, int code) {
    log.AddLogLine(std::string("ERROR:   ") + std::strerror(code));
}

void CloseFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

// dup2 onto 0..2 only clears close-on-exec when source and target differ, so sources
// must lie above the standard descriptors (they can land there if one of those is closed).
int AboveStandardFds(int fd) {
    if (fd < 0 || fd > 2) return fd;
    int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    int saved = errno;
    ::close(fd);
    errno = saved;
    return moved;
}

// How long the output may go on after the encoder has ended (a child of its own holding it).
constexpr std::chrono::milliseconds kOutputEndBound{1000};

int OpenPidFd(pid_t pid) {
#ifdef SYS_pidfd_open
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    return -1;
#endif
}

// Spawn settings that must not leak from the program into the encoder.
struct SpawnSetup {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    SpawnSetup() {
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attr);
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attr);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
};

}  // namespace

EncoderProcess::EncoderProcess(std::string programFolder, std::vector<std::string> encoderFolders)
    : programFolder_(std::move(programFolder)), encoderFolders_(std::move(encoderFolders)) {
    if (encoderFolders_.empty()) encoderFolders_.push_back(programFolder_);
}

EncoderProcess::~EncoderProcess() { Finish(); }

void EncoderProcess::SetSearchPath(std::string searchPath) {
    searchPath_ = std::move(searchPath);
    searchPathSet_ = true;
}

bool EncoderProcess::Start(const std::string& outputPath, const std::string& encoderArgs, RecSettings& settings,
                           LogSink& log) {
    if (pid_ > 0) Finish();

    const char* envPath = std::getenv("PATH");
    const std::string searchPath = searchPathSet_ ? searchPath_ : (envPath != nullptr ? envPath : "");
    const std::string path = LocateEncoder(TextField(settings.encoderPath), encoderFolders_, searchPath, log);
    SetTextField(settings.encoderPath, path);
    if (path.empty()) return false;
    path_ = path;

    // A dead encoder must show as a failed write (EPIPE), not end the program.
    static std::once_flag sigpipeOnce;
    std::call_once(sigpipeOnce, [] { ::signal(SIGPIPE, SIG_IGN); });

    // Both ends close-on-exec: the encoder gets only the read end, as its standard input,
    // so closing our write end is an end of input it sees.
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        LogErrno(log, errno);
        return false;
    }
    int readFd = AboveStandardFds(fds[0]);
    int writeFd = fds[1];
    // Standard output and error go to a second pipe that the console reader drains, so the
    // encoder never blocks on them and nothing is left behind in a file.
    int outFds[2] = {-1, -1};
    int outFd = -1;
    int consoleFd = -1;
    if (readFd >= 0 && ::pipe2(outFds, O_CLOEXEC) == 0) {
        consoleFd = outFds[0];
        outFd = AboveStandardFds(outFds[1]);
    }
    if (readFd < 0 || outFd < 0) {
        LogErrno(log, errno);
        CloseFd(readFd);
        CloseFd(writeFd);
        CloseFd(outFd);
        CloseFd(consoleFd);
        return false;
    }

    std::vector<std::string> words = SplitEncoderWords(encoderArgs);
    words.insert(words.begin(), path);
    words.emplace_back("-");
    // A name starting with "-" would read as an option; "./" keeps it the same file.
    words.push_back(!outputPath.empty() && outputPath[0] == '-' ? "./" + outputPath : outputPath);
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);

    SpawnSetup setup;
    posix_spawn_file_actions_adddup2(&setup.actions, readFd, 0);
    posix_spawn_file_actions_adddup2(&setup.actions, outFd, 1);
    posix_spawn_file_actions_adddup2(&setup.actions, outFd, 2);
    if (!programFolder_.empty()) posix_spawn_file_actions_addchdir_np(&setup.actions, programFolder_.c_str());
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    // Descriptors other code opened without close-on-exec stay out of the encoder too.
    posix_spawn_file_actions_addclosefrom_np(&setup.actions, 3);
#endif
    // The encoder starts with default signal handling and nothing blocked.
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigmask(&setup.attr, &none);
    posix_spawnattr_setsigdefault(&setup.attr, &defaults);
    posix_spawnattr_setflags(&setup.attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    // The encoder inherits its class and level from the thread that starts it.
    ThreadRoles& roles = ThreadRoles::Instance();
    PriorityPlan plan = roles.Plan();
    plan.encoderClass = settings.encoderPriorityClass;
    plan.encoderLevel = settings.encoderThreadPriority;
    roles.SetPlan(plan);
    pid_t pid = 0;
    int rc = 0;
    const ScheduleOutcome schedule = roles.RunAs(ThreadRole::Encoder, [&] {
        rc = ::posix_spawn(&pid, path.c_str(), &setup.actions, &setup.attr, argv.data(), environ);
    });
    if (rc == 0 && (schedule.got.policy == SCHED_FIFO || schedule.got.policy == SCHED_RR)) {
        // Real-time: what the encoder starts must not inherit it, and the bound on real-time
        // threads here would end it with SIGXCPU.
        SetThreadSchedule(pid, schedule.got);
        LiftRealTimeBound(pid);
    }
    CloseFd(readFd);
    CloseFd(outFd);
    if (rc != 0) {
        LogErrno(log, rc);
        CloseFd(writeFd);
        CloseFd(consoleFd);
        return false;
    }
    if (!console_.Begin(consoleFd, settings.showEncoderConsole != 0)) {
        // Without a reader the encoder would stop once its output pipe is full.
        const int saved = errno;
        CloseFd(writeFd);
        ::kill(pid, SIGKILL);
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        LogErrno(log, saved);
        return false;
    }

    pid_ = pid;
    reaped_ = false;
    waitStatus_ = 0;
    pidFd_ = OpenPidFd(pid);
    writeFd_.store(writeFd);
    return true;
}

bool EncoderProcess::Reap(int flags) {
    if (reaped_) return true;
    int status = 0;
    pid_t r;
    do {
        r = ::waitpid(pid_, &status, flags);
    } while (r < 0 && errno == EINTR);
    if (r == pid_ || (r < 0 && errno == ECHILD)) {
        // ECHILD: someone else reaped it; either way it is gone.
        reaped_ = true;
        waitStatus_ = r == pid_ ? status : 0;
    }
    return reaped_;
}

bool EncoderProcess::IsRunning() {
    return pid_ > 0 && !Reap(WNOHANG);
}

bool EncoderProcess::WaitForExit(std::chrono::milliseconds bound) {
    const Clock::time_point deadline = Clock::now() + bound;
    while (!Reap(WNOHANG)) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return false;
        if (pidFd_ >= 0) {
            // The pid descriptor becomes readable when the process ends.
            pollfd p{pidFd_, POLLIN, 0};
            ::poll(&p, 1, static_cast<int>(left.count()) + 1);
        } else {
            std::this_thread::sleep_for(std::min(left, std::chrono::milliseconds(5)));
        }
    }
    return true;
}

EncoderEnd EncoderProcess::Finish(std::chrono::milliseconds exitBound) {
    int fd = writeFd_.exchange(-1);
    CloseFd(fd);
    if (pid_ <= 0) return EncoderEnd::None;

    EncoderEnd end = EncoderEnd::Exited;
    if (!WaitForExit(exitBound)) {
        ::kill(pid_, SIGTERM);
        end = EncoderEnd::Terminated;
        if (!WaitForExit(std::min(exitBound, std::chrono::milliseconds(2000)))) {
            ::kill(pid_, SIGKILL);
            end = EncoderEnd::Killed;
            Reap(0);
        }
    }
    CloseFd(pidFd_);
    pid_ = 0;
    console_.End(kOutputEndBound);
    return end;
}

}  // namespace pelmora
