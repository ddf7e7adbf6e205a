#include "recording/ProcessEncoder.h"

#include <signal.h>

namespace pelmora {

ProcessEncoder::ProcessEncoder(EncoderProcess& process, RecSettings& settings, LogSink& log,
                               std::function<std::string()> encoderArgs)
    : process_(process), settings_(settings), log_(log), encoderArgs_(std::move(encoderArgs)) {}

bool ProcessEncoder::Start(const std::string& outputPath, int* writeFd) {
    if (!process_.Start(outputPath, encoderArgs_ ? encoderArgs_() : std::string(), settings_, log_)) return false;
    *writeFd = process_.WriteEnd();
    return true;
}

void ProcessEncoder::Stop() { process_.Finish(exitBound_); }

void ProcessEncoder::Kill() {
    if (process_.Pid() > 0) ::kill(process_.Pid(), SIGKILL);
}

}  // namespace pelmora
