// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace pelmora {

/// Status panel states (banner codes), set by device control and recording control.
enum InpaneState : int {
    kStateInitFailed = 0,  // "INITIALIZATION FAILED"
    kStateReady = 1,       // "READY"
    kStateRecording = 2,   // "RECORDING"
    kStatePaused = 3,      // "PAUSED"
};

}  // namespace pelmora
