// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/ThreadName.h"

#include <pthread.h>

#include <cstring>

namespace pelmora {

void NameCurrentThread(const char* name) {
    char cut[16] = {};
    std::strncpy(cut, name, sizeof cut - 1);
    pthread_setname_np(pthread_self(), cut);
}

}  // namespace pelmora
