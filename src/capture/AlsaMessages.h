#pragma once
// alsa-lib's own messages ("ALSA lib pcm.c:...") go through one handler instead of the
// terminal. They are kept, each text once per run, until the main thread takes them for
// the event log.

#include <string>
#include <vector>

namespace pelmora {

/// Routes alsa-lib's messages to the store below; the first call installs, later ones do nothing.
void InstallAlsaMessageHandler();

/// The messages that arrived since the last call, oldest first, each text once per run.
std::vector<std::string> TakeAlsaMessages();

}  // namespace pelmora
