#include "config/Settings.h"
#include "platform/headless/SettingsStore.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

const char* const g_szKey = "Software\\quillo\\Lumivorra";

std::vector<uint8_t> Dword(uint32_t dwValue) {
    return {static_cast<uint8_t>(dwValue), static_cast<uint8_t>(dwValue >> 8),
            static_cast<uint8_t>(dwValue >> 16), static_cast<uint8_t>(dwValue >> 24)};
}

std::vector<std::string> Tail(const std::vector<std::string>& log, size_t nFrom) {
    return std::vector<std::string>(log.begin() + static_cast<std::ptrdiff_t>(nFrom), log.end());
}

} // namespace

TEST(Settings, DefaultsWithoutTheKeyAndOnlyTheLastLevelCounts) {
    MemoryStore store;
    Settings settings;
    std::memset(&settings, 0xAB, sizeof(settings));
    ReadSettings(store, &settings, READER_DIALOG);
    EXPECT_EQ(settings.Nums, 40u);
    EXPECT_EQ(settings.Color, 0xFF6464u);
    EXPECT_EQ(settings.CustomColors[0], 0x6464FFu);
    for (int i = 1; i < 16; ++i) {
        EXPECT_EQ(settings.CustomColors[i], 0xFFFFFFFFu);
    }
    EXPECT_EQ(settings.ShowFPS, 0u);
    EXPECT_EQ(settings.HeightMapMode, 1u);
    EXPECT_EQ(settings.BumpFactor, 5u);
    EXPECT_EQ(settings.BGMMode, 1u);
    EXPECT_EQ(std::vector<char>(settings.HeightMapFile, settings.HeightMapFile + 257),
              std::vector<char>(257, 0));
    EXPECT_EQ(std::vector<char>(settings.MusicFile, settings.MusicFile + 257), std::vector<char>(257, 0));
    // The later levels open under no key and fail too; nothing is queried and nothing is left open.
    EXPECT_EQ(store.m_log, (std::vector<std::string>{"open Software", "open quillo", "open Lumivorra"}));
    EXPECT_EQ(store.OpenKeyCount(), 0u);
}

TEST(Settings, EachReaderQueriesItsOwnOrderWithTheReadSizes) {
    MemoryStore store;
    store.Put(g_szKey, "BGMMode", STORE_DWORD, Dword(2));
    Settings settings;
    ReadSettings(store, &settings, READER_SCENE);
    EXPECT_EQ(settings.BGMMode, 2u);
    settings.BGMMode = 1;
    const Settings defaults = DefaultSettings();
    EXPECT_EQ(std::memcmp(&settings, &defaults, sizeof(settings)), 0);
    EXPECT_EQ(store.m_log, (std::vector<std::string>{
                               "open Software", "open quillo", "open Lumivorra", "query Nums 4",
                               "query Color 4", "query HeightMapMode 4", "query HeightMapFile 257",
                               "query BumpFactor 4", "query BGMMode 4", "query MusicFile 257",
                               "query ShowFPS 4", "close Lumivorra", "close quillo", "close Software"}));

    store.m_log.clear();
    ReadSettings(store, &settings, READER_DIALOG);
    EXPECT_EQ(Tail(store.m_log, 3),
              (std::vector<std::string>{"query Nums 4", "query Color 4", "query CustomColors 64",
                                        "query ShowFPS 4", "query HeightMapMode 4", "query HeightMapFile 257",
                                        "query BumpFactor 4", "query BGMMode 4", "query MusicFile 257",
                                        "close Lumivorra", "close quillo", "close Software"}));
}

