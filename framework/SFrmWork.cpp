#include "framework/SFrmWork.h"

#include "framework/Debug.h"
#include "framework/SString.h"
#include "framework/Timer.h"

#include <cstring>

int32_t g_nMouseMoves = 0;

namespace {

// The low and high 16 bits of lParam, unsigned, as the mouse messages carry them.
int32_t LowWord(intptr_t lParam) {
    return static_cast<int32_t>(static_cast<uintptr_t>(lParam) & 0xFFFF);
}
int32_t HighWord(intptr_t lParam) {
    return static_cast<int32_t>((static_cast<uintptr_t>(lParam) >> 16) & 0xFFFF);
}

// atoi's reading: blanks skipped, an optional sign, digits up to the first other character. The value
// wraps in 32 bits instead of being undefined on overflow.
int32_t ReadDecimal(const char* pszText) {
    while (*pszText == ' ' || (*pszText >= '\t' && *pszText <= '\r')) {
        ++pszText;
    }
    const bool bNegative = *pszText == '-';
    if (*pszText == '-' || *pszText == '+') {
        ++pszText;
    }
    uint32_t dwValue = 0;
    for (; *pszText >= '0' && *pszText <= '9'; ++pszText) {
        dwValue = dwValue * 10 + static_cast<uint32_t>(*pszText - '0');
    }
    return static_cast<int32_t>(bNegative ? 0u - dwValue : dwValue);
}

SFrmWork* AttachedObject(WindowHandle hWnd) {
    return static_cast<SFrmWork*>(PlatformGetWindowData(hWnd));
}

} // namespace

SFrmWork::SFrmWork()
    : m_hInstance(nullptr), m_hWindow(0), bWinMode(0), m_hThread(0), m_bStop(0), m_nTimerId(0),
      m_nFrameCount(0), m_nFps(0), m_bScreenSaver(0), m_bRenderFailed(0) {}

SFrmWork::~SFrmWork() {
    Shutdown();
}

void SFrmWork::Start(ModuleHandle hInstance, const char* pszCmdLine) {
    if (PlatformFindWindow(ClassName(), WindowName())) {
        return;
    }
    if (pszCmdLine == nullptr || pszCmdLine[0] == '\0') {
        OnConfig();
        return;
    }
    switch (pszCmdLine[1]) {
    case 'S':
    case 's':
        m_bScreenSaver = 1;
        CreateMainWindow(hInstance, 1, 320, 240);
        Run();
        break;
    case 'c':
        OnConfig();
        break;
    case 'p':
    case 'l': {
        // The handle starts at the fourth character ("/p 724"); a shorter line gives 0.
        const int32_t nParent = std::strlen(pszCmdLine) < 4 ? 0 : ReadDecimal(pszCmdLine + 3);
        CreatePreviewWindow(hInstance, static_cast<WindowHandle>(static_cast<intptr_t>(nParent)));
        Run();
        break;
    }
    default:
        break;
    }
}

void SFrmWork::CreateMainWindow(ModuleHandle hInstance, uint8_t bMode, int32_t nWidth, int32_t nHeight) {
    m_hInstance = hInstance;
    bWinMode = bMode;
    const WindowClass wc{MainWndProc, hInstance, IconId(), ClassName()};
    if (!PlatformRegisterClass(wc)) {
        throw SString(Tr("failed RegisterClass( &wc ) returned FALSE\n"));
    }
    if (bMode != 1 && bMode != 2) {
        throw SString(Tr("bWinMode is invalid. bWinMode=%x\n"), bMode);
    }
    const WindowHandle hWnd = PlatformCreateMainWindow(ClassName(), WindowName(), bMode, nWidth, nHeight);
    if (hWnd == 0) {
        throw SString(Tr("failed CreateWindowEx(...) returned NULL\n"));
    }
    m_hWindow = hWnd;
    PlatformSetWindowData(hWnd, this);
    PlatformUpdateWindow(hWnd);
    OnCreate();
}

void SFrmWork::CreatePreviewWindow(ModuleHandle hInstance, WindowHandle hParent) {
    m_hInstance = hInstance;
    bWinMode = 3;
    // The preview class has no icon.
    const WindowClass wc{PreviewWndProc, hInstance, 0, ClassName()};
    if (!PlatformRegisterClass(wc)) {
        throw SString(Tr("failed RegisterClass( &wc ) returned FALSE\n"));
    }
    const WindowHandle hWnd = PlatformCreatePreviewWindow(ClassName(), WindowName(), hParent);
    if (hWnd == 0) {
        throw SString(Tr("failed CreateWindowEx(...) returned NULL\n"));
    }
    m_hWindow = hWnd;
    PlatformSetWindowData(hWnd, this);
    PlatformUpdateWindow(hWnd);
    OnCreate();
}

int32_t SFrmWork::Run() {
    m_bStop.store(0);
    m_nFrameCount.store(0);
    // Neither failure is reported: without the timer the rate stays 0, without the thread nothing is
    // drawn and the window still closes by the close rules.
    m_nTimerId = TimerSetEvent(1000, FpsTimerProc, reinterpret_cast<uintptr_t>(this));
    m_hThread = PlatformCreateThread(RenderThreadProc, this);
    Trace("SFrmWork: Start Thread.\n");
    WindowMsg msg{};
    for (;;) {
        const int32_t nResult = PlatformGetMessage(&msg);
        if (nResult == 0 || nResult == -1) {
            break;
        }
        PlatformDispatchMessage(msg);
    }
    return static_cast<int32_t>(msg.wParam);
}

