#include "config/SConfigDialog.h"
#include "config/DialogTemplates.h"
#include "platform/headless/DialogHost.h"
#include "platform/headless/SettingsStore.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const char* const g_szKey = "Software\\quillo\\Lumivorra";

// Opens the settings page on the fake host with the user's actions, returns DoModal's result.
int RunDialog(MemoryStore& store, FakeDialogHost& host, std::function<void(FakeDialogHost&)> user) {
    SConfigDialog dialog(host, store);
    dialog.Create(nullptr, "DLG_CONFIG", nullptr);
    host.m_pfnUser = std::move(user);
    return dialog.DoModal();
}

void PutDword(MemoryStore& store, const char* pszName, uint32_t dwValue) {
    store.Put(g_szKey, pszName, STORE_DWORD,
              {static_cast<uint8_t>(dwValue), static_cast<uint8_t>(dwValue >> 8),
               static_cast<uint8_t>(dwValue >> 16), static_cast<uint8_t>(dwValue >> 24)});
}

Settings Stored(MemoryStore& store) {
    Settings settings;
    ReadSettings(store, &settings, READER_DIALOG);
    return settings;
}

} // namespace

TEST(SConfigDialog, OpensWithTheDefaultsWhenNothingIsStored) {
    MemoryStore store;
    FakeDialogHost host;
    const int nResult = RunDialog(store, host, [](FakeDialogHost& h) {
        EXPECT_EQ(h.Item(IDC_NUMS).text, "40");
        EXPECT_EQ(h.m_upDown.hBuddy, static_cast<void*>(&h.Item(IDC_NUMS)));
        EXPECT_EQ(h.m_upDown.dwStyle, 0x50800006u);
        EXPECT_EQ(h.m_upDown.nLower, 0);
        EXPECT_EQ(h.m_upDown.nUpper, 255);
        h.Paint();
        EXPECT_EQ(h.m_hPainted, static_cast<void*>(&h.Item(IDC_SWATCH)));
        EXPECT_EQ(h.m_dwPaintedColor, 0x6464FFu);
        EXPECT_EQ(h.Item(IDC_SHOW_FPS).uCheck, DLG_UNCHECKED);
        EXPECT_EQ(h.Item(IDC_MAP_DEFAULT).uCheck, DLG_CHECKED);
        EXPECT_EQ(h.Item(IDC_MAP_FILE).uCheck, DLG_UNCHECKED);
        EXPECT_FALSE(h.Item(IDC_MAP_PATH).bEnabled);
        EXPECT_FALSE(h.Item(IDC_MAP_BROWSE).bEnabled);
        EXPECT_EQ(h.Item(IDC_BUMP).nMin, 0);
        EXPECT_EQ(h.Item(IDC_BUMP).nMax, 8);
        EXPECT_EQ(h.Item(IDC_BUMP).nPos, 5);
        EXPECT_EQ(h.Item(IDC_BGM_DEFAULT).uCheck, DLG_CHECKED);
        EXPECT_FALSE(h.Item(IDC_MUSIC_PATH).bEnabled);
        EXPECT_FALSE(h.Item(IDC_MUSIC_BROWSE).bEnabled);
        EXPECT_TRUE(h.Item(IDC_PICK_COLOR).bEnabled);
    });
    // Left by the close box: Cancel, nothing written.
    EXPECT_EQ(nResult, 2);
    EXPECT_FALSE(store.HasKey("Software"));
    EXPECT_EQ(host.m_nInitControls, 1);
    EXPECT_FALSE(host.IsOpen());
}

