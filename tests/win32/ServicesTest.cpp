// The Windows services with the real system calls, run under Wine.
#include "config/DialogTemplates.h"
#include "config/Settings.h"
#include "platform/BuiltinItems.h"
#include "platform/Files.h"
#include "platform/Heap.h"
#include "platform/Language.h"
#include "platform/Thread.h"
#include "platform/Timer.h"
#include "platform/Window.h"
#include "platform/shared/Catalogs.h"
#include "platform/win32/MidiOut.h"
#include "platform/win32/Monitors.h"
#include "platform/win32/SettingsStore.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
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

// Reads an extended dialog template in place: words, dwords, and strings or ordinals.
class TemplateReader {
public:
    explicit TemplateReader(const uint8_t* pData) : m_p(pData) {}
    uint16_t Word() {
        uint16_t w;
        std::memcpy(&w, m_p, 2);
        m_p += 2;
        return w;
    }
    uint32_t Dword() {
        const uint32_t dwLow = Word();
        return dwLow | static_cast<uint32_t>(Word()) << 16;
    }
    uint8_t Byte() { return *m_p++; }
    void AlignDword(const uint8_t* pStart) {
        while ((m_p - pStart) % 4 != 0) {
            ++m_p;
        }
    }
    // A zero-terminated UTF-16 string, as code page 932; an ordinal (0xFFFF, then its number) as "#n".
    std::string Text() {
        if (std::memcmp(m_p, "\xFF\xFF", 2) == 0) {
            Word();
            return "#" + std::to_string(Word());
        }
        std::wstring wide;
        for (uint16_t c = Word(); c != 0; c = Word()) {
            wide.push_back(static_cast<wchar_t>(c));
        }
        return Narrow(wide);
    }
    static std::string Narrow(const std::wstring& wide) {
        if (wide.empty()) {
            return {};
        }
        const int nBytes = WideCharToMultiByte(932, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
        std::string text(static_cast<size_t>(nBytes), '\0');
        WideCharToMultiByte(932, 0, wide.c_str(), -1, text.data(), nBytes, nullptr, nullptr);
        text.pop_back();
        return text;
    }

private:
    const uint8_t* m_p;
};

TEST(Win32Resources, TheSettingsPageIsADialogResourceOfTheTemplateData) {
    const DialogTemplate& want = *FindDialogTemplate("DLG_CONFIG");
    HRSRC hInfo = FindResourceA(nullptr, "DLG_CONFIG", MAKEINTRESOURCEA(5)); // RT_DIALOG
    ASSERT_NE(hInfo, nullptr);
    HGLOBAL hData = LoadResource(nullptr, hInfo);
    ASSERT_NE(hData, nullptr);
    const auto* pStart = static_cast<const uint8_t*>(LockResource(hData));
    ASSERT_NE(pStart, nullptr);
    TemplateReader in(pStart);
    EXPECT_EQ(in.Word(), 1u); // extended template, version 1
    EXPECT_EQ(in.Word(), 0xFFFFu);
    in.Dword(); // help id
    EXPECT_EQ(in.Dword(), want.dwExStyle);
    EXPECT_EQ(in.Dword(), want.dwStyle);
    const uint16_t wItems = in.Word();
    ASSERT_EQ(wItems, 26u);
    ASSERT_EQ(want.nItems, 26);
    for (int16_t v : {want.x, want.y, want.cx, want.cy}) {
        EXPECT_EQ(static_cast<int16_t>(in.Word()), v);
    }
    EXPECT_EQ(in.Text(), ""); // no menu
    EXPECT_EQ(in.Text(), ""); // the dialog class
    EXPECT_EQ(in.Text(), want.pszCaption);
    EXPECT_EQ(in.Word(), want.wPointSize);
    EXPECT_EQ(in.Word(), want.wWeight);
    EXPECT_EQ(in.Byte(), want.bItalic ? 1u : 0u);
    EXPECT_EQ(in.Byte(), want.bCharSet);
    EXPECT_EQ(in.Text(), want.pszFace);
    // The resource compiler may write the predefined classes as their ordinals, and class names compare
    // without regard to case.
    const auto className = [](const std::string& text) {
        const char* const apszNames[] = {"BUTTON", "EDIT", "STATIC", "LISTBOX", "SCROLLBAR", "COMBOBOX"};
        std::string name = text.size() > 1 && text[0] == '#'
                               ? std::string(apszNames[std::stoi(text.substr(1)) - 0x80])
                               : text;
        for (char& c : name) {
            c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
        }
        return name;
    };
    for (int i = 0; i < wItems; ++i) {
        const DialogItemTemplate& item = want.pItems[i];
        in.AlignDword(pStart);
        in.Dword(); // help id
        EXPECT_EQ(in.Dword(), item.dwExStyle) << i;
        EXPECT_EQ(in.Dword(), item.dwStyle) << i;
        for (int16_t v : {item.x, item.y, item.cx, item.cy}) {
            EXPECT_EQ(static_cast<int16_t>(in.Word()), v) << i;
        }
        EXPECT_EQ(static_cast<int32_t>(in.Dword()), item.nId) << i;
        EXPECT_EQ(className(in.Text()), className(item.pszClass)) << i;
        EXPECT_EQ(in.Text(), item.pszText ? item.pszText : "") << i;
        EXPECT_EQ(in.Word(), 0u) << i; // no creation data
    }
}

// The page in each language the module speaks, tagged with it, for the resource loader to choose: the
// Japanese one with its own caption and face, the English one in a face every Windows has.
TEST(Win32Resources, TheSettingsPageIsThereInJapaneseAndInEnglish) {
    const struct {
        WORD wLanguage;
        const char* pszCaption;
        const char* pszFace;
        uint16_t wPoints;
    } pages[] = {{MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT), "Lumivorra 設定", "ＭＳ Ｐゴシック", 9},
                 {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), "Lumivorra Settings", "MS Shell Dlg", 8}};
    for (const auto& page : pages) {
        HRSRC hInfo = FindResourceExA(nullptr, MAKEINTRESOURCEA(5), "DLG_CONFIG", page.wLanguage);
        ASSERT_NE(hInfo, nullptr) << page.pszCaption;
        TemplateReader in(static_cast<const uint8_t*>(LockResource(LoadResource(nullptr, hInfo))));
        in.Word();
        in.Word();
        in.Dword();
        in.Dword();
        in.Dword();
        EXPECT_EQ(in.Word(), 26u) << page.pszCaption;
        for (int i = 0; i < 4; ++i) {
            in.Word();
        }
        in.Text();
        in.Text();
        EXPECT_EQ(in.Text(), page.pszCaption);
        EXPECT_EQ(in.Word(), page.wPoints) << page.pszCaption;
        in.Word();
        in.Byte();
        in.Byte();
        EXPECT_EQ(in.Text(), page.pszFace);
    }
    // The program's texts come from the string table of the same language as the page that opens.
    EXPECT_STREQ(FindDialogTemplate("DLG_CONFIG")->pszCaption,
                 std::strcmp(PlatformLanguage(), "en") == 0 ? "Lumivorra Settings" : "Lumivorra 設定");
}

