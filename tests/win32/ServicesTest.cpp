// The Windows services with the real system calls, run under Wine.
#include "config/Settings.h"
#include "platform/BuiltinItems.h"
#include "platform/Files.h"
#include "platform/Heap.h"
#include "platform/Thread.h"
#include "platform/Timer.h"
#include "platform/win32/SettingsStore.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(Win32Resources, EveryListedItemIsAnRcdataResourceWithTheFilesBytes) {
    std::ifstream list(LV_SOURCE_DIR "/resources/items.txt");
    ASSERT_TRUE(list.good());
    std::string line;
    int nItems = 0;
    while (std::getline(list, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        const std::string name = line.substr(0, line.find(' '));
        const std::string file = line.substr(line.find(' ') + 1);
        // Resource names compare without regard to case.
        std::string lower = name;
        for (char& c : lower) {
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        }
        const uint8_t* pData = nullptr;
        uint32_t dwSize = 0;
        ASSERT_EQ(PlatformFindBuiltinItem(GetModuleHandleA(nullptr), lower.c_str(), &pData, &dwSize),
                  BUILTIN_FOUND)
            << name;
        EXPECT_EQ(std::vector<uint8_t>(pData, pData + dwSize), ReadWhole(LV_SOURCE_DIR "/resources/" + file))
            << name;
        ++nItems;
    }
    EXPECT_EQ(nItems, 12);
    const uint8_t* pData = nullptr;
    uint32_t dwSize = 0;
    EXPECT_EQ(PlatformFindBuiltinItem(GetModuleHandleA(nullptr), "10_BMP", &pData, &dwSize),
              BUILTIN_NOT_FOUND);
}

TEST(Win32Files, ReadsAWholeFileAndRefusesAMissingOne) {
    char szDir[MAX_PATH];
    char szPath[MAX_PATH];
    ASSERT_NE(GetTempPathA(MAX_PATH, szDir), 0u);
    ASSERT_NE(GetTempFileNameA(szDir, "lv", 0, szPath), 0u);
    std::vector<uint8_t> bytes(70000);
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<uint8_t>(i * 7);
    }
    std::ofstream(szPath, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());

    PlatformFile file{};
    ASSERT_TRUE(PlatformFileOpen(szPath, &file));
    uint64_t qwSize = 0;
    ASSERT_TRUE(PlatformFileSize(file, &qwSize));
    EXPECT_EQ(qwSize, bytes.size());
    std::vector<uint8_t> read(bytes.size() + 10);
    uint32_t dwRead = 0;
    ASSERT_TRUE(PlatformFileRead(file, read.data(), static_cast<uint32_t>(read.size()), &dwRead));
    EXPECT_EQ(dwRead, bytes.size());
    read.resize(dwRead);
    EXPECT_EQ(read, bytes);
    PlatformFileClose(file);
    DeleteFileA(szPath);
    EXPECT_FALSE(PlatformFileOpen(szPath, &file));
}

TEST(Win32Heap, GivesUsableBlocksAndNullForImpossibleOnes) {
    uint8_t* pBlock = static_cast<uint8_t*>(PlatformHeapAlloc(1 << 20));
    ASSERT_NE(pBlock, nullptr);
    std::memset(pBlock, 0xA5, 1 << 20);
    PlatformHeapFree(pBlock);
    EXPECT_EQ(PlatformHeapAlloc(SIZE_MAX / 2), nullptr);
}

TEST(Win32Thread, ReportsStillActiveUntilTheProcedureReturns) {
    static std::atomic<bool> s_bRelease{false};
    s_bRelease = false;
    const ThreadHandle hThread = PlatformCreateThread(
        [](void*) -> uint32_t {
            while (!s_bRelease) {
                Sleep(1);
            }
            return 42;
        },
        nullptr);
    ASSERT_NE(hThread, 0u);
    uint32_t dwCode = 0;
    ASSERT_TRUE(PlatformGetExitCodeThread(hThread, &dwCode));
    EXPECT_EQ(dwCode, THREAD_STILL_ACTIVE);
    s_bRelease = true;
    for (int i = 0; i < 500 && PlatformGetExitCodeThread(hThread, &dwCode) && dwCode == THREAD_STILL_ACTIVE;
         ++i) {
        PlatformSleep(10);
    }
    EXPECT_EQ(dwCode, 42u);
    PlatformCloseThread(hThread);
    EXPECT_FALSE(PlatformGetExitCodeThread(0, &dwCode));
}

