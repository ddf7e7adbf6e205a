#include "encoder/EncoderPriority.h"

#include <array>

#include "settings/RecSettings.h"

namespace pelmora {

namespace {
// The class sets the base and the thread priority moves it; the same steps as the
// program's own threads use, so one setting means one thing everywhere.
const std::array<int, 4> kClassNice = {10, 0, -10, -15};
const std::array<int, 7> kThreadNice = {19, 10, 5, 0, -5, -10, -20};
}  // namespace

int EncoderNiceValue(int32_t priorityClass, int32_t threadPriority) {
    int nice = SafeLookup(kClassNice, priorityClass, 0) + SafeLookup(kThreadNice, threadPriority, 0);
    return nice < -20 ? -20 : (nice > 19 ? 19 : nice);
}

}  // namespace pelmora
