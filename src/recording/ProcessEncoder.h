// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The record control's encoder: an EncoderProcess started with the current encoder arguments.

#include <functional>
#include <string>
#include <vector>

#include "encoder/EncoderProcess.h"
#include "recording/LogSink.h"
#include "recording/RecordingEncoder.h"
#include "settings/RecSettings.h"

namespace pelmora {

/// The lines of an encoder's output worth logging after a failure: those that mention an
/// error (the last five at most) or, when none does, the last three.
std::vector<std::string> FailureLines(const std::vector<std::string>& tail);

class ProcessEncoder : public RecordingEncoder {
public:
    /// `encoderArgs` gives the arguments of the last BuildEncoderCommand.
    ProcessEncoder(EncoderProcess& process, RecSettings& settings, LogSink& log,
                   std::function<std::string()> encoderArgs);

    bool Start(const std::string& outputPath, int* writeFd) override;
    void Stop(bool inputFailed, const std::function<int()>& cause) override;
    void Kill() override;

    /// How long Stop lets the encoder finish its file before ending it.
    void SetExitBound(std::chrono::milliseconds bound) { exitBound_ = bound; }

private:
    EncoderProcess& process_;
    RecSettings& settings_;
    LogSink& log_;
    std::function<std::string()> encoderArgs_;
    std::chrono::milliseconds exitBound_ = EncoderProcess::kDefaultExitBound;
};

}  // namespace pelmora
