// lumivorra-scr-driver: the other program that the screen saver meets under Wine. It plays the parts of
// the user (keys, buttons, mouse moves), of the screen-saver host (a window to draw a preview in) and of
// an observer (the display mode, the screen's pixels), one step after another as the arguments say:
//
//     lumivorra-scr-driver wait 20000 mode pixels 20000 7680 send move send key gone 10000 mode
//     lumivorra-scr-driver wait 20000 letterbox main windows send-cover lbutton gone 10000 windows
//
// Each step prints one line on stdout (flushed at once, since the test reads it from a file while the
// driver runs). Exit code 0 when every step succeeded, 2 when a wait timed out, 3 on bad arguments.
// Every wait pumps this thread's messages: a host window must answer the messages that a child window
// of another process sends it while it is created.
#include <windows.h>

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

const char kClass[] = "Lumivorra";
const char kTitle[] = "Lumivorra";
const char kHostClass[] = "LumivorraTestHost";
const char kCoverClass[] = "LumivorraCover"; // the black windows on the monitors beside the primary
const char kKey[] = "Software\\quillo\\Lumivorra";

HWND g_hHost = nullptr;

void Say(const char* pszFormat, ...) {
    va_list args;
    va_start(args, pszFormat);
    std::vprintf(pszFormat, args);
    va_end(args);
    std::fflush(stdout);
}

unsigned long long Handle(HWND hWnd) {
    return static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(hWnd));
}

// Waits nMs, answering this thread's messages meanwhile.
void Pump(DWORD nMs) {
    const DWORD dwEnd = GetTickCount() + nMs;
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        const DWORD dwNow = GetTickCount();
        if (static_cast<LONG>(dwEnd - dwNow) <= 0) {
            return;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, dwEnd - dwNow, QS_ALLINPUT);
    }
}

// The screen saver's window: top-level by class and title, or the child of the host window.
HWND FindSaver() {
    if (g_hHost != nullptr) {
        return FindWindowExA(g_hHost, nullptr, kClass, kTitle);
    }
    return FindWindowA(kClass, kTitle);
}

HWND WaitSaver(DWORD nMs) {
    const DWORD dwStart = GetTickCount();
    for (;;) {
        if (HWND hWnd = FindSaver()) {
            return hWnd;
        }
        if (GetTickCount() - dwStart >= nMs) {
            return nullptr;
        }
        Pump(20);
    }
}

void Describe(const char* pszWhat, HWND hWnd) {
    RECT window{};
    RECT client{};
    GetWindowRect(hWnd, &window);
    GetClientRect(hWnd, &client);
    Say("%s %llu rect=%ld,%ld,%ld,%ld client=%ldx%ld style=%lx exstyle=%lx parent=%llu\n", pszWhat,
        Handle(hWnd), window.left, window.top, window.right, window.bottom, client.right, client.bottom,
        static_cast<unsigned long>(GetWindowLongA(hWnd, GWL_STYLE)),
        static_cast<unsigned long>(GetWindowLongA(hWnd, GWL_EXSTYLE)), Handle(GetParent(hWnd)));
}

// The first window that covers a monitor beside the primary for the screen saver.
HWND FindCover() {
    return FindWindowA(kCoverClass, nullptr);
}

// The input a user gives, delivered synchronously: when the step returns the window procedure has run.
// bCover: to the window on another monitor instead of the main one.
bool Send(const char* pszWhat, bool bCover = false) {
    struct Input {
        const char* pszName;
        UINT uMsg;
        WPARAM wParam;
    };
    static const Input kInputs[] = {
        {"key", WM_KEYDOWN, 'A'},
        {"esc", WM_KEYDOWN, VK_ESCAPE},
        {"syskey", WM_SYSKEYDOWN, VK_MENU},
        {"move", WM_MOUSEMOVE, 0},
        {"lbutton", WM_LBUTTONDOWN, MK_LBUTTON},
        {"mbutton", WM_MBUTTONDOWN, MK_MBUTTON},
        {"rbutton", WM_RBUTTONDOWN, MK_RBUTTON},
    };
    for (const Input& input : kInputs) {
        if (std::strcmp(pszWhat, input.pszName) == 0) {
            const HWND hWnd = bCover ? FindCover() : FindSaver();
            DWORD_PTR dwResult = 0;
            const bool bSent =
                hWnd != nullptr && SendMessageTimeoutA(hWnd, input.uMsg, input.wParam, MAKELPARAM(10, 20),
                                                       SMTO_ABORTIFHUNG, 5000, &dwResult) != 0;
            Say("sent %s %d\n", pszWhat, bSent ? 1 : 0);
            return bSent;
        }
    }
    return false;
}

