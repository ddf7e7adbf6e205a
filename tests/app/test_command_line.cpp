// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "app/CommandLine.h"

namespace pelmora {
namespace {

TEST(CommandLine, EachOptionNamesItsAction) {
    const std::pair<const char*, CommandAction> cases[] = {
        {"--record", CommandAction::Record}, {"--stop", CommandAction::Stop},     {"--pause", CommandAction::Pause},
        {"--toggle", CommandAction::Toggle}, {"--status", CommandAction::Status}, {"--help", CommandAction::Help},
        {"-h", CommandAction::Help},         {"--version", CommandAction::Version},
    };
    for (const auto& [arg, action] : cases) {
        CommandLine line = ParseCommandLine(std::vector<std::string>{arg});
        EXPECT_EQ(line.action, action) << arg;
        EXPECT_TRUE(line.error.empty()) << arg;
    }
}

TEST(CommandLine, NoArgumentsOpensTheWindow) {
    EXPECT_EQ(ParseCommandLine({}).action, CommandAction::Window);
    char name[] = "pelmora";
    char* argv[] = {name, nullptr};
    EXPECT_EQ(ParseCommandLine(1, argv).action, CommandAction::Window);
}

TEST(CommandLine, UnknownOrExtraArgumentsAreRefusedWithTheReason) {
    for (std::vector<std::string> args : std::vector<std::vector<std::string>>{
             {"--recrod"}, {"record"}, {"--record=1"}, {"-"}, {""}, {"--RECORD"}, {"--record", "--stop"},
             {"--status", "x"}}) {
        CommandLine line = ParseCommandLine(args);
        EXPECT_EQ(line.action, CommandAction::Invalid) << args[0];
        EXPECT_FALSE(line.error.empty()) << args[0];
    }
    EXPECT_NE(ParseCommandLine({"--recrod"}).error.find("'--recrod'"), std::string::npos);
    char name[] = "pelmora", a[] = "--stop", b[] = "--record";
    char* argv[] = {name, a, b, nullptr};
    EXPECT_EQ(ParseCommandLine(3, argv).action, CommandAction::Invalid);
}

TEST(CommandLine, HelpNamesEveryOptionAndAShortcutExample) {
    const std::string help = HelpText();
    EXPECT_EQ(help.rfind(UsageLine(), 0), 0u);
    for (const char* option : {"--record", "--stop", "--pause", "--toggle", "--status", "--help", "--version"})
        EXPECT_NE(help.find(option), std::string::npos) << option;
    EXPECT_NE(help.find("pelmora --toggle"), std::string::npos);
    EXPECT_EQ(VersionText().rfind("pelmora 1.", 0), 0u);
}

TEST(CommandLine, StatusLineIsTabSeparatedWithWholeSecondsOfWriteTime) {
    EXPECT_EQ(StatusLine("RECORDING", "/music/my take.wav", 3725.99), "RECORDING\t/music/my take.wav\t01:02:05");
    EXPECT_EQ(StatusLine("READY", "", 59.999), "READY\t\t00:00:59");
    EXPECT_EQ(StatusLine("PAUSED", "/a", 360000.0), "PAUSED\t/a\t100:00:00");
    EXPECT_EQ(StatusLine("READY", "/a", -1.0), "READY\t/a\t00:00:00");
}

}  // namespace
}  // namespace pelmora
