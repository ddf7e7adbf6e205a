// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's options: none starts the window; each of the others asks the running copy
// (started first when needed) to act, or prints something and ends.

#include <string>
#include <vector>

namespace pelmora {

enum class CommandAction { Window, Record, Stop, Pause, Toggle, Status, Help, Version, Invalid };

struct CommandLine {
    CommandAction action = CommandAction::Window;
    std::string error;  // why an Invalid line was refused
};

/// Reads the arguments after the program name. One option at most.
CommandLine ParseCommandLine(const std::vector<std::string>& args);
CommandLine ParseCommandLine(int argc, char** argv);

/// "Usage: pelmora [--record | --stop | --pause | --toggle | --status | --help | --version]"
std::string UsageLine();
/// The text --help prints.
std::string HelpText();
/// What --status prints: state, output path and write time ("%02d:%02d:%02d", whole
/// seconds), separated by tabs.
std::string StatusLine(const std::string& state, const std::string& outputPath, double writeSeconds);
/// The text --version prints.
std::string VersionText();

}  // namespace pelmora
