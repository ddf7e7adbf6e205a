// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A private PipeWire stack for tests: a session bus, pipewire, wireplumber and the pulse
// service, in a temporary HOME with its own runtime, configuration and state folders, and a
// null sink "tone". Started and stopped by the test program; nothing is left running.

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/PrivatePulse.h"

namespace pelmora::test {

class PrivatePipeWire {
public:
    static bool Installed() {
        return CommandSucceeds("(command -v pipewire && command -v wireplumber && command -v pipewire-pulse && "
                               "command -v dbus-daemon)");
    }

    bool Start() {
        char pattern[] = "/tmp/pelmora-pipewire-XXXXXX";
        if (!::mkdtemp(pattern)) return false;
        dir_ = pattern;
        for (const char* sub : {"/run", "/home", "/config", "/state"}) std::filesystem::create_directories(dir_ + sub);
        ::chmod((dir_ + "/run").c_str(), 0700);
        ::setenv("XDG_RUNTIME_DIR", (dir_ + "/run").c_str(), 1);
        ::setenv("HOME", (dir_ + "/home").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (dir_ + "/config").c_str(), 1);
        ::setenv("XDG_STATE_HOME", (dir_ + "/state").c_str(), 1);
        for (const char* name : {"PULSE_SERVER", "PULSE_RUNTIME_PATH", "PULSE_STATE_PATH"}) ::unsetenv(name);
        const std::string bus = "unix:path=" + dir_ + "/run/bus";
        ::setenv("DBUS_SESSION_BUS_ADDRESS", bus.c_str(), 1);
        if (!Spawn({"dbus-daemon", "--session", "--nofork", "--address=" + bus})) return false;
        if (!WaitUntil([&] { return std::filesystem::exists(dir_ + "/run/bus"); })) return false;
        if (!Spawn({"pipewire"})) return false;
        if (!WaitUntil([&] { return std::filesystem::exists(dir_ + "/run/pipewire-0"); })) return false;
        if (!Spawn({"wireplumber"}) || !StartPulseService()) return false;
        return CommandSucceeds("pactl load-module module-null-sink sink_name=tone");
    }

    /// The pulse service alone, as the server clients talk to.
    bool StartPulseService() {
        if (!Spawn({"pipewire-pulse"})) return false;
        pulsePid_ = pids_.back();
        return WaitUntil([] { return CommandSucceeds("pactl info"); });
    }
    void KillPulseService() {
        if (pulsePid_ <= 0) return;
        ::kill(pulsePid_, SIGKILL);
        ::waitpid(pulsePid_, nullptr, 0);
        pids_.erase(std::remove(pids_.begin(), pids_.end(), pulsePid_), pids_.end());
        pulsePid_ = 0;
    }

    void Stop() {
        for (auto it = pids_.rbegin(); it != pids_.rend(); ++it) {
            ::kill(*it, SIGTERM);
            ::waitpid(*it, nullptr, 0);
        }
        pids_.clear();
        if (!dir_.empty()) std::filesystem::remove_all(dir_);
    }

private:
    bool Spawn(std::vector<std::string> args) {
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        const pid_t parent = ::getpid();
        const pid_t pid = ::fork();
        if (pid < 0) return false;
        if (pid == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            if (::getppid() != parent) ::_exit(1);
            const int null = ::open("/dev/null", O_RDWR);
            for (int fd = 0; fd < 3; ++fd) ::dup2(null, fd);
            ::execvp(argv[0], argv.data());
            ::_exit(127);
        }
        pids_.push_back(pid);
        return true;
    }

    std::string dir_;
    std::vector<pid_t> pids_;
    pid_t pulsePid_ = 0;
};

}  // namespace pelmora::test