TEST(SConfigDialog, ControlsFollowTheRadioButtonsAndOKStoresEveryValue) {
    MemoryStore store;
    FakeDialogHost host;
    const int nResult = RunDialog(store, host, [](FakeDialogHost& h) {
        EXPECT_FALSE(h.Type(IDC_MUSIC_PATH, "/x.mid")); // disabled until music from a file is chosen
        ASSERT_TRUE(h.Click(IDC_BGM_FILE));
        EXPECT_TRUE(h.Item(IDC_MUSIC_PATH).bEnabled);
        EXPECT_TRUE(h.Item(IDC_MUSIC_BROWSE).bEnabled);
        EXPECT_EQ(h.Item(IDC_BGM_DEFAULT).uCheck, DLG_UNCHECKED);
        ASSERT_TRUE(h.Type(IDC_MUSIC_PATH, "/曲/a.mid"));
        ASSERT_TRUE(h.Click(IDC_BGM_NONE));
        EXPECT_FALSE(h.Item(IDC_MUSIC_PATH).bEnabled);
        EXPECT_FALSE(h.Item(IDC_MUSIC_BROWSE).bEnabled);
        EXPECT_EQ(h.Item(IDC_MUSIC_PATH).text, "/曲/a.mid");
        // The two sets are independent.
        EXPECT_EQ(h.Item(IDC_MAP_DEFAULT).uCheck, DLG_CHECKED);

        EXPECT_FALSE(h.Type(IDC_NUMS, "3a"));
        ASSERT_TRUE(h.Type(IDC_NUMS, "300"));
        ASSERT_TRUE(h.Click(IDC_SHOW_FPS));
        ASSERT_TRUE(h.Click(IDC_MAP_FILE));
        EXPECT_EQ(h.Item(IDC_MAP_DEFAULT).uCheck, DLG_UNCHECKED);
        EXPECT_TRUE(h.Item(IDC_MAP_BROWSE).bEnabled);
        h.m_nextFile = "/maps/h.bmp";
        ASSERT_TRUE(h.Click(IDC_MAP_BROWSE));
        EXPECT_EQ(h.Item(IDC_MAP_PATH).text, "/maps/h.bmp");
        EXPECT_EQ(h.m_openTitle, "ﾊｲﾄﾏｯﾌﾟ用ﾌｧｲﾙの選択");
        EXPECT_EQ(h.m_openFilter, "ﾋﾞｯﾄﾏｯﾌﾟﾌｧｲﾙ (*.bmp)|*.bmp|");
        EXPECT_EQ(h.m_openDefExt, "bmp");
        EXPECT_EQ(h.m_openRequest.dwFlags, 0x1004u);
        EXPECT_EQ(h.m_openRequest.nMaxFile, 256u);
        EXPECT_EQ(h.m_openRequest.nFilterIndex, 1u);
        ASSERT_TRUE(h.Click(IDC_MUSIC_BROWSE) == false); // disabled again

        // Pure blue, as the picker's colour reference.
        h.m_nextColorRef = 0xFF0000;
        ASSERT_TRUE(h.Click(IDC_PICK_COLOR));
        EXPECT_EQ(h.m_colorRequest.rgbResult, 0x6464FFu);
        EXPECT_EQ(h.m_colorRequest.dwFlags, 0x101u);
        EXPECT_EQ(h.m_nInvalidations, 1);
        h.Paint();
        EXPECT_EQ(h.m_dwPaintedColor, 0xFF0000u);
        ASSERT_TRUE(h.Click(DLG_ID_OK));
    });
    EXPECT_EQ(nResult, 1);
    const Settings s = Stored(store);
    EXPECT_EQ(s.Nums, 300u);
    EXPECT_EQ(s.Color, 0x0000FFu);
    EXPECT_EQ(s.ShowFPS, 1u);
    EXPECT_EQ(s.HeightMapMode, 0u);
    EXPECT_STREQ(s.HeightMapFile, "/maps/h.bmp");
    EXPECT_EQ(s.BumpFactor, 5u);
    EXPECT_EQ(s.BGMMode, 2u);
    EXPECT_STREQ(s.MusicFile, "/曲/a.mid");
    EXPECT_EQ(s.CustomColors[0], 0x6464FFu);
}