TEST(Settings, WriteCreatesThePathAndStoresAllNineWithTheirTypesAndSizes) {
    MemoryStore store;
    Settings written = DefaultSettings();
    written.Nums = 300;
    written.Color = 0x0000FF;
    for (int i = 0; i < 16; ++i) {
        written.CustomColors[i] = 0x01020300u + static_cast<uint32_t>(i);
    }
    written.ShowFPS = 1;
    written.HeightMapMode = 0;
    std::memset(written.HeightMapFile, 'h', 255);
    written.BumpFactor = 8;
    written.BGMMode = 2;
    std::strcpy(written.MusicFile, "/曲/song.mid");
    WriteSettings(store, written);

    EXPECT_EQ(store.m_log, (std::vector<std::string>{"create Software", "create quillo", "create Lumivorra",
                                                     "set Nums 4 4", "set Color 4 4", "set CustomColors 3 64",
                                                     "set HeightMapMode 4 4", "set HeightMapFile 1 256",
                                                     "set BumpFactor 4 4", "set BGMMode 4 4",
                                                     "set MusicFile 1 256", "set ShowFPS 4 4",
                                                     "close Lumivorra", "close quillo", "close Software"}));
    EXPECT_TRUE(store.HasKey("Software\\quillo"));
    EXPECT_EQ(store.Get(g_szKey, "Nums")->bytes, Dword(300));
    const std::vector<uint8_t>& colors = store.Get(g_szKey, "CustomColors")->bytes;
    EXPECT_EQ(std::vector<uint8_t>(colors.begin(), colors.begin() + 8),
              (std::vector<uint8_t>{0x00, 0x03, 0x02, 0x01, 0x01, 0x03, 0x02, 0x01}));
    std::vector<uint8_t> music(256, 0);
    std::memcpy(music.data(), written.MusicFile, std::strlen(written.MusicFile));
    EXPECT_EQ(store.Get(g_szKey, "MusicFile")->bytes, music);

    Settings read;
    ReadSettings(store, &read, READER_DIALOG);
    EXPECT_EQ(std::memcmp(&read, &written, sizeof(read)), 0);
    EXPECT_EQ(std::strlen(read.HeightMapFile), 255u);
}

TEST(Settings, StoredBytesLandOnTheFieldWhateverTheirTypeAndOversizedValuesAreSkipped) {
    MemoryStore store;
    store.Put(g_szKey, "Nums", STORE_BINARY, {0x00, 0x01});      // replaces the low two bytes of 40
    store.Put(g_szKey, "Color", STORE_DWORD, Dword(0x12345678)); // taken unchanged, top byte included
    store.Put(g_szKey, "BumpFactor", STORE_BINARY, std::vector<uint8_t>(8, 1));    // too large to read
    store.Put(g_szKey, "HeightMapFile", STORE_SZ, std::vector<uint8_t>(257, 'x')); // no zero at all
    store.Put(g_szKey, "MusicFile", STORE_SZ, std::vector<uint8_t>(258, 'y'));
    Settings settings;
    ReadSettings(store, &settings, READER_SCENE);
    EXPECT_EQ(settings.Nums, 0x100u);
    EXPECT_EQ(settings.Color, 0x12345678u);
    EXPECT_EQ(settings.BumpFactor, 5u);
    EXPECT_EQ(std::string(settings.HeightMapFile), std::string(256, 'x'));
    EXPECT_EQ(settings.MusicFile[0], '\0');

    // Writing such a field keeps its string terminated within the 256 bytes.
    WriteSettings(store, settings);
    const std::vector<uint8_t>& path = store.Get(g_szKey, "HeightMapFile")->bytes;
    ASSERT_EQ(path.size(), 256u);
    EXPECT_EQ(path[254], 'x');
    EXPECT_EQ(path[255], 0);
}

TEST(Settings, WriteStoresNothingWhenTheKeyCannotBeMadeAndColoursSwapRedAndBlue) {
    MemoryStore store;
    store.m_bCreateFails = true;
    WriteSettings(store, DefaultSettings());
    EXPECT_FALSE(store.HasKey("Software"));
    EXPECT_EQ(store.m_log.size(), 3u);

    EXPECT_EQ(SwapRedBlue(0x0000FF), 0xFF0000u);
    EXPECT_EQ(SwapRedBlue(0xFF6464), 0x6464FFu);
    EXPECT_EQ(SwapRedBlue(0xAB00FF00), 0x00FF00u);
}
