// SPDX-License-Identifier: GPL-3.0-or-later
#include "recording/ProcessEncoder.h"

#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace pelmora {

namespace {

bool MentionsError(const std::string& line) {
    std::string lower(line);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower.find("error") != std::string::npos;
}

bool Blank(const std::string& line) {
    return std::all_of(line.begin(), line.end(), [](unsigned char c) { return std::isspace(c) != 0; });
}

std::string BaseName(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return name.empty() ? std::string("Encoder") : name;
}

std::string EndText(const std::string& name, EncoderEnd end, int status) {
    if (end == EncoderEnd::Terminated) return name + " did not end after its input and was terminated (SIGTERM)";
    if (end == EncoderEnd::Killed) return name + " did not end after its input and was killed (SIGKILL)";
    if (WIFSIGNALED(status)) {
        const int sig = WTERMSIG(status);
        const char* text = ::strsignal(sig);
        return name + " ended on signal " + std::to_string(sig) + (text ? std::string(" (") + text + ")" : "");
    }
    if (WIFEXITED(status)) return name + " ended with exit status " + std::to_string(WEXITSTATUS(status));
    return name + " ended";
}

}  // namespace

std::vector<std::string> FailureLines(const std::vector<std::string>& tail) {
    std::vector<std::string> lines;
    for (const std::string& line : tail)
        if (!Blank(line)) lines.push_back(line.substr(0, line.find_last_not_of(" \t") + 1));
    std::vector<std::string> errors;
    for (const std::string& line : lines)
        if (MentionsError(line)) errors.push_back(line);
    std::vector<std::string>& chosen = errors.empty() ? lines : errors;
    const std::size_t keep = errors.empty() ? 3 : 5;
    if (chosen.size() > keep) chosen.erase(chosen.begin(), chosen.end() - static_cast<std::ptrdiff_t>(keep));
    return chosen;
}

ProcessEncoder::ProcessEncoder(EncoderProcess& process, RecSettings& settings, LogSink& log,
                               std::function<std::string()> encoderArgs)
    : process_(process), settings_(settings), log_(log), encoderArgs_(std::move(encoderArgs)) {}

bool ProcessEncoder::Start(const std::string& outputPath, int* writeFd) {
    if (!process_.Start(outputPath, encoderArgs_ ? encoderArgs_() : std::string(), settings_, log_)) return false;
    *writeFd = process_.WriteEnd();
    return true;
}

void ProcessEncoder::Stop(bool inputFailed, const std::function<int()>& cause) {
    const EncoderEnd end = process_.Finish(exitBound_);
    if (end == EncoderEnd::None) return;
    const int status = process_.WaitStatus();
    const bool clean = end == EncoderEnd::Exited && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (clean && !inputFailed) return;
    // Asked only now that the encoder has ended: its last writes count.
    if (const int code = cause ? cause() : 0) log_.AddLogLine(std::string("ERROR:   ") + std::strerror(code));
    const std::string name = BaseName(process_.Path());
    for (const std::string& line : FailureLines(process_.Console().Tail()))
        log_.AddLogLine("ERROR:   " + name + ": " + line);
    log_.AddLogLine("ERROR:   " + EndText(name, end, status));
}

void ProcessEncoder::Kill() {
    if (process_.Pid() > 0) ::kill(process_.Pid(), SIGKILL);
}

}  // namespace pelmora
