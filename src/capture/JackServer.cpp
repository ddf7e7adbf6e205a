// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/JackServer.h"

#include <dlfcn.h>

#include <string>

#include "capture/AlsaMessages.h"

namespace pelmora {

namespace {

// The few entry points used, as libjack declares them (options and status are enums).
using MessageFunction = void (*)(const char*);
using SetMessageFunction = void (*)(MessageFunction);
using ClientOpen = void* (*)(const char* name, int options, int* status, ...);
using ClientClose = int (*)(void* client);
constexpr int kJackNoStartServer = 0x01;

void JackError(const char* text) {
    if (text) AddLibraryMessage(std::string("JACK: ") + text);
}

void JackInfo(const char*) {}

}  // namespace

bool JackServerAnswers() {
    // Stays loaded: the plugin shares this copy of the library, and with it the handlers.
    static void* const library = ::dlopen("libjack.so.0", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) return false;  // the plugin could not load either
    const auto setError = reinterpret_cast<SetMessageFunction>(::dlsym(library, "jack_set_error_function"));
    const auto setInfo = reinterpret_cast<SetMessageFunction>(::dlsym(library, "jack_set_info_function"));
    const auto open = reinterpret_cast<ClientOpen>(::dlsym(library, "jack_client_open"));
    const auto close = reinterpret_cast<ClientClose>(::dlsym(library, "jack_client_close"));
    if (setError) setError(&JackError);
    if (setInfo) setInfo(&JackInfo);
    if (open == nullptr || close == nullptr) return false;
    int status = 0;
    void* client = open("pelmora", kJackNoStartServer, &status);
    if (client == nullptr) return false;
    close(client);
    return true;
}

}  // namespace pelmora