struct SlowTick {
    std::atomic<int> nCalls{0};
    std::atomic<int> nInside{0};
    std::atomic<int> nKillFromCallback{-1};
    uint32_t uId = 0;
};

void SlowTickProc(uint32_t uTimerId, uint32_t, uintptr_t dwUser, uintptr_t, uintptr_t) {
    SlowTick* pTick = reinterpret_cast<SlowTick*>(dwUser);
    ++pTick->nInside;
    if (pTick->nKillFromCallback < 0) {
        pTick->nKillFromCallback = PlatformTimerKillEvent(uTimerId) ? 1 : 0;
    }
    Sleep(15);
    ++pTick->nCalls;
    --pTick->nInside;
}

TEST(Win32Timer, KillWaitsForARunningCallbackAndNoneFollows) {
    PlatformTimeCaps caps{};
    PlatformTimerGetDevCaps(&caps);
    EXPECT_GE(caps.wPeriodMin, 1u);
    for (int nRound = 0; nRound < 5; ++nRound) {
        SlowTick tick;
        tick.uId =
            PlatformTimerSetEvent(1, caps.wPeriodMin, SlowTickProc, reinterpret_cast<uintptr_t>(&tick));
        ASSERT_NE(tick.uId, 0u);
        while (tick.nInside == 0) {
            Sleep(1);
        }
        ASSERT_TRUE(PlatformTimerKillEvent(tick.uId));
        // A callback that still ran here would use the object after its owner freed it.
        EXPECT_EQ(tick.nInside, 0);
        const int nCalls = tick.nCalls;
        Sleep(40);
        EXPECT_EQ(tick.nCalls, nCalls);
        EXPECT_EQ(tick.nKillFromCallback, 0);
        EXPECT_FALSE(PlatformTimerKillEvent(tick.uId));
    }
}

TEST(Win32Registry, SettingsRoundTripUnderTheUsersKey) {
    RegistryStore store;
    Settings written = DefaultSettings();
    written.Nums = 123;
    written.Color = 0x102030;
    written.CustomColors[15] = 0xABCDEF;
    written.BGMMode = 2;
    std::strcpy(written.HeightMapFile, "C:\\マップ\\高さ.bmp");
    WriteSettings(store, written);
    Settings read{};
    ReadSettings(store, &read, READER_DIALOG);
    EXPECT_EQ(read.Nums, 123u);
    EXPECT_EQ(read.Color, 0x102030u);
    EXPECT_EQ(read.CustomColors[15], 0xABCDEFu);
    EXPECT_EQ(read.BGMMode, 2u);
    EXPECT_STREQ(read.HeightMapFile, written.HeightMapFile);

    // A value larger than the field leaves the field as it was and reports the size it needs.
    StoreKey hSoftware = STORE_NO_KEY;
    StoreKey hCompany = STORE_NO_KEY;
    StoreKey hKey = STORE_NO_KEY;
    ASSERT_TRUE(store.OpenKey(STORE_CURRENT_USER, "Software", &hSoftware));
    ASSERT_TRUE(store.OpenKey(hSoftware, "quillo", &hCompany));
    ASSERT_TRUE(store.OpenKey(hCompany, "Lumivorra", &hKey));
    uint8_t field[2] = {7, 7};
    uint32_t dwType = 0;
    uint32_t dwSize = sizeof(field);
    EXPECT_FALSE(store.QueryValue(hKey, "Nums", &dwType, field, &dwSize));
    EXPECT_EQ(dwSize, 4u);
    EXPECT_EQ(field[0], 7);
    StoreKey hMissing = 1234;
    EXPECT_FALSE(store.OpenKey(hKey, "NoSuchKey", &hMissing));
    EXPECT_EQ(hMissing, STORE_NO_KEY);
    store.CloseKey(hKey);
    store.CloseKey(hCompany);
    store.CloseKey(hSoftware);
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\quillo\\Lumivorra");
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\quillo");
}

} // namespace