// Every text of the string table reads back as the compiled-in catalog has it (quotes, line ends and the
// code page included), in the language the loader picked.
TEST(Win32Resources, TheStringTableHoldsEveryCatalogTextInTheUsersLanguage) {
    const char* pszLanguage = PlatformLanguage();
    ASSERT_GT(g_nCatalogTexts, 0);
    for (int32_t i = 0; i < g_nCatalogTexts; ++i) {
        const char* pszEnglish = g_apszCatalogEnglish[i];
        const char* pszWanted = CatalogText(pszLanguage, i);
        EXPECT_STREQ(PlatformTranslate(pszEnglish), pszWanted != nullptr ? pszWanted : pszEnglish) << i;
    }
}

// A MIDI driver that takes a long message and never gives its buffer back, even after a reset. Time is
// simulated: each of the output's pauses lasts s_dwGranularityMs on the clock, as Sleep(1) does at the
// timer's resolution (1 ms once raised, 15.6 ms at the system's default).
struct StuckDriver {
    static inline uint32_t s_dwGranularityMs = 1;
    static inline uint32_t s_dwClockMs = 0;
    static inline int s_nPauses = 0;
    static inline int s_nResets = 0;
    static inline const uint8_t* s_pSent = nullptr;
    static inline std::vector<uint8_t> s_sent;