TEST(SConfigDialog, EmptyCountStoresZeroAndCancelStoresNothing) {
    MemoryStore store;
    FakeDialogHost host;
    RunDialog(store, host, [](FakeDialogHost& h) {
        h.Type(IDC_NUMS, "");
        h.Click(DLG_ID_OK);
    });
    EXPECT_EQ(Stored(store).Nums, 0u);

    store.m_log.clear();
    const int nResult = RunDialog(store, host, [](FakeDialogHost& h) {
        h.Type(IDC_NUMS, "7");
        h.m_nextColorRef = 0x00FF00;
        h.Click(IDC_PICK_COLOR);
        h.Click(DLG_ID_CANCEL);
    });
    EXPECT_EQ(nResult, 2);
    for (const std::string& line : store.m_log) {
        EXPECT_EQ(line.rfind("set", 0), std::string::npos) << line;
    }
    EXPECT_EQ(Stored(store).Color, 0xFF6464u);
}

TEST(SConfigDialog, StoredValuesOutOfRange) {
    MemoryStore store;
    PutDword(store, "BGMMode", 5);
    PutDword(store, "HeightMapMode", 7);
    PutDword(store, "BumpFactor", 20);
    PutDword(store, "Nums", 300);
    PutDword(store, "ShowFPS", 2);
    FakeDialogHost host;
    RunDialog(store, host, [](FakeDialogHost& h) {
        for (int32_t nId : {IDC_BGM_FILE, IDC_BGM_DEFAULT, IDC_BGM_NONE, IDC_MAP_FILE, IDC_MAP_DEFAULT}) {
            EXPECT_EQ(h.Item(nId).uCheck, DLG_UNCHECKED) << nId;
        }
        // A check box has two states: any stored value but 0 shows it checked, and OK stores 1.
        EXPECT_EQ(h.Item(IDC_SHOW_FPS).uCheck, DLG_CHECKED);
        EXPECT_FALSE(h.Item(IDC_MUSIC_PATH).bEnabled);
        EXPECT_FALSE(h.Item(IDC_MAP_PATH).bEnabled);
        // The up-down control and the trackbar keep their positions within their ranges.
        EXPECT_EQ(h.Item(IDC_NUMS).text, "255");
        EXPECT_EQ(h.Item(IDC_BUMP).nPos, 8);
        h.Click(DLG_ID_OK);
    });
    const Settings s = Stored(store);
    EXPECT_EQ(s.BGMMode, 5u);
    EXPECT_EQ(s.HeightMapMode, 7u);
    EXPECT_EQ(s.BumpFactor, 8u);
    EXPECT_EQ(s.Nums, 255u);
    EXPECT_EQ(s.ShowFPS, 1u);
}

TEST(SDialog, UnknownTemplateRunsNothingAndTheDispatcherAnswersAsTheDialogManagerExpects) {
    MemoryStore store;
    FakeDialogHost host;
    SConfigDialog dialog(host, store);
    dialog.Create(nullptr, "DLG_MISSING", nullptr);
    EXPECT_EQ(dialog.DoModal(), -1);
    EXPECT_TRUE(store.m_log.empty());
    EXPECT_EQ(FindDialogTemplate("dlg_config")->nItems, 26);

    dialog.Create(nullptr, "DLG_CONFIG", nullptr);
    host.m_pfnUser = [&](FakeDialogHost& h) {
        EXPECT_EQ(dialog.OnMessage(dialog.m_hDlg, DLG_MSG_PAINT, 0, 0), 0);
        EXPECT_EQ(dialog.OnMessage(dialog.m_hDlg, 0x0200, 0, 0), 0);
        EXPECT_EQ(dialog.OnMessage(dialog.m_hDlg, DLG_MSG_COMMAND, 4242, 0), 1);
        EXPECT_TRUE(h.IsOpen());
        // Messages reaching the procedure before initialisation find no object.
        EXPECT_EQ(SDialog::StaticDialogProc(&h, nullptr, DLG_MSG_PAINT, 0, 0), 0);
    };
    EXPECT_EQ(dialog.DoModal(), 2);
}
