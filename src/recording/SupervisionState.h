// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// State of the once-a-second supervision that the record control also touches.

#include <cstdint>
#include <string>

namespace pelmora {

struct SupervisionState {
    int32_t tickCount = 0;           // ticks since start-up
    double writeTimeSnapshot = 0.0;  // writeTime at the last tick; 0 at record start
    uint32_t clipRunSeconds = 0;     // seconds the current clip (or clip burst) has lasted
    uint32_t clipCount = 0;          // clips that began soon after the previous one
    uint32_t secondsSinceClip = 0;   // clip-free seconds, held at 1000
    bool manyClipsMode = false;      // "A lot of clips" given; single warnings suppressed
    std::string lastClipLine;        // the last "Clip occured" line, with its time stamp
    std::string lastWarningLine;     // the log's last line right after the last performance warning

    /// Every click of Record or Pause starts the clip trackers afresh.
    void ResetClipTrackers() {
        clipRunSeconds = 0;
        clipCount = 0;
        manyClipsMode = false;
    }
};

}  // namespace pelmora
