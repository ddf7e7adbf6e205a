// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The command line as a client of the running copy's D-Bus interface.

#include <string>

#include "app/CommandLine.h"

namespace pelmora {

/// Carries out Record, Stop, Pause, Toggle or Status: asks the running copy, or, for Record
/// and Toggle when none runs, starts `programPath` without options and then asks it.
/// Prints the status line on stdout and reasons on stderr; returns the exit status
/// (0 done, 1 the program could not act or could not be reached).
int RunRemoteCommand(CommandAction action, const std::string& programPath);

}  // namespace pelmora
