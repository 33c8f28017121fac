// Window host service: the program's one window (full screen, a plain window of a given client size, or a
// child of a host window), its input delivered as window messages, and the message loop.
//
// Everything here runs on the main thread, except PlatformPostMessage, which any thread may call. Messages
// carry the Windows numbers and arguments so that SFrmWork's message table is the same on every platform:
// the Windows layer passes them through, the other layers translate their own events into them.
// Windows: window classes and user32; Linux: SDL2 (own child X11 window for a host window); headless: a
// queue that tests fill.
#pragma once

#include "platform/PlatformTypes.h"

#include <cstdint>

// A window; 0 is none. Windows: an HWND; Linux: an X11 window id or an SDL window of the host's own.
using WindowHandle = uintptr_t;

// The messages the framework handles, numbered as on Windows.
enum WindowMessage : uint32_t {
    WMSG_DESTROY = 0x0002,     // the window is being destroyed
    WMSG_CLOSE = 0x0010,       // a close request; the default procedure destroys the window
    WMSG_KEYDOWN = 0x0100,     // wParam the virtual-key code (Esc 0x1B), lParam 0
    WMSG_SYSKEYDOWN = 0x0104,  // Alt-combinations and F10: never reach the close rules
    WMSG_MOUSEMOVE = 0x0200,   // lParam: x in the low 16 bits, y in the high 16 bits (client coordinates)
    WMSG_LBUTTONDOWN = 0x0201, // lParam as for WMSG_MOUSEMOVE
    WMSG_RBUTTONDOWN = 0x0204,
    WMSG_MBUTTONDOWN = 0x0207,
};

constexpr uint32_t VKEY_ESCAPE = 0x1B;

// A window procedure: the result of handling one message.
using WindowProc = intptr_t (*)(WindowHandle hWnd, uint32_t uMsg, uintptr_t wParam, intptr_t lParam);

// What a window class needs: its procedure, module, icon and name. Registering the same name twice
// is allowed and succeeds.
struct WindowClass {
    WindowProc pfnWndProc;
    ModuleHandle hInstance;
    int32_t nIconId; // an icon resource of the module; a missing icon leaves the class without one
    const char* pszClassName;
};

// One message taken from the queue.
struct WindowMsg {
    WindowHandle hWnd;
    uint32_t uMsg;
    uintptr_t wParam;
    intptr_t lParam;
};

// Registers a window class; false when it cannot.
bool PlatformRegisterClass(const WindowClass& wc);
// Creates the main window of a registered class: bWinMode 1 full screen (covering the whole display,
// cursor hidden, input method off), 2 a plain window whose client area is nWidth x nHeight. Returns 0 when
// it cannot. Either window also makes PlatformFindWindow find it, from any process of the user.
WindowHandle PlatformCreateMainWindow(const char* pszClassName, const char* pszTitle, uint8_t bWinMode,
                                      int32_t nWidth, int32_t nHeight);
// Creates a child window covering the client area of hParent, a window of another program; 0 when
// hParent names no window. When the host destroys hParent, the child is destroyed too (WMSG_DESTROY).
WindowHandle PlatformCreatePreviewWindow(const char* pszClassName, const char* pszTitle,
                                         WindowHandle hParent);
// The object attached to a window (its user-data slot); null until set.
void PlatformSetWindowData(WindowHandle hWnd, void* pData);
void* PlatformGetWindowData(WindowHandle hWnd);
// Shows the window's first paint.
void PlatformUpdateWindow(WindowHandle hWnd);
// The default handling of a message: WMSG_CLOSE destroys the window, which calls its procedure with
// WMSG_DESTROY before returning; every other message is ignored. Returns 0.
intptr_t PlatformDefWindowProc(WindowHandle hWnd, uint32_t uMsg, uintptr_t wParam, intptr_t lParam);
// Puts a message at the end of the window's queue and returns at once. Any thread; false when hWnd is
// no window (anymore).
bool PlatformPostMessage(WindowHandle hWnd, uint32_t uMsg, uintptr_t wParam, intptr_t lParam);
// Ends the message loop after the messages already queued: the next PlatformGetMessage returns 0.
void PlatformPostQuitMessage(int32_t nExitCode);
// Waits for the next message of any window of the thread and takes it: 1 for a message, 0 for the quit
// message (pMsg->wParam its exit code), -1 on an error. The platform serves its own duties while it waits
// (Linux: presents handed over by the render thread, a destroyed host window).
int32_t PlatformGetMessage(WindowMsg* pMsg);
// Hands a message to its window's procedure.
intptr_t PlatformDispatchMessage(const WindowMsg& msg);
// True when a top-level window of this class and title exists (the single-instance test). Linux: a
// full-screen run or a plain window of the same user holds the lock (see linux/InstanceLock.h).
bool PlatformFindWindow(const char* pszClassName, const char* pszTitle);
