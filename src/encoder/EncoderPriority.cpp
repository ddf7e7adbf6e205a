#include "encoder/EncoderPriority.h"

#include <array>

#include "settings/RecSettings.h"

namespace pelmora {

namespace {
// The class sets the base; the thread priority moves it, Idle and Time Critical to the ends.
const std::array<int, 4> kClassNice = {10, 0, -5, -10};
const std::array<int, 7> kThreadNice = {19, 4, 2, 0, -2, -4, -20};
}  // namespace

int EncoderNiceValue(int32_t priorityClass, int32_t threadPriority) {
    int nice = SafeLookup(kClassNice, priorityClass, 0) + SafeLookup(kThreadNice, threadPriority, 0);
    return nice < -20 ? -20 : (nice > 19 ? 19 : nice);
}

}  // namespace pelmora
