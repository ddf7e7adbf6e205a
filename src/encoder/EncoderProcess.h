// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One encoder process per MP3 recording: started with its standard input on a pipe,
// fed by the writer thread, ended by letting it see the end of its input.

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include "encoder/EncoderConsole.h"
#include "recording/LogSink.h"
#include "settings/RecSettings.h"

namespace pelmora {

/// How the last encoder ended.
enum class EncoderEnd {
    None,        // no encoder was running
    Exited,      // it ended by itself (normally after the end of its input)
    Terminated,  // it outlived the bound and ended on SIGTERM
    Killed,      // it ignored SIGTERM too and was killed
};

class EncoderProcess {
public:
    static constexpr std::chrono::milliseconds kDefaultExitBound{10000};

    /// `programFolder` ends in "/": the encoder's current folder. `encoderFolders` are searched
    /// for the encoder before PATH; without them, the program folder is.
    explicit EncoderProcess(std::string programFolder, std::vector<std::string> encoderFolders = {});
    /// Finishes a running encoder, so none outlives the program's object.
    ~EncoderProcess();

    EncoderProcess(const EncoderProcess&) = delete;
    EncoderProcess& operator=(const EncoderProcess&) = delete;

    // For the main thread only:

    /// Locates the encoder (rewriting settings.encoderPath with the path used, or empty when
    /// none is found), and runs it as: path, the words of `encoderArgs`, "-", `outputPath`,
    /// at encoderPriorityClass and encoderThreadPriority from its start.
    /// False after logging the reason. A still running encoder is finished first.
    bool Start(const std::string& outputPath, const std::string& encoderArgs, RecSettings& settings, LogSink& log);

    /// Closes the program's write end so the encoder sees the end of its input and completes
    /// its file; waits up to `exitBound` for it, then SIGTERM (and after as long again, at most
    /// 2 s, SIGKILL). The process is always reaped. Call only after the writer has stopped.
    EncoderEnd Finish(std::chrono::milliseconds exitBound = kDefaultExitBound);

    /// True while the encoder runs; reaps it once it has ended.
    bool IsRunning();
    /// The encoder's process id; 0 when none was started or it has been finished.
    pid_t Pid() const { return pid_; }
    /// waitpid status of the last encoder that ended.
    int WaitStatus() const { return waitStatus_; }

    /// The encoder's standard output and error, read while it runs: its newest lines, and
    /// with showEncoderConsole ("Show lame console") the text for a console window.
    EncoderConsole& Console() { return console_; }
    const EncoderConsole& Console() const { return console_; }
    /// The encoder file used by the last Start.
    const std::string& Path() const { return path_; }

    /// PATH value searched after the program's folder; by default the environment's PATH.
    void SetSearchPath(std::string searchPath);

    /// The pipe's write end for the writer thread, between Start and Finish; -1 when no
    /// encoder runs. A write after the encoder has gone fails with EPIPE.
    int WriteEnd() const { return writeFd_.load(); }

private:
    bool WaitForExit(std::chrono::milliseconds bound);
    bool Reap(int flags);

    std::string programFolder_;
    std::vector<std::string> encoderFolders_;
    std::string searchPath_;
    bool searchPathSet_ = false;
    std::string path_;
    EncoderConsole console_;
    std::atomic<int> writeFd_{-1};
    pid_t pid_ = 0;
    int pidFd_ = -1;
    bool reaped_ = false;
    int waitStatus_ = 0;
};

}  // namespace pelmora
