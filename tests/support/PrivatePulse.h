// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A private PulseAudio server for tests of the real ALSA layers: a temporary HOME whose
// .asoundrc routes ALSA's "default" PCM and control device to it, and a null sink "tone"
// whose monitor is the default source. Started once per test program; stopped at its end.

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace pelmora::test {

/// Runs a command line and returns its standard output ("" on failure).
inline std::string CommandOutput(const std::string& command) {
    std::string out;
    FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r");
    if (!pipe) return out;
    char buffer[512];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    ::pclose(pipe);
    return out;
}

inline bool CommandSucceeds(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

/// Waits for a condition on an outside process (the sound server), up to `seconds`.
template <typename Condition>
bool WaitUntil(Condition condition, int seconds = 10) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

class PrivatePulse {
public:
    bool Start() {
        char pattern[] = "/tmp/pelmora-pulse-XXXXXX";
        if (!::mkdtemp(pattern)) return false;
        dir_ = pattern;
        const std::string home = dir_ + "/home", run = dir_ + "/run";
        std::filesystem::create_directories(home);
        std::filesystem::create_directories(run);
        ::chmod(run.c_str(), 0700);
        ::setenv("HOME", home.c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", run.c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
        ::setenv("PULSE_RUNTIME_PATH", (run + "/pulse").c_str(), 1);
        ::setenv("PULSE_STATE_PATH", (dir_ + "/pulse-state").c_str(), 1);
        ::unsetenv("PULSE_SERVER");
        std::ofstream(home + "/.asoundrc") << "pcm.!default { type pulse }\nctl.!default { type pulse }\n";
        std::ofstream(dir_ + "/pulse.pa") << "load-module module-native-protocol-unix\n"
                                             "load-module module-null-sink sink_name=tone rate=44100 channels=2\n"
                                             "set-default-sink tone\nset-default-source tone.monitor\n";
        return Launch();
    }

    /// The server dies at once (SIGKILL), as a crashed sound server does; its folder stays.
    void Kill() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = 0;
    }

    /// Starts the server again after Kill, with the same folders and configuration.
    bool Restart() {
        if (pid_ > 0 || dir_.empty()) return false;
        return Launch();
    }

    pid_t Pid() const { return pid_; }

    void Stop() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
            pid_ = 0;
        }
        if (!dir_.empty()) std::filesystem::remove_all(dir_);
    }

    /// "L R" of the default source's volume as pactl reports it.
    static std::pair<long, long> SourceVolume() {
        const std::string out = CommandOutput("pactl get-source-volume tone.monitor");
        long left = -1, right = -1;
        const std::size_t l = out.find("front-left:"), r = out.find("front-right:");
        if (l != std::string::npos) left = std::strtol(out.c_str() + l + 11, nullptr, 10);
        if (r != std::string::npos) right = std::strtol(out.c_str() + r + 12, nullptr, 10);
        return {left, right};
    }
    static bool SetSourceVolume(long left, long right) {
        return CommandSucceeds("pactl set-source-volume tone.monitor " + std::to_string(left) + " " +
                               std::to_string(right));
    }
    static bool SourceMuted() {
        return CommandOutput("pactl get-source-mute tone.monitor").find("yes") != std::string::npos;
    }
    static bool SetSourceMuted(bool muted) {
        return CommandSucceeds(std::string("pactl set-source-mute tone.monitor ") + (muted ? "1" : "0"));
    }

private:
    bool Launch() {
        const std::string script = dir_ + "/pulse.pa", log = dir_ + "/pulse.log";
        std::vector<std::string> args = {"pulseaudio", "-n", "-F", script, "--daemonize=no", "--exit-idle-time=-1",
                                         "--disallow-exit=yes", "--use-pid-file=no", "--log-target=file:" + log};
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        const pid_t parent = ::getpid();
        pid_ = ::fork();
        if (pid_ < 0) {
            pid_ = 0;
            return false;
        }
        if (pid_ == 0) {
            // The server ends with the test program, however that ends, and holds none of
            // its output pipes.
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            if (::getppid() != parent) ::_exit(1);
            const int null = ::open("/dev/null", O_RDWR);
            for (int fd = 0; fd < 3; ++fd) ::dup2(null, fd);
            ::execvp("pulseaudio", argv.data());
            ::_exit(127);
        }
        if (WaitUntil([] { return CommandSucceeds("pactl info"); })) return true;
        std::cerr << "pulseaudio did not start\n";
        if (std::ifstream in(log); in && in.peek() != std::ifstream::traits_type::eof()) std::cerr << in.rdbuf();
        return false;
    }

    std::string dir_;
    pid_t pid_ = 0;
};

/// Open file descriptors of this process.
inline int OpenDescriptors() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++count;
    return count;
}

/// One private server for a whole test program, started before its first test:
/// `::testing::AddGlobalTestEnvironment(new test::PulseEnvironment)`.
inline PrivatePulse* g_pulse = nullptr;
inline bool g_pulseRunning = false;

class PulseEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        g_pulse = new PrivatePulse;
        g_pulseRunning = g_pulse->Start();
    }
    void TearDown() override {
        g_pulse->Stop();
        delete g_pulse;
        g_pulse = nullptr;
    }
};

}  // namespace pelmora::test

// Under ThreadSanitizer: the sound server's client library runs its own threads, which the
// sanitizer cannot see into. Defined here, so include this header in one file per program.
extern "C" const char* __tsan_default_suppressions() {
    return "called_from_lib:libpulse.so.0\n"
           "called_from_lib:libpulsecommon-16.1.so\n"
           "called_from_lib:libasound_module_ctl_pulse.so\n"
           "called_from_lib:libasound_module_pcm_pulse.so\n"
           "race:libpulsecommon\n"
           "race:libpulse.so\n";
}
