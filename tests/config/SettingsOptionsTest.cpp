// The settings options of the command line: every spelling of every option, the values that are
// refused with their message, and how an override lands on the stored settings.
#include "config/SettingsOptions.h"
#include "framework/SString.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Reads every word as an option; fails the test on a word that is none.
SettingsOverride Parse(std::vector<const char*> words) {
    words.insert(words.begin(), "lumivorra");
    SettingsOverride override{};
    override.values = DefaultSettings();
    const int argc = static_cast<int>(words.size());
    for (int i = 1; i < argc;) {
        const int nBefore = i;
        if (!ReadSettingsOption(argc, words.data(), &i, &override)) {
            ADD_FAILURE() << "not an option: " << words[static_cast<size_t>(i)];
            break;
        }
        EXPECT_GT(i, nBefore);
    }
    return override;
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

TEST(SettingsOptions, EachOptionSetsItsFieldsInEverySpelling) {
    const SettingsOverride a = Parse({"--count", "0", "-color", "#40a0FF", "--bump=8", "-fps"});
    EXPECT_EQ(a.dwFields, OVERRIDE_NUMS | OVERRIDE_COLOR | OVERRIDE_BUMP | OVERRIDE_SHOWFPS);
    EXPECT_EQ(a.values.Nums, 0u);
    EXPECT_EQ(a.values.Color, 0x40A0FFu);
    EXPECT_EQ(a.values.BumpFactor, 8u);
    EXPECT_EQ(a.values.ShowFPS, 1u);

    const SettingsOverride b = Parse({"--count=4294967295", "--color", "0xff", "--no-fps", "--heightmap",
                                      "/tmp/map.bmp", "-music=/tmp/a b.mid"});
    EXPECT_EQ(b.values.Nums, 4294967295u);
    EXPECT_EQ(b.values.Color, 0x0000FFu);
    EXPECT_EQ(b.values.ShowFPS, 0u);
    EXPECT_EQ(b.values.HeightMapMode, 0u);
    EXPECT_STREQ(b.values.HeightMapFile, "/tmp/map.bmp");
    EXPECT_EQ(b.values.BGMMode, 0u);
    EXPECT_STREQ(b.values.MusicFile, "/tmp/a b.mid");
    EXPECT_EQ(b.dwFields,
              OVERRIDE_NUMS | OVERRIDE_COLOR | OVERRIDE_SHOWFPS | OVERRIDE_HEIGHTMAP | OVERRIDE_BGM);
}

TEST(SettingsOptions, TheLastOptionForASettingWinsAndAModeClearsAnEarlierFile) {
    const SettingsOverride a = Parse({"--heightmap", "x.bmp", "--flat", "--music", "y.mid", "--no-music"});
    EXPECT_EQ(a.values.HeightMapMode, HEIGHTMAP_FLAT);
    EXPECT_STREQ(a.values.HeightMapFile, "");
    EXPECT_EQ(a.values.BGMMode, BGM_NONE);
    EXPECT_STREQ(a.values.MusicFile, "");

    const SettingsOverride b = Parse({"--flat", "--builtin-heightmap", "--no-music", "--builtin-music",
                                      "--fps", "--no-fps", "--count", "3", "--count", "7"});
    EXPECT_EQ(b.values.HeightMapMode, 1u);
    EXPECT_EQ(b.values.BGMMode, 1u);
    EXPECT_EQ(b.values.ShowFPS, 0u);
    EXPECT_EQ(b.values.Nums, 7u);
}

TEST(SettingsOptions, BadValuesAreRefusedWithOneLineNamingTheOption) {
    EXPECT_EQ(ErrorOf({"--bump", "9"}), "--bumpの値「9」が不正です。0〜8 の整数を指定してください。\n");
    EXPECT_EQ(ErrorOf({"--count", "-1"}),
              "--countの値「-1」が不正です。0〜4294967295 の整数を指定してください。\n");
    EXPECT_EQ(ErrorOf({"--count"}), "--countの値がありません。\n");
    EXPECT_EQ(ErrorOf({"--fps=1"}), "--fpsは値を取りません。--fps=1\n");
    EXPECT_EQ(ErrorOf({"--heightmap="}), "--heightmapのファイル名が空です。\n");
    const std::string longPath(256, 'a');
    EXPECT_EQ(ErrorOf({"--music", longPath.c_str()}),
              "--musicのファイル名が長すぎます（255 バイトまで）。\n");
    const std::string longestPath(255, 'a');
    EXPECT_STREQ(Parse({"--music", longestPath.c_str()}).values.MusicFile, longestPath.c_str());

    for (const char* pszBad : {"4294967296", "", "12x", " 5", "+5", "0x10"}) {
        EXPECT_NE(ErrorOf({"--count", pszBad}).find("不正です"), std::string::npos) << pszBad;
    }
    for (const char* pszBad : {"#FFF", "#1234567", "FF6464", "0x", "0x1000000", "#GG0000", "0x12 "}) {
        EXPECT_NE(ErrorOf({"--color", pszBad}).find("#RRGGBB か 0xRRGGBB"), std::string::npos) << pszBad;
    }
}

TEST(SettingsOptions, OtherWordsAreLeftForTheCaller) {
    const char* const apszWords[] = {"lumivorra", "/s", "--root", "-s", "--counts", "count", "--", "-"};
    SettingsOverride override{};
    for (int i = 1; i < 8; ++i) {
        int nIndex = i;
        EXPECT_FALSE(ReadSettingsOption(8, apszWords, &nIndex, &override)) << apszWords[i];
        EXPECT_EQ(nIndex, i);
    }
    EXPECT_EQ(override.dwFields, 0u);
}

TEST(SettingsOptions, AnOverrideReplacesOnlyTheFieldsItNames) {
    Settings stored = DefaultSettings();
    stored.Nums = 99;
    stored.HeightMapMode = 0;
    std::snprintf(stored.HeightMapFile, sizeof(stored.HeightMapFile), "stored.bmp");
    stored.BGMMode = 0;
    std::snprintf(stored.MusicFile, sizeof(stored.MusicFile), "stored.mid");

    Settings settings = stored;
    ApplySettingsOverride(SettingsOverride{}, &settings);
    EXPECT_EQ(std::memcmp(&settings, &stored, sizeof(settings)), 0);

    const SettingsOverride override = Parse({"--color", "#000001", "--builtin-music"});
    ApplySettingsOverride(override, &settings);
    EXPECT_EQ(settings.Color, 1u);
    EXPECT_EQ(settings.BGMMode, 1u);
    EXPECT_STREQ(settings.MusicFile, "");
    EXPECT_EQ(settings.Nums, 99u);
    EXPECT_EQ(settings.HeightMapMode, 0u);
    EXPECT_STREQ(settings.HeightMapFile, "stored.bmp");
    EXPECT_EQ(settings.CustomColors[0], stored.CustomColors[0]);
}