    static void Start(uint32_t dwGranularityMs) {
        s_dwGranularityMs = dwGranularityMs;
        s_dwClockMs = 0xFFFFF000u; // close to the clock's wrap, which the waits must survive
        s_nPauses = 0;
        s_nResets = 0;
        s_pSent = nullptr;
        s_sent.clear();
    }
    static MMRESULT WINAPI Open(LPHMIDIOUT phOut, UINT, DWORD_PTR, DWORD_PTR, DWORD) {
        *phOut = reinterpret_cast<HMIDIOUT>(0x1234);
        return MMSYSERR_NOERROR;
    }
    static MMRESULT WINAPI ShortMsg(HMIDIOUT, DWORD) { return MMSYSERR_NOERROR; }
    static MMRESULT WINAPI Prepare(HMIDIOUT, LPMIDIHDR, UINT) { return MMSYSERR_NOERROR; }
    static MMRESULT WINAPI LongMsg(HMIDIOUT, LPMIDIHDR pHeader, UINT) {
        s_pSent = reinterpret_cast<const uint8_t*>(pHeader->lpData);
        s_sent.assign(s_pSent, s_pSent + pHeader->dwBufferLength);
        return MMSYSERR_NOERROR;
    }
    static MMRESULT WINAPI Unprepare(HMIDIOUT, LPMIDIHDR, UINT) {
        // Far past any bound: give up being stuck, so that an unbounded wait fails instead of hanging.
        return s_nPauses > 600000 ? MMSYSERR_NOERROR : MIDIERR_STILLPLAYING;
    }
    static MMRESULT WINAPI Reset(HMIDIOUT) {
        ++s_nResets;
        return MMSYSERR_NOERROR;
    }
    static MMRESULT WINAPI Close(HMIDIOUT) { return MMSYSERR_NOERROR; }
    static void WINAPI Pause(DWORD) {
        ++s_nPauses;
        s_dwClockMs += s_dwGranularityMs;
    }
    static DWORD WINAPI Time() { return s_dwClockMs; }
};

