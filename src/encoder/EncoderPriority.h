#pragma once
// The encoder's priority settings as a nice value for its process.

#include <cstdint>

namespace pelmora {

/// Nice value for `encoderPriorityClass` (0 Idle, 1 Normal, 2 High, 3 Realtime) combined
/// with `encoderThreadPriority` (0 Idle .. 3 Normal .. 6 Time Critical); -20..19.
/// The defaults (Normal, Normal) give 0. Out-of-range indices read as Normal.
int EncoderNiceValue(int32_t priorityClass, int32_t threadPriority);

}  // namespace pelmora
