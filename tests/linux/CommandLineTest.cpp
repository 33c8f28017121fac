// lumivorra's arguments on Linux: which mode they choose, how the settings options are taken out of
// the switch line, and the mistakes that get a message instead of a silent run.
#include "platform/linux/CommandLine.h"
#include "framework/SString.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

CommandLine Parse(std::vector<const char*> words, bool bUnderXScreenSaver = false) {
    words.insert(words.begin(), "lumivorra");
    return ParseCommandLine(static_cast<int>(words.size()), words.data(), bUnderXScreenSaver);
}

std::string ErrorOf(std::vector<const char*> words) {
    try {
        Parse(std::move(words));
    } catch (const SString& error) {
        return error.Text();
    }
    return "(no error)";
}

} // namespace

TEST(CommandLine, OptionsAreTakenOutAndTheRestIsTheSwitchLine) {
    const CommandLine line = Parse({"--count", "5", "/p", "--no-music", "724"});
    EXPECT_EQ(line.action, ACTION_SWITCH);
    EXPECT_EQ(line.switches, "/p 724");
    EXPECT_EQ(line.override.dwFields, OVERRIDE_NUMS | OVERRIDE_BGM);
    EXPECT_EQ(line.override.values.Nums, 5u);

    EXPECT_EQ(Parse({"/s"}).switches, "/s");
    EXPECT_EQ(Parse({"/c:724"}).switches, "/c:724");
    EXPECT_EQ(Parse({}).switches, "");
    EXPECT_EQ(Parse({"-x", "y"}).switches, "-x y"); // a switch outside the table: nothing happens
}

TEST(CommandLine, XScreenSaversWaysOfNamingTheWindow) {
    const CommandLine root = Parse({"-root", "-count", "0", "-flat"});
    EXPECT_TRUE(root.bRoot);
    EXPECT_EQ(root.override.values.HeightMapMode, HEIGHTMAP_FLAT);
    EXPECT_EQ(Parse({"--window-id", "0x2a"}).switches, "/p 42");
    EXPECT_EQ(Parse({"-window-id", "12"}).switches, "/p 12");
    EXPECT_EQ(Parse({"--window-id", "-5"}).switches, "/p 0"); // no window can be made in 0: its message
    EXPECT_EQ(Parse({"--window-id"}).switches, "/p 0");
    EXPECT_FALSE(Parse({"--root", "--window-id", "7"}).bRoot);
    // Under XScreenSaver a start without a switch draws into its window, with or without options.
    EXPECT_TRUE(Parse({}, true).bRoot);
    EXPECT_TRUE(Parse({"--count", "3"}, true).bRoot);
    EXPECT_FALSE(Parse({"/c"}, true).bRoot);
    EXPECT_EQ(Parse({"--window", "--fps"}).action, ACTION_WINDOWED);
}

TEST(CommandLine, HelpAndVersionWinOverEverythingAfterThem) {
    EXPECT_EQ(Parse({"/s", "--help"}).action, ACTION_HELP);
    EXPECT_EQ(Parse({"-help"}).action, ACTION_HELP);
    EXPECT_EQ(Parse({"--version", "--bogus"}).action, ACTION_VERSION);
    const std::string usage = UsageText();
    for (const char* pszName : {"/s",        "/c",          "/p ID",           "/l ID",
                                "--window ", "--window-id", "--root",          "--help",
                                "--version", "--count",     "--color",         "--bump",
                                "--fps",     "--no-fps",    "--heightmap",     "--builtin-heightmap",
                                "--flat",    "--music",     "--builtin-music", "--no-music"}) {
        EXPECT_NE(usage.find(pszName), std::string::npos) << pszName;
    }
}

TEST(CommandLine, MistakesGetAMessageRatherThanASilentRun) {
    EXPECT_EQ(ErrorOf({"/s", "--colour", "#FFFFFF"}),
              "--colourは不明なオプションです。--help で一覧を表示します。\n");
    EXPECT_EQ(ErrorOf({"--bump", "x", "--help"}),
              "--bumpの値「x」が不正です。0〜8 の整数を指定してください。\n");
    // The settings dialog edits what is stored; an option there would look applied and not be.
    EXPECT_NE(ErrorOf({"/c", "--count", "3"}).find("設定ダイアログ"), std::string::npos);
    EXPECT_NE(ErrorOf({"--fps"}).find("設定ダイアログ"), std::string::npos);
    EXPECT_EQ(ErrorOf({"/s", "--fps"}), "(no error)");
}