// The current display mode. (Under Wine's virtual desktop a 16-bit mode is emulated on the 24-bit
// screen and reported with 32 bits; the pixels tell the 16-bit layout.)
void Mode() {
    DEVMODEA mode{};
    mode.dmSize = sizeof(mode);
    EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode);
    Say("mode %lux%lu\n", mode.dmPelsWidth, mode.dmPelsHeight);
}

struct Picture {
    int nWidth = 0;
    int nHeight = 0;
    long lNonBlack = 0;
    long lBright = 0;
    long long llSum = 0; // of every channel of every pixel
    int nLevels[3] = {}; // distinct values of red, green and blue
};

// The screen's pixels in area (screen coordinates), 0x00RRGGBB, rows from the top, read back through GDI.
std::vector<uint32_t> Grab(const RECT& area) {
    const int nWidth = area.right - area.left;
    const int nHeight = area.bottom - area.top;
    std::vector<uint32_t> pixels;
    if (nWidth <= 0 || nHeight <= 0) {
        return pixels;
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = nWidth;
    info.bmiHeader.biHeight = -nHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* pBits = nullptr;
    const HDC hScreen = GetDC(nullptr);
    const HDC hMemory = CreateCompatibleDC(hScreen);
    const HBITMAP hBitmap = CreateDIBSection(hScreen, &info, DIB_RGB_COLORS, &pBits, nullptr, 0);
    if (hBitmap != nullptr) {
        const HGDIOBJ hOld = SelectObject(hMemory, hBitmap);
        BitBlt(hMemory, 0, 0, nWidth, nHeight, hScreen, area.left, area.top, SRCCOPY);
        SelectObject(hMemory, hOld);
        const uint32_t* pPixels = static_cast<const uint32_t*>(pBits);
        pixels.resize(static_cast<size_t>(nWidth) * nHeight);
        for (size_t i = 0; i < pixels.size(); ++i) {
            pixels[i] = pPixels[i] & 0xFFFFFF;
        }
        DeleteObject(hBitmap);
    }
    DeleteDC(hMemory);
    ReleaseDC(nullptr, hScreen);
    return pixels;
}

// The client area of hWnd on the screen, clipped to the screen.
RECT ScreenArea(HWND hWnd) {
    RECT area{GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN), 0, 0};
    area.right = area.left + GetSystemMetrics(SM_CXVIRTUALSCREEN);
    area.bottom = area.top + GetSystemMetrics(SM_CYVIRTUALSCREEN);
    if (hWnd != nullptr) {
        RECT client{};
        GetClientRect(hWnd, &client);
        MapWindowPoints(hWnd, nullptr, reinterpret_cast<POINT*>(&client), 2);
        IntersectRect(&area, &area, &client);
    }
    return area;
}

// The pixels of the screen saver's client area on the screen (or of the whole screen without it);
// bCentre: only its middle 320x240 at most, which reads faster than a large area.
Picture ReadScreen(bool bCentre = false) {
    RECT area = ScreenArea(FindSaver());
    if (bCentre) {
        const LONG nWidth = std::min<LONG>(area.right - area.left, 320);
        const LONG nHeight = std::min<LONG>(area.bottom - area.top, 240);
        area.left += (area.right - area.left - nWidth) / 2;
        area.top += (area.bottom - area.top - nHeight) / 2;
        area.right = area.left + nWidth;
        area.bottom = area.top + nHeight;
    }
    Picture picture;
    picture.nWidth = area.right - area.left;
    picture.nHeight = area.bottom - area.top;
    bool bSeen[3][256] = {};
    for (const uint32_t rgb : Grab(area)) {
        const int nChannel[3] = {static_cast<int>(rgb >> 16), static_cast<int>((rgb >> 8) & 0xFF),
                                 static_cast<int>(rgb & 0xFF)};
        picture.lNonBlack += rgb != 0 ? 1 : 0;
        picture.lBright += nChannel[0] + nChannel[1] + nChannel[2] > 3 * 0x80 ? 1 : 0;
        picture.llSum += nChannel[0] + nChannel[1] + nChannel[2];
        for (int c = 0; c < 3; ++c) {
            picture.nLevels[c] += bSeen[c][nChannel[c]] ? 0 : 1;
            bSeen[c][nChannel[c]] = true;
        }
    }
    return picture;
}

