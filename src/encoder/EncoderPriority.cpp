#include "encoder/EncoderPriority.h"

#include "capture/ThreadPriority.h"

namespace pelmora {

int EncoderNiceValue(int32_t priorityClass, int32_t threadPriority) {
    // The same table as the program's own threads, so one setting means one thing everywhere.
    const bool classKnown = priorityClass >= 0 && priorityClass < 4;
    const bool levelKnown = threadPriority >= 0 && threadPriority < 7;
    return CombinedNice(classKnown ? priorityClass : 1, levelKnown ? threadPriority : 3);
}

}  // namespace pelmora
