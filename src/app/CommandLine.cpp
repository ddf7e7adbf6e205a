// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CommandLine.h"

#include <cstdio>
#include <utility>

#ifndef PELMORA_VERSION
#define PELMORA_VERSION "unknown"
#endif

namespace pelmora {

namespace {

constexpr std::pair<const char*, CommandAction> kOptions[] = {
    {"--record", CommandAction::Record}, {"--stop", CommandAction::Stop},     {"--pause", CommandAction::Pause},
    {"--toggle", CommandAction::Toggle}, {"--status", CommandAction::Status}, {"--help", CommandAction::Help},
    {"-h", CommandAction::Help},         {"--version", CommandAction::Version},
};

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
    CommandLine line;
    if (args.empty()) return line;
    if (args.size() > 1) {
        line.action = CommandAction::Invalid;
        line.error = "only one option at a time";
        return line;
    }
    for (const auto& [name, action] : kOptions)
        if (args[0] == name) {
            line.action = action;
            return line;
        }
    line.action = CommandAction::Invalid;
    line.error = "unknown option '" + args[0] + "'";
    return line;
}

CommandLine ParseCommandLine(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    return ParseCommandLine(args);
}

std::string UsageLine() {
    return "Usage: pelmora [--record | --stop | --pause | --toggle | --status | --help | --version]";
}

std::string HelpText() {
    return UsageLine() +
           "\n"
           "Sound recorder. Without an option it opens its window; a second copy started while\n"
           "one runs ends at once. An option is sent to the running copy over D-Bus\n"
           "(org.pelmora.Pelmora on the session bus); --record and --toggle start one first\n"
           "when none runs.\n"
           "\n"
           "  --record   start a recording, as the Record button does\n"
           "  --stop     stop the recording\n"
           "  --pause    pause the recording, or continue a paused one\n"
           "  --toggle   start a recording when none runs, else stop it\n"
           "  --status   print the state, the output file and the write time on one line,\n"
           "             separated by tabs (NOT RUNNING when no copy runs)\n"
           "  --help     print this text\n"
           "  --version  print the version\n"
           "\n"
           "Exit status: 0 done, 1 the program could not act (the reason is printed), 2 bad option.\n"
           "\n"
           "A desktop shortcut that starts and stops recordings runs the command\n"
           "  pelmora --toggle\n"
           "(GNOME: Settings, Keyboard, Custom Shortcuts; KDE: System Settings, Shortcuts).\n";
}

std::string StatusLine(const std::string& state, const std::string& outputPath, double writeSeconds) {
    // Negative, NaN or absurd values read as nothing written.
    const long total = writeSeconds >= 0.0 && writeSeconds < 1e9 ? static_cast<long>(writeSeconds) : 0;
    char time[32];
    std::snprintf(time, sizeof time, "%02ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
    return state + "\t" + outputPath + "\t" + time;
}

std::string VersionText() { return std::string("pelmora ") + PELMORA_VERSION + "\n"; }

}  // namespace pelmora
