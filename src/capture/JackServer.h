// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Whether a JACK client can connect, asked of the JACK library that alsa-lib's jack plugin
// would load.

namespace pelmora {

/// True when a server takes a client now: JACK, or PipeWire through its own JACK library.
/// False without the library or without a server that answers. Never starts a server. From
/// the first call on, the library's messages go to the library-message store (AlsaMessages.h)
/// instead of the terminal, for the whole run.
bool JackServerAnswers();

}  // namespace pelmora