// How a 320x240 picture letterboxed into a window looks on the screen: the largest centred 4:3 box, the
// pixels outside it that are not black, those inside that are not, and those inside that differ from the
// first screen pixel showing the same picture pixel (0 for a nearest-neighbour scaling, whatever its
// factor). Read up to five times, 200 ms apart, until the box is lit and every pixel agrees: a reading
// may catch the screen between two frames.
void Letterbox(HWND hWnd) {
    const RECT area = ScreenArea(hWnd);
    const long nWidth = area.right - area.left;
    const long nHeight = area.bottom - area.top;
    long nBoxW = nWidth;
    long nBoxH = nWidth * 3 / 4;
    if (nWidth * 3 > nHeight * 4) {
        nBoxW = nHeight * 4 / 3;
        nBoxH = nHeight;
    }
    const long nBoxX = (nWidth - nBoxW) / 2;
    const long nBoxY = (nHeight - nBoxH) / 2;
    long nBars = 0;
    long nLit = 0;
    long nMismatched = -1;
    bool bSeen[3][256] = {};
    for (int nTry = 0; nTry < 5 && hWnd != nullptr && nBoxW > 0 && nBoxH > 0; ++nTry) {
        const std::vector<uint32_t> pixels = Grab(area);
        std::vector<int64_t> first(320 * 240, -1);
        nBars = nLit = nMismatched = 0;
        std::memset(bSeen, 0, sizeof(bSeen));
        for (long y = 0; y < nHeight; ++y) {
            for (long x = 0; x < nWidth; ++x) {
                const uint32_t rgb = pixels[static_cast<size_t>(y * nWidth + x)];
                if (x < nBoxX || x >= nBoxX + nBoxW || y < nBoxY || y >= nBoxY + nBoxH) {
                    nBars += rgb != 0 ? 1 : 0;
                    continue;
                }
                nLit += rgb != 0 ? 1 : 0;
                bSeen[0][rgb >> 16] = bSeen[1][(rgb >> 8) & 0xFF] = bSeen[2][rgb & 0xFF] = true;
                const long sx = (2 * (x - nBoxX) + 1) * 320 / (2 * nBoxW);
                const long sy = (2 * (y - nBoxY) + 1) * 240 / (2 * nBoxH);
                int64_t& seen = first[static_cast<size_t>(sy * 320 + sx)];
                if (seen < 0) {
                    seen = rgb;
                }
                nMismatched += static_cast<uint32_t>(seen) != rgb ? 1 : 0;
            }
        }
        if (nMismatched == 0 && nLit > nBoxW * nBoxH / 10) {
            break;
        }
        Pump(200);
    }
    int nLevels[3] = {};
    for (int c = 0; c < 3; ++c) {
        for (const bool bLevel : bSeen[c]) {
            nLevels[c] += bLevel ? 1 : 0;
        }
    }
    Say("letterbox %ldx%ld box=%ld,%ld,%ld,%ld bars=%ld nonblack=%ld mismatched=%ld levels=%d,%d,%d\n",
        nWidth, nHeight, nBoxX, nBoxY, nBoxW, nBoxH, nBars, nLit, nMismatched, nLevels[0], nLevels[1],
        nLevels[2]);
}

// The windows on the monitors beside the primary, and how many windows of the screen saver are shown.
BOOL CALLBACK SayWindow(HWND hWnd, LPARAM lParam) {
    char szClass[64] = {};
    GetClassNameA(hWnd, szClass, sizeof(szClass));
    const bool bCover = std::strcmp(szClass, kCoverClass) == 0;
    if (IsWindowVisible(hWnd) && (bCover || std::strcmp(szClass, kClass) == 0)) {
        ++*reinterpret_cast<int*>(lParam);
        if (bCover) {
            RECT rect{};
            GetWindowRect(hWnd, &rect);
            Say("cover %llu rect=%ld,%ld,%ld,%ld exstyle=%lx owner=%llu\n", Handle(hWnd), rect.left, rect.top,
                rect.right, rect.bottom, static_cast<unsigned long>(GetWindowLongA(hWnd, GWL_EXSTYLE)),
                Handle(GetWindow(hWnd, GW_OWNER)));
        }
    }
    return TRUE;
}

