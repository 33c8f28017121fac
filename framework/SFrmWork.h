// SFrmWork: the application framework. It owns the program's one window (full screen, a plain window, or
// a preview child inside a host window), routes the window's messages to virtual hooks, runs a render
// thread that calls OnFrame without pause, latches the frame rate once a second, closes the window on
// input when it runs as a screen saver, and tears everything down in a fixed order.
//
//     app.Start(hInstance, "/s");   // main thread: the switch chooses the mode and returns when it ends
//
// Threads: window creation, the message loop, the input hooks, OnCreate, OnRelease, OnConfig and Shutdown
// run on the main thread; OnThreadStart, OnFrame and OnThreadEnd on the render thread; the latch on the
// frame-rate timer's thread. Nothing is locked: OnCreate returns before the render thread starts and
// OnRelease runs only after it has ended; the three shared integers are atomics.
//
// CreateMainWindow, CreatePreviewWindow and Start throw SString ("failed RegisterClass( &wc ) returned
// FALSE\n", "failed CreateWindowEx(...) returned NULL\n", the mode message, or whatever OnCreate or OnConfig
// throws). An SString thrown on the render thread ends that thread: its message goes to the debug output and
// a close request is posted, so the run ends through the normal stop sequence, and RenderFailed tells the
// entry point that the run ended in an error.
#pragma once

#include "platform/PlatformTypes.h"
#include "platform/Thread.h"
#include "platform/Window.h"

#include <atomic>
#include <cstdint>

// Mouse-move messages seen in screen-saver mode by the whole process; never reset.
extern int32_t g_nMouseMoves;

class SFrmWork {
public:
    SFrmWork();
    SFrmWork(const SFrmWork&) = delete;
    SFrmWork& operator=(const SFrmWork&) = delete;

    // The hooks, in slot order, with the framework's own behaviour.
    virtual intptr_t WndProc(WindowHandle hWnd, uint32_t uMsg, uintptr_t wParam, intptr_t lParam);
    virtual const char* ClassName() { return "App"; }
    virtual const char* WindowName() { return "App"; }
    virtual int32_t IconId() { return 32517; }
    virtual void OnCreate() {}
    virtual void OnRelease() {}
    virtual void OnThreadStart() {}
    virtual void OnThreadEnd() {}
    // Screen-saver mode: every key closes; otherwise only Esc.
    virtual void OnKeyDown(uintptr_t wParam, intptr_t lParam);
    // Screen-saver mode: the fifth and every later move of the process closes.
    virtual void OnMouseMove(uintptr_t wParam, int32_t x, int32_t y);
    // Screen-saver mode: every button closes.
    virtual void OnLButtonDown(uintptr_t wParam, int32_t x, int32_t y);
    virtual void OnMButtonDown(uintptr_t wParam, int32_t x, int32_t y);
    virtual void OnRButtonDown(uintptr_t wParam, int32_t x, int32_t y);
    virtual void OnConfig() {}
    virtual void OnFrame() {}
    // Runs Shutdown; a subclass runs it itself first, before freeing what its OnRelease frees.
    virtual ~SFrmWork();

    // The single-instance test and the dispatch of the screen-saver switch (the second character of the
    // command line). Returns when the chosen mode has ended.
    void Start(ModuleHandle hInstance, const char* pszCmdLine);
    // bWinMode 1 full screen, 2 a plain window with a nWidth x nHeight client area; then OnCreate.
    void CreateMainWindow(ModuleHandle hInstance, uint8_t bWinMode, int32_t nWidth, int32_t nHeight);
    // A child covering hParent's client area (bWinMode 3, no input hooks); then OnCreate.
    void CreatePreviewWindow(ModuleHandle hInstance, WindowHandle hParent);
    // Starts the frame-rate timer and the render thread, then runs the message loop until the quit
    // message; returns its code.
    int32_t Run();
    // Asks the render thread to stop and waits, polling every 100 ms, until it has ended.
    void StopThread();
    // Render thread stopped, timer killed, OnRelease, every field cleared; a second call does nothing.
    void Shutdown();
    // True once an SString has ended the render thread; Shutdown keeps it, for the exit code.
    bool RenderFailed() const { return m_bRenderFailed.load() != 0; }

    static intptr_t MainWndProc(WindowHandle hWnd, uint32_t uMsg, uintptr_t wParam, intptr_t lParam);
    static intptr_t PreviewWndProc(WindowHandle hWnd, uint32_t uMsg, uintptr_t wParam, intptr_t lParam);
    static uint32_t RenderThreadProc(void* pArg);
    static void FpsTimerProc(uint32_t uTimerId, uint32_t uMsg, uintptr_t dwUser, uintptr_t dw1,
                             uintptr_t dw2);

    ModuleHandle m_hInstance;
    WindowHandle m_hWindow;
    uint8_t bWinMode; // 0 none, 1 full screen, 2 windowed, 3 preview child
    ThreadHandle m_hThread;
    std::atomic<int32_t> m_bStop;       // main thread sets it; the render thread reads it before each frame
    uint32_t m_nTimerId;                // the frame-rate timer; 0 when none
    std::atomic<int32_t> m_nFrameCount; // render thread adds, timer thread takes
    std::atomic<int32_t> m_nFps;        // timer thread writes, render thread reads; 0 until the first tick
    int32_t m_bScreenSaver;             // 1: any input closes the window

private:
    void PostClose();

    std::atomic<int32_t> m_bRenderFailed; // render thread sets it; the entry point reads it after the run
};