TEST(Win32MidiOut, AStuckDriverHoldsALongMessageForAboutTwoSecondsAtAnyTimerGranularity) {
    static const WinMidiCalls calls = {StuckDriver::Open,    StuckDriver::ShortMsg,  StuckDriver::Prepare,
                                       StuckDriver::LongMsg, StuckDriver::Unprepare, StuckDriver::Reset,
                                       StuckDriver::Close,   StuckDriver::Pause,     StuckDriver::Time};
    for (const uint32_t dwGranularityMs : {1u, 16u}) {
        SCOPED_TRACE(dwGranularityMs);
        StuckDriver::Start(dwGranularityMs);
        const uint32_t dwStart = StuckDriver::s_dwClockMs;
        WinMidiOut output(calls);
        ASSERT_EQ(output.Open(), 0);
        std::vector<uint8_t> message = {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
        output.LongMsg(message.data(), static_cast<uint32_t>(message.size()));
        const uint32_t dwHeldMs = StuckDriver::s_dwClockMs - dwStart;
        // A second for the driver to finish, and one more after the reset: never a bound counted in
        // pauses, which the coarse timer would stretch to half a minute.
        EXPECT_GE(dwHeldMs, 2000u);
        EXPECT_LE(dwHeldMs, 2000u + 2 * dwGranularityMs);
        EXPECT_EQ(StuckDriver::s_nResets, 1); // the reset that asks the driver for its buffers
        // The driver was given a copy, which it may keep: the caller's bytes are its own to free.
        EXPECT_NE(StuckDriver::s_pSent, message.data());
        EXPECT_EQ(StuckDriver::s_sent, message);
    }
}

// Two monitors beside the primary, whatever the machine has; and where they are once the primary has
// switched to 320x240.
std::vector<RECT> TwoMoreMonitors() {
    return {RECT{1024, 0, 1664, 480}, RECT{-800, 100, 0, 700}};
}
std::vector<RECT> TwoMoreMonitorsMoved() {
    return {RECT{320, 0, 960, 480}, RECT{-800, 100, 0, 700}};
}

RECT WindowRect(HWND hWnd) {
    RECT rect{};
    GetWindowRect(hWnd, &rect);
    return rect;
}

std::vector<uint32_t> g_mainMessages;

intptr_t RecordingProc(WindowHandle hWnd, uint32_t uMsg, uintptr_t wParam, intptr_t lParam) {
    g_mainMessages.push_back(uMsg);
    return PlatformDefWindowProc(hWnd, uMsg, wParam, lParam);
}

// A full-screen window made beside two more monitors, with its two covers.
void MakeCoveredRun(HWND& hMain, std::vector<HWND>& covers) {
    SetMonitorSource(TwoMoreMonitors);
    ASSERT_TRUE(
        PlatformRegisterClass(WindowClass{RecordingProc, GetModuleHandleA(nullptr), 0, "LvMonitorTest"}));
    hMain = reinterpret_cast<HWND>(PlatformCreateMainWindow("LvMonitorTest", "main", 1, 320, 240));
    SetMonitorSource(nullptr);
    ASSERT_NE(hMain, nullptr);
    covers = CoverWindows(hMain);
    ASSERT_EQ(covers.size(), 2u);
}

TEST(Win32Monitors, AFullScreenRunCoversEveryOtherMonitorUntilItsWindowGoes) {
    HWND hMain = nullptr;
    std::vector<HWND> covers;
    ASSERT_NO_FATAL_FAILURE(MakeCoveredRun(hMain, covers));
    for (size_t i = 0; i < covers.size(); ++i) {
        const RECT rect = WindowRect(covers[i]);
        const RECT expected = TwoMoreMonitors()[i];
        EXPECT_TRUE(EqualRect(&rect, &expected)) << i;
        EXPECT_TRUE(IsWindowVisible(covers[i])) << i;
        EXPECT_NE(GetWindowLongA(covers[i], GWL_EXSTYLE) & WS_EX_TOPMOST, 0) << i;
        EXPECT_EQ(GetClassLongPtrA(covers[i], GCLP_HBRBACKGROUND),
                  reinterpret_cast<LONG_PTR>(GetStockObject(BLACK_BRUSH)));
    }
    // Input on another monitor is input to the run; a system key is not.
    g_mainMessages.clear();
    for (const UINT uMsg :
         {WM_KEYDOWN, WM_SYSKEYDOWN, WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_MBUTTONDOWN, WM_RBUTTONDOWN}) {
        SendMessageA(covers[1], uMsg, 0, 0);
    }
    EXPECT_EQ(g_mainMessages, (std::vector<uint32_t>{WM_KEYDOWN, WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_MBUTTONDOWN,
                                                     WM_RBUTTONDOWN}));
    // The mode change moves the monitors; the covers follow.
    SetMonitorSource(TwoMoreMonitorsMoved);
    SendMessageA(covers[0], WM_DISPLAYCHANGE, 16, MAKELPARAM(320, 240));
    SendMessageA(covers[1], WM_DISPLAYCHANGE, 16, MAKELPARAM(320, 240));
    SetMonitorSource(nullptr);
    for (size_t i = 0; i < covers.size(); ++i) {
        const RECT rect = WindowRect(covers[i]);
        const RECT expected = TwoMoreMonitorsMoved()[i];
        EXPECT_TRUE(EqualRect(&rect, &expected)) << i;
    }
    // A plain window covers nothing.
    const HWND hPlain =
        reinterpret_cast<HWND>(PlatformCreateMainWindow("LvMonitorTest", "plain", 2, 320, 240));
    EXPECT_TRUE(CoverWindows(hPlain).empty());
    DestroyWindow(hPlain);
    DestroyWindow(hMain);
    EXPECT_TRUE(CoverWindows(hMain).empty());
    for (const HWND hCover : covers) {
        EXPECT_FALSE(IsWindow(hCover));
    }
}

// Alt+F4 where a cover has the keyboard (the last window made is the active one) asks the run to close:
// the cover must not go alone and leave its monitor's desktop beside the picture.
TEST(Win32Monitors, ClosingACoverClosesTheRunAndEveryCover) {
    HWND hMain = nullptr;
    std::vector<HWND> covers;
    ASSERT_NO_FATAL_FAILURE(MakeCoveredRun(hMain, covers));
    g_mainMessages.clear();
    SendMessageA(covers[0], WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_NE(std::find(g_mainMessages.begin(), g_mainMessages.end(), WM_CLOSE), g_mainMessages.end());
    // The main window's own close rules ended it (here its default procedure), and the covers with it.
    EXPECT_FALSE(IsWindow(hMain));
    for (const HWND hCover : covers) {
        EXPECT_FALSE(IsWindow(hCover));
    }
    if (IsWindow(hMain)) {
        DestroyWindow(hMain);
    }
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