// Waits up to nMs for at least lMin pixels that are not black (the first frames can take seconds on a
// loaded machine), then reports the picture.
void Pixels(DWORD nMs, long lMin) {
    const DWORD dwStart = GetTickCount();
    Picture picture = ReadScreen();
    while (picture.lNonBlack < lMin && GetTickCount() - dwStart < nMs) {
        Pump(250);
        picture = ReadScreen();
    }
    Say("pixels %dx%d nonblack=%ld bright=%ld levels=%d,%d,%d waited=%lu\n", picture.nWidth, picture.nHeight,
        picture.lNonBlack, picture.lBright, picture.nLevels[0], picture.nLevels[1], picture.nLevels[2],
        GetTickCount() - dwStart);
}

// A key, then the screen read as often as it can be until the window goes: how many readings of the
// full-screen mode were dimmer than half the picture before the key, and how many were black. Only the
// middle of the picture is read, so that the few frames of the fade's end are seen before the window goes.
void Fade(DWORD nMs) {
    const Picture before = ReadScreen(true);
    const long long llArea = static_cast<long long>(before.nWidth) * before.nHeight;
    int nSamples = 0;
    int nDim = 0;
    int nBlack = 0;
    if (Send("key")) {
        const DWORD dwStart = GetTickCount();
        while (FindSaver() != nullptr && GetTickCount() - dwStart < nMs) {
            const Picture picture = ReadScreen(true);
            if (picture.nWidth * static_cast<long long>(picture.nHeight) == llArea &&
                FindSaver() != nullptr) {
                ++nSamples;
                nDim += picture.lNonBlack != 0 && picture.llSum * 2 < before.llSum ? 1 : 0;
                nBlack += picture.lNonBlack == 0 ? 1 : 0;
            }
        }
    }
    Say("fade samples=%d dim=%d black=%d\n", nSamples, nDim, nBlack);
}

LRESULT CALLBACK HostProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

bool Host(int nWidth, int nHeight) {
    WNDCLASSA cls{};
    cls.lpfnWndProc = HostProc;
    cls.hInstance = GetModuleHandleA(nullptr);
    cls.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    cls.lpszClassName = kHostClass;
    RegisterClassA(&cls);
    RECT rect{0, 0, nWidth, nHeight};
    AdjustWindowRect(&rect, WS_OVERLAPPEDWINDOW, FALSE);
    g_hHost = CreateWindowExA(0, kHostClass, "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40,
                              rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr, cls.hInstance,
                              nullptr);
    if (g_hHost == nullptr) {
        return false;
    }
    Say("host %llu\n", Handle(g_hHost));
    return true;
}

// One setting of the screen saver: a number as a DWORD, anything else as a string.
bool SetValue(const char* pszAssignment) {
    const char* pszEquals = std::strchr(pszAssignment, '=');
    if (pszEquals == nullptr) {
        return false;
    }
    char szName[64] = {};
    std::memcpy(szName, pszAssignment, std::min<size_t>(pszEquals - pszAssignment, sizeof(szName) - 1));
    const char* pszValue = pszEquals + 1;
    HKEY hKey = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hKey, nullptr) !=
        ERROR_SUCCESS) {
        return false;
    }
    char* pszEnd = nullptr;
    const unsigned long ulNumber = std::strtoul(pszValue, &pszEnd, 0);
    LONG lResult;
    if (*pszValue != '\0' && *pszEnd == '\0') {
        const DWORD dwNumber = ulNumber;
        lResult = RegSetValueExA(hKey, szName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwNumber), 4);
    } else {
        lResult = RegSetValueExA(hKey, szName, 0, REG_SZ, reinterpret_cast<const BYTE*>(pszValue),
                                 static_cast<DWORD>(std::strlen(pszValue) + 1));
    }
    RegCloseKey(hKey);
    Say("set %s\n", szName);
    return lResult == ERROR_SUCCESS;
}

} // namespace

