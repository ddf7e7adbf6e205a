// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ProgramFolder.h"

#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <vector>

extern char** environ;

namespace pelmora {

namespace {

std::string WithSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder;
}

bool IsAbsolute(const std::string& path) { return !path.empty() && path[0] == '/'; }

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Like mkdir -p; new folders are private to the user. Empty on success, else the reason.
std::string MakeFolders(const std::string& folder) {
    for (std::size_t slash = folder.find('/', 1); slash != std::string::npos; slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return std::strerror(errno);
    }
    return IsFolder(folder) ? std::string() : std::strerror(ENOTDIR);
}

std::string TrimLineEnds(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

// The first executable `name` in an absolute PATH entry; empty when there is none.
std::string FindOnPath(const char* name) {
    const char* env = std::getenv("PATH");
    const std::string path = env ? env : "";
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(':', start);
        if (end == std::string::npos) end = path.size();
        const std::string dir = path.substr(start, end - start);
        if (IsAbsolute(dir)) {
            const std::string candidate = WithSlash(dir) + name;
            if (::access(candidate.c_str(), X_OK) == 0) return candidate;
        }
        start = end + 1;
    }
    return std::string();
}

// Runs `xdg-user-dir MUSIC` and returns its first line; empty when it cannot be run or
// says nothing within two seconds.
std::string RunXdgUserDir() {
    const std::string tool = FindOnPath("xdg-user-dir");
    if (tool.empty()) return std::string();
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return std::string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const char* argv[] = {tool.c_str(), "MUSIC", nullptr};
    pid_t pid = 0;
    const int spawned =
        posix_spawn(&pid, tool.c_str(), &actions, nullptr, const_cast<char* const*>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (spawned != 0) {
        ::close(fds[0]);
        return std::string();
    }

    std::string out;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    bool giveUp = false;  // the tool hangs or its pipe fails: it is killed
    for (;;) {
        using std::chrono::milliseconds;
        const auto left = std::chrono::duration_cast<milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            giveUp = true;
            break;
        }
        pollfd p{fds[0], POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) {
            giveUp = true;
            break;
        }
        char buf[512];
        const ssize_t n = ::read(fds[0], buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) giveUp = true;
        if (n <= 0) break;
        out.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fds[0]);
    if (giveUp) ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (giveUp || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::string();
    const std::size_t newline = out.find('\n');
    return TrimLineEnds(newline == std::string::npos ? out : out.substr(0, newline));
}

std::string MusicFolder(const PathEnvironment& env, const std::string& home) {
    if (env.userMusicDir) {
        const std::string named = env.userMusicDir();
        if (IsAbsolute(named)) return WithSlash(named);
    }
    if (IsAbsolute(env.xdgMusicDir)) return WithSlash(env.xdgMusicDir);
    return home;
}

}  // namespace

ProgramPaths ProgramPaths::InFolder(const std::string& folder) {
    ProgramPaths p;
    p.executableFolder = p.programFolder = p.outputFolder = folder;
    return p;
}

std::vector<std::string> ProgramPaths::EncoderFolders() const {
    std::vector<std::string> folders;
    if (!executableFolder.empty()) folders.push_back(executableFolder);
    if (!programFolder.empty() && programFolder != executableFolder) folders.push_back(programFolder);
    return folders;
}

PathEnvironment PathEnvironment::FromProcess() {
    PathEnvironment env;
    std::vector<char> buf(PATH_MAX + 1);
    const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    if (n > 0) env.executablePath.assign(buf.data(), static_cast<std::size_t>(n));
    auto get = [](const char* name) {
        const char* value = std::getenv(name);
        return std::string(value ? value : "");
    };
    env.home = get("HOME");
    if (env.home.empty()) {
        if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) env.home = pw->pw_dir;
    }
    env.xdgConfigHome = get("XDG_CONFIG_HOME");
    env.xdgMusicDir = get("XDG_MUSIC_DIR");
    env.userMusicDir = RunXdgUserDir;
    return env;
}

ProgramPaths DecideProgramPaths(const PathEnvironment& env) {
    std::string exeFolder = FolderOf(env.executablePath);
    if (exeFolder.empty()) exeFolder = "./";
    const bool installed = IsFolder(exeFolder + "../share/pelmora");
    const bool writable =
        env.mayWrite ? env.mayWrite(exeFolder) : ::access(exeFolder.c_str(), W_OK | X_OK) == 0;

    ProgramPaths p = ProgramPaths::InFolder(exeFolder);
    p.dataFolder = DataFolderFor(exeFolder);
    if (writable && !installed) return p;

    // Installed, or in a folder the user may not write: the user's own folders.
    const std::string home = WithSlash(IsAbsolute(env.home) ? env.home : "/");
    const std::string configHome = IsAbsolute(env.xdgConfigHome) ? WithSlash(env.xdgConfigHome) : home + ".config/";
    p.perUser = true;
    p.programFolder = configHome + "pelmora/";
    p.outputFolder = MusicFolder(env, home);
    const std::string reason = MakeFolders(p.programFolder);
    if (!reason.empty()) p.problem = "Can not create directory " + p.programFolder + ": " + reason;
    return p;
}

const ProgramPaths& CurrentProgramPaths() {
    static const ProgramPaths paths = DecideProgramPaths(PathEnvironment::FromProcess());
    return paths;
}

std::string ProgramFolder() { return CurrentProgramPaths().programFolder; }

std::string ExecutableFolder() {
    std::vector<char> buf(PATH_MAX + 1);
    const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    if (n <= 0) return "./";
    const std::string folder = FolderOf(std::string(buf.data(), static_cast<std::size_t>(n)));
    return folder.empty() ? "./" : folder;
}

std::string DataFolderFor(const std::string& executableFolder) {
    for (const char* relative : {"../share/pelmora/", "share/pelmora/"}) {
        const std::string folder = executableFolder + relative;
        if (IsFolder(folder)) return folder;
    }
    return std::string();
}

std::string FolderOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace pelmora
