// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/AlsaMessages.h"

#include <alsa/asoundlib.h>

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <set>

namespace pelmora {

namespace {

// Bounds against a library that repeats varying texts forever.
constexpr std::size_t kMaxPending = 32;
constexpr std::size_t kMaxKnown = 256;

struct Store {
    std::mutex mutex;
    std::vector<std::string> pending;
    std::set<std::string> known;
};

Store& TheStore() {
    static Store store;
    return store;
}

thread_local int t_ignoring = 0;

std::string WithoutTrailingSpace(std::string text) {
    const std::size_t end = text.find_last_not_of(" \t\r\n");
    text.erase(end == std::string::npos ? 0 : end + 1);
    return text;
}

void Handler(const char* file, int line, const char* function, int err, const char* fmt, ...) {
    if (t_ignoring > 0) return;
    char text[512];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(text, sizeof text, fmt, args);
    va_end(args);
    std::string message = "ALSA: " + WithoutTrailingSpace(text);
    if (err != 0) message += std::string(": ") + snd_strerror(err);
    // Where it came from, as alsa-lib would print it.
    char origin[256];
    std::snprintf(origin, sizeof origin, " (%s:%d, %s)", file ? file : "?", line, function ? function : "?");
    message += origin;
    AddLibraryMessage(message);
}

}  // namespace

void InstallAlsaMessageHandler() {
    static std::once_flag once;
    std::call_once(once, [] { snd_lib_error_set_handler(&Handler); });
}

void AddLibraryMessage(const std::string& text) {
    if (t_ignoring > 0) return;
    std::string message = WithoutTrailingSpace(text);
    if (message.empty()) return;
    Store& store = TheStore();
    std::lock_guard<std::mutex> lock(store.mutex);
    if (store.known.count(message) != 0 || store.known.size() >= kMaxKnown) return;
    store.known.insert(message);
    if (store.pending.size() < kMaxPending) store.pending.push_back(std::move(message));
}

std::vector<std::string> TakeAlsaMessages() {
    Store& store = TheStore();
    std::lock_guard<std::mutex> lock(store.mutex);
    std::vector<std::string> out;
    out.swap(store.pending);
    return out;
}

IgnoreLibraryMessages::IgnoreLibraryMessages() {
    ++t_ignoring;
}

IgnoreLibraryMessages::~IgnoreLibraryMessages() {
    --t_ignoring;
}

}  // namespace pelmora