uint32_t SFrmWork::RenderThreadProc(void* pArg) {
    SFrmWork* pApp = static_cast<SFrmWork*>(pArg);
    try {
        pApp->OnThreadStart();
        while (pApp->m_bStop.load() == 0) {
            pApp->OnFrame();
            pApp->m_nFrameCount.fetch_add(1, std::memory_order_relaxed);
        }
        pApp->OnThreadEnd();
    } catch (const SString& error) {
        // Nothing above this thread could catch it: end the thread and let the main thread run the
        // stop sequence. The window outlives the thread, since Shutdown waits for it before clearing.
        DebugPrint("%s", error.Text());
        pApp->m_bRenderFailed.store(1);
        PlatformPostMessage(pApp->m_hWindow, WMSG_CLOSE, 0, 0);
    }
    return 1;
}

void SFrmWork::FpsTimerProc(uint32_t, uint32_t, uintptr_t dwUser, uintptr_t, uintptr_t) {
    SFrmWork* pApp = reinterpret_cast<SFrmWork*>(dwUser);
    pApp->m_nFps.store(pApp->m_nFrameCount.exchange(0, std::memory_order_relaxed), std::memory_order_relaxed);
}

void SFrmWork::StopThread() {
    if (m_hThread == 0) {
        return;
    }
    m_bStop.store(1);
    uint32_t dwExitCode = THREAD_STILL_ACTIVE;
    while (PlatformGetExitCodeThread(m_hThread, &dwExitCode) && dwExitCode == THREAD_STILL_ACTIVE) {
        PlatformSleep(100);
    }
    PlatformCloseThread(m_hThread);
    m_hThread = 0;
    Trace("SFrmWork: Exit Thread.\n");
}

void SFrmWork::Shutdown() {
    StopThread();
    if (m_nTimerId != 0) {
        TimerKillEvent(m_nTimerId);
    }
    OnRelease();
    m_hInstance = nullptr;
    m_hWindow = 0;
    bWinMode = 0;
    m_hThread = 0;
    m_bStop.store(0);
    m_nTimerId = 0;
    m_nFrameCount.store(0);
    m_nFps.store(0);
    m_bScreenSaver = 0;
}

void SFrmWork::PostClose() {
    PlatformPostMessage(m_hWindow, WMSG_CLOSE, 0, 0);
}

void SFrmWork::OnKeyDown(uintptr_t wParam, intptr_t) {
    if (m_bScreenSaver != 0 || wParam == VKEY_ESCAPE) {
        PostClose();
    }
}

void SFrmWork::OnMouseMove(uintptr_t, int32_t, int32_t) {
    if (m_bScreenSaver == 0) {
        return;
    }
    // The first four moves of the process are ignored: a fresh window gets moves without any movement.
    if (g_nMouseMoves > 3) {
        PostClose();
    }
    ++g_nMouseMoves;
}

void SFrmWork::OnLButtonDown(uintptr_t, int32_t, int32_t) {
    if (m_bScreenSaver != 0) {
        PostClose();
    }
}

void SFrmWork::OnMButtonDown(uintptr_t, int32_t, int32_t) {
    if (m_bScreenSaver != 0) {
        PostClose();
    }
}

void SFrmWork::OnRButtonDown(uintptr_t, int32_t, int32_t) {
    if (m_bScreenSaver != 0) {
        PostClose();
    }
}

intptr_t SFrmWork::WndProc(WindowHandle hWnd, uint32_t uMsg, uintptr_t wParam, intptr_t lParam) {
    switch (uMsg) {
    case WMSG_DESTROY:
        PlatformPostQuitMessage(0);
        return 0;
    case WMSG_CLOSE:
        Shutdown();
        break;
    case WMSG_KEYDOWN:
        OnKeyDown(wParam, lParam);
        return 0;
    case WMSG_MOUSEMOVE:
        OnMouseMove(wParam, LowWord(lParam), HighWord(lParam));
        break;
    case WMSG_LBUTTONDOWN:
        OnLButtonDown(wParam, LowWord(lParam), HighWord(lParam));
        break;
    case WMSG_MBUTTONDOWN:
        OnMButtonDown(wParam, LowWord(lParam), HighWord(lParam));
        break;
    case WMSG_RBUTTONDOWN:
        OnRButtonDown(wParam, LowWord(lParam), HighWord(lParam));
        break;
    default:
        break;
    }
    return PlatformDefWindowProc(hWnd, uMsg, wParam, lParam);
}

intptr_t SFrmWork::MainWndProc(WindowHandle hWnd, uint32_t uMsg, uintptr_t wParam, intptr_t lParam) {
    SFrmWork* pApp = AttachedObject(hWnd);
    if (pApp != nullptr) {
        return pApp->WndProc(hWnd, uMsg, wParam, lParam);
    }
    return PlatformDefWindowProc(hWnd, uMsg, wParam, lParam);
}

intptr_t SFrmWork::PreviewWndProc(WindowHandle hWnd, uint32_t uMsg, uintptr_t wParam, intptr_t lParam) {
    if (uMsg == WMSG_DESTROY) {
        PlatformPostQuitMessage(0);
        return 0;
    }
    if (uMsg == WMSG_CLOSE) {
        SFrmWork* pApp = AttachedObject(hWnd);
        if (pApp != nullptr) {
            pApp->Shutdown();
        }
    }
    return PlatformDefWindowProc(hWnd, uMsg, wParam, lParam);
}
