// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The encoder process as the record control uses it for an MP3 recording.

#include <functional>
#include <string>

namespace pelmora {

class RecordingEncoder {
public:
    virtual ~RecordingEncoder() = default;
    /// Starts the encoder writing `outputPath`; it logs its own failures. On success `*writeFd`
    /// is the write end of its input pipe, owned by the encoder until Stop.
    virtual bool Start(const std::string& outputPath, int* writeFd) = 0;
    /// After the writer's flush: ends the encoder's input, lets it finish its file and ends
    /// the process. An encoder that failed, or whose input failed (`inputFailed`), is logged
    /// with the system's text for `cause()` first when that gives an error code (0: none
    /// known), then its last output lines and how it ended.
    virtual void Stop(bool inputFailed, const std::function<int()>& cause) = 0;
    /// Ends the process at once (an encoder that no longer reads its input).
    virtual void Kill() = 0;
};

}  // namespace pelmora
