// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// alsa-lib's own messages ("ALSA lib pcm.c:...") and those of the sound libraries its plugins
// load go through one store instead of the terminal. They are kept, each text once per run,
// until the main thread takes them for the event log.

#include <string>
#include <vector>

namespace pelmora {

/// Routes alsa-lib's messages to the store below; the first call installs, later ones do nothing.
void InstallAlsaMessageHandler();

/// Adds the message of a library that an alsa-lib plugin uses (a sound server's client), under
/// the same rules as alsa-lib's own. Any thread.
void AddLibraryMessage(const std::string& message);

/// The messages that arrived since the last call, oldest first, each text once per run.
std::vector<std::string> TakeAlsaMessages();

/// While one lives, messages raised on the thread that made it are dropped, and are not
/// counted as seen: listing and probing devices meets absent cards and servers that the
/// configuration names, which says nothing about the device the user chooses.
class IgnoreLibraryMessages {
public:
    IgnoreLibraryMessages();
    ~IgnoreLibraryMessages();
    IgnoreLibraryMessages(const IgnoreLibraryMessages&) = delete;
    IgnoreLibraryMessages& operator=(const IgnoreLibraryMessages&) = delete;
};

}  // namespace pelmora
