#include "platform/Window.h"

#include "platform/win32/Monitors.h"

#include <windows.h>

#include <cstring>
#include <mutex>

// In the import library, not in the headers.
extern "C" BOOL WINAPI WINNLSEnableIME(HWND hWnd, BOOL bEnable);

namespace {
// The framework's procedures have the platform's calling convention, which in 32-bit is not the
// window procedure's: every class gets WindowMain, which finds the class's procedure by the class name.
struct ClassProc {
    char szName[64];
    WindowProc pfnProc;
};
constexpr int kMaxClasses = 8;
ClassProc g_Classes[kMaxClasses];
int g_nClasses = 0;
std::mutex g_ClassLock;

WindowProc FindClassProc(HWND hWnd) {
    char szName[64] = {};
    if (GetClassNameA(hWnd, szName, sizeof(szName)) == 0) {
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(g_ClassLock);
    for (int i = 0; i < g_nClasses; ++i) {
        if (lstrcmpiA(g_Classes[i].szName, szName) == 0) {
            return g_Classes[i].pfnProc;
        }
    }
    return nullptr;
}

LRESULT CALLBACK WindowMain(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    const WindowProc pfnProc = FindClassProc(hWnd);
    if (pfnProc == nullptr) {
        return DefWindowProcA(hWnd, uMsg, wParam, lParam);
    }
    return pfnProc(reinterpret_cast<WindowHandle>(hWnd), uMsg, wParam, lParam);
}

HWND Native(WindowHandle hWnd) {
    return reinterpret_cast<HWND>(hWnd);
}
} // namespace

bool PlatformRegisterClass(const WindowClass& wc) {
    HINSTANCE hInstance = static_cast<HINSTANCE>(const_cast<void*>(wc.hInstance));
    {
        std::lock_guard<std::mutex> lock(g_ClassLock);
        bool bKnown = false;
        for (int i = 0; i < g_nClasses; ++i) {
            bKnown = bKnown || lstrcmpiA(g_Classes[i].szName, wc.pszClassName) == 0;
        }
        if (!bKnown) {
            if (g_nClasses == kMaxClasses || std::strlen(wc.pszClassName) >= sizeof(g_Classes[0].szName)) {
                return false;
            }
            lstrcpyA(g_Classes[g_nClasses].szName, wc.pszClassName);
            g_Classes[g_nClasses].pfnProc = wc.pfnWndProc;
            ++g_nClasses;
        }
    }
    WNDCLASSA cls{};
    cls.style = 0;
    cls.lpfnWndProc = WindowMain;
    cls.hInstance = hInstance;
    cls.hIcon = wc.nIconId != 0 ? LoadIconA(hInstance, MAKEINTRESOURCEA(wc.nIconId)) : nullptr;
    cls.hCursor = nullptr;
    cls.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    cls.lpszClassName = wc.pszClassName;
    // A second registration of the same class (a second window of the process) finds it in place.
    return RegisterClassA(&cls) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

WindowHandle PlatformCreateMainWindow(const char* pszClassName, const char* pszTitle, uint8_t bWinMode,
                                      int32_t nWidth, int32_t nHeight) {
    const HINSTANCE hInstance = GetModuleHandleA(nullptr);
    HWND hWnd = nullptr;
    if (bWinMode == 1) {
        hWnd = CreateWindowExA(WS_EX_APPWINDOW, pszClassName, pszTitle, WS_POPUP | WS_VISIBLE | WS_SYSMENU, 0,
                               0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr,
                               nullptr, hInstance, nullptr);
        if (hWnd != nullptr) {
            WINNLSEnableIME(nullptr, FALSE);
            ShowCursor(FALSE);
            CoverSecondaryMonitors(hWnd);
        }
    } else if (bWinMode == 2) {
        RECT rect{0, 0, nWidth, nHeight};
        AdjustWindowRectEx(&rect, WS_OVERLAPPEDWINDOW, FALSE, WS_EX_APPWINDOW);
        hWnd = CreateWindowExA(WS_EX_APPWINDOW, pszClassName, pszTitle, WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                               CW_USEDEFAULT, CW_USEDEFAULT, rect.right - rect.left, rect.bottom - rect.top,
                               nullptr, nullptr, hInstance, nullptr);
    }
    return reinterpret_cast<WindowHandle>(hWnd);
}

WindowHandle PlatformCreatePreviewWindow(const char* pszClassName, const char* pszTitle,
                                         WindowHandle hParent) {
    RECT rect{};
    if (!GetClientRect(Native(hParent), &rect)) {
        return 0;
    }
    AdjustWindowRect(&rect, WS_CHILD, FALSE);
    const HWND hWnd =
        CreateWindowExA(0, pszClassName, pszTitle, WS_CHILD | WS_VISIBLE, 0, 0, rect.right - rect.left,
                        rect.bottom - rect.top, Native(hParent), nullptr, GetModuleHandleA(nullptr), nullptr);
    return reinterpret_cast<WindowHandle>(hWnd);
}

void PlatformSetWindowData(WindowHandle hWnd, void* pData) {
    SetWindowLongPtrA(Native(hWnd), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(pData));
}

void* PlatformGetWindowData(WindowHandle hWnd) {
    return reinterpret_cast<void*>(GetWindowLongPtrA(Native(hWnd), GWLP_USERDATA));
}

void PlatformUpdateWindow(WindowHandle hWnd) {
    UpdateWindow(Native(hWnd));
}

intptr_t PlatformDefWindowProc(WindowHandle hWnd, uint32_t uMsg, uintptr_t wParam, intptr_t lParam) {
    return DefWindowProcA(Native(hWnd), uMsg, wParam, lParam);
}

bool PlatformPostMessage(WindowHandle hWnd, uint32_t uMsg, uintptr_t wParam, intptr_t lParam) {
    return PostMessageA(Native(hWnd), uMsg, wParam, lParam) != FALSE;
}

void PlatformPostQuitMessage(int32_t nExitCode) {
    PostQuitMessage(nExitCode);
}

int32_t PlatformGetMessage(WindowMsg* pMsg) {
    MSG msg{};
    const BOOL bResult = GetMessageA(&msg, nullptr, 0, 0);
    pMsg->hWnd = reinterpret_cast<WindowHandle>(msg.hwnd);
    pMsg->uMsg = msg.message;
    pMsg->wParam = msg.wParam;
    pMsg->lParam = msg.lParam;
    return bResult == -1 ? -1 : (bResult != 0 ? 1 : 0);
}

intptr_t PlatformDispatchMessage(const WindowMsg& wm) {
    MSG msg{};
    msg.hwnd = Native(wm.hWnd);
    msg.message = wm.uMsg;
    msg.wParam = wm.wParam;
    msg.lParam = wm.lParam;
    msg.time = static_cast<DWORD>(GetMessageTime());
    const DWORD dwPos = GetMessagePos();
    msg.pt.x = static_cast<short>(LOWORD(dwPos));
    msg.pt.y = static_cast<short>(HIWORD(dwPos));
    TranslateMessage(&msg);
    return DispatchMessageA(&msg);
}

bool PlatformFindWindow(const char* pszClassName, const char* pszTitle) {
    return FindWindowA(pszClassName, pszTitle) != nullptr;
}