int main(int argc, char** argv) {
    int nResult = 0;
    auto number = [&](int& i) { return i + 1 < argc ? std::atoi(argv[++i]) : 0; };
    for (int i = 1; i < argc; ++i) {
        const char* pszStep = argv[i];
        if (std::strcmp(pszStep, "wait") == 0) {
            if (HWND hWnd = WaitSaver(number(i))) {
                Describe("window", hWnd);
            } else {
                Say("timeout wait\n");
                return 2;
            }
        } else if (std::strcmp(pszStep, "gone") == 0) {
            const DWORD nMs = number(i);
            const DWORD dwStart = GetTickCount();
            while (FindSaver() != nullptr && GetTickCount() - dwStart < nMs) {
                Pump(20);
            }
            if (FindSaver() != nullptr) {
                Say("timeout gone\n");
                return 2;
            }
            Say("gone %lu\n", GetTickCount() - dwStart);
        } else if (std::strcmp(pszStep, "describe") == 0) {
            // Again once it is shown: "wait" can find the window while CreateWindowEx still makes it.
            if (HWND hWnd = FindSaver()) {
                Describe("shown", hWnd);
            } else {
                Say("missing\n");
                return 2;
            }
        } else if (std::strcmp(pszStep, "alive") == 0) {
            Say("alive %d\n", FindSaver() != nullptr ? 1 : 0);
        } else if (std::strcmp(pszStep, "sleep") == 0) {
            Pump(number(i));
        } else if (std::strcmp(pszStep, "send") == 0 && i + 1 < argc) {
            nResult = Send(argv[++i]) ? nResult : 1;
        } else if (std::strcmp(pszStep, "send-cover") == 0 && i + 1 < argc) {
            nResult = Send(argv[++i], true) ? nResult : 1;
        } else if (std::strcmp(pszStep, "letterbox") == 0 && i + 1 < argc) {
            Letterbox(std::strcmp(argv[++i], "cover") == 0 ? FindCover() : FindSaver());
        } else if (std::strcmp(pszStep, "windows") == 0) {
            int nShown = 0;
            EnumWindows(SayWindow, reinterpret_cast<LPARAM>(&nShown));
            Say("windows %d\n", nShown);
        } else if (std::strcmp(pszStep, "unset") == 0 && i + 1 < argc) {
            HKEY hKey = nullptr;
            const char* pszName = argv[++i];
            if (RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_SET_VALUE, &hKey) == ERROR_SUCCESS) {
                RegDeleteValueA(hKey, pszName);
                RegCloseKey(hKey);
            }
            Say("unset %s\n", pszName);
        } else if (std::strcmp(pszStep, "fade") == 0) {
            Fade(number(i));
        } else if (std::strcmp(pszStep, "moves") == 0) {
            // Up to N mouse moves, nMs apart, until the window goes: how many it took.
            const int nMoves = number(i);
            const DWORD nMs = number(i);
            int nSent = 0;
            while (nSent < nMoves && FindSaver() != nullptr && Send("move")) {
                ++nSent;
                Pump(nMs);
            }
            Say("moves %d\n", nSent);
        } else if (std::strcmp(pszStep, "close") == 0) {
            const HWND hWnd = FindSaver();
            Say("close %d\n", hWnd != nullptr && PostMessageA(hWnd, WM_CLOSE, 0, 0) ? 1 : 0);
        } else if (std::strcmp(pszStep, "mode") == 0) {
            Mode();
        } else if (std::strcmp(pszStep, "pixels") == 0) {
            const DWORD nMs = number(i);
            Pixels(nMs, number(i));
        } else if (std::strcmp(pszStep, "host") == 0) {
            const int nWidth = number(i);
            if (!Host(nWidth, number(i))) {
                return 3;
            }
        } else if (std::strcmp(pszStep, "destroy") == 0) {
            Say("destroyed %d\n", g_hHost != nullptr && DestroyWindow(g_hHost) ? 1 : 0);
            g_hHost = nullptr;
        } else if (std::strcmp(pszStep, "desktop") == 0) {
            Say("desktop %llu\n", Handle(GetDesktopWindow()));
        } else if (std::strcmp(pszStep, "set") == 0 && i + 1 < argc) {
            nResult = SetValue(argv[++i]) ? nResult : 1;
        } else {
            Say("bad step %s\n", pszStep);
            return 3;
        }
    }
    return nResult;
}
