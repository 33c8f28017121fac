#include "platform/win32/Monitors.h"

#include <algorithm>
#include <mutex>

namespace {

const char kCoverClass[] = "LumivorraCover";

std::mutex g_Lock;
std::vector<HWND> g_Covers;
MonitorSource g_pfnSource = nullptr;

BOOL CALLBACK AddSecondary(HMONITOR hMonitor, HDC, LPRECT, LPARAM lParam) {
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    if (GetMonitorInfoA(hMonitor, &info) && (info.dwFlags & MONITORINFOF_PRIMARY) == 0) {
        reinterpret_cast<std::vector<RECT>*>(lParam)->push_back(info.rcMonitor);
    }
    return TRUE;
}

std::vector<RECT> SecondaryMonitors() {
    return (g_pfnSource != nullptr ? g_pfnSource : SystemSecondaryMonitors)();
}

// After a mode change the monitors beside the primary move (the primary's new size pushes them): each
// cover follows its monitor, the n-th cover the n-th monitor.
void FitCover(HWND hCover) {
    size_t nIndex = 0;
    {
        std::lock_guard<std::mutex> lock(g_Lock);
        nIndex = static_cast<size_t>(std::find(g_Covers.begin(), g_Covers.end(), hCover) - g_Covers.begin());
    }
    const std::vector<RECT> monitors = SecondaryMonitors();
    if (nIndex < monitors.size()) {
        const RECT& rc = monitors[nIndex];
        SetWindowPos(hCover, HWND_TOPMOST, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top,
                     SWP_NOACTIVATE);
    }
}

LRESULT CALLBACK CoverProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    switch (uMsg) {
    case WM_DISPLAYCHANGE:
        FitCover(hWnd);
        return 0;
    case WM_KEYDOWN:
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_RBUTTONDOWN:
        // The close rules look at the message only, not where the pointer is.
        if (const HWND hOwner = GetWindow(hWnd, GW_OWNER)) {
            return SendMessageA(hOwner, uMsg, wParam, lParam);
        }
        return 0;
    case WM_CLOSE:
        // A close asked of a cover (Alt+F4 where it has the keyboard, as the last window made does) is
        // the run's to answer: the cover alone going would show that monitor's desktop beside the picture.
        if (const HWND hOwner = GetWindow(hWnd, GW_OWNER)) {
            return SendMessageA(hOwner, WM_CLOSE, 0, 0);
        }
        break;
    case WM_DESTROY: {
        std::lock_guard<std::mutex> lock(g_Lock);
        g_Covers.erase(std::remove(g_Covers.begin(), g_Covers.end(), hWnd), g_Covers.end());
        return 0;
    }
    default:
        break;
    }
    return DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

} // namespace

std::vector<RECT> SystemSecondaryMonitors() {
    std::vector<RECT> monitors;
    EnumDisplayMonitors(nullptr, nullptr, AddSecondary, reinterpret_cast<LPARAM>(&monitors));
    return monitors;
}

void SetMonitorSource(MonitorSource pfnSource) {
    g_pfnSource = pfnSource;
}

void CoverSecondaryMonitors(HWND hMain) {
    const HINSTANCE hInstance = GetModuleHandleA(nullptr);
    WNDCLASSA cls{};
    cls.lpfnWndProc = CoverProc;
    cls.hInstance = hInstance;
    cls.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    cls.lpszClassName = kCoverClass;
    if (RegisterClassA(&cls) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        return;
    }
    for (const RECT& rc : SecondaryMonitors()) {
        // Owned by the main window: above it, out of the task bar, and destroyed with it.
        const HWND hCover = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kCoverClass, "",
                                            WS_POPUP | WS_VISIBLE, rc.left, rc.top, rc.right - rc.left,
                                            rc.bottom - rc.top, hMain, nullptr, hInstance, nullptr);
        if (hCover != nullptr) {
            std::lock_guard<std::mutex> lock(g_Lock);
            g_Covers.push_back(hCover);
        }
    }
}

void UncoverSecondaryMonitors(HWND hMain) {
    for (const HWND hCover : CoverWindows(hMain)) {
        DestroyWindow(hCover);
    }
}

std::vector<HWND> CoverWindows(HWND hMain) {
    std::lock_guard<std::mutex> lock(g_Lock);
    std::vector<HWND> covers;
    for (const HWND hCover : g_Covers) {
        if (GetWindow(hCover, GW_OWNER) == hMain) {
            covers.push_back(hCover);
        }
    }
    return covers;
}
