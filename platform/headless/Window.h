// The headless window host: windows are records, the message loop is a queue that tests and tools fill
// from any thread. It also stands in for the host program of a preview: a host window of a given size
// that can be destroyed while the preview runs (its child gets WMSG_DESTROY on the main thread, inside
// PlatformGetMessage, as a real host's destruction would arrive).
//
//     HeadlessResetWindows();
//     WindowHandle hHost = HeadlessCreateHostWindow(152, 112);
//     app.CreatePreviewWindow(nullptr, hHost);
//     HeadlessDestroyHostWindow(hHost);   // any thread: the preview's loop ends
#pragma once

#include "platform/Window.h"

#include <vector>

// Forgets every window, class and queued message (a test's fresh start).
void HeadlessResetWindows();
// The client size that full-screen windows get (the "display"); 640 x 480 until set.
void HeadlessSetScreenSize(int32_t nWidth, int32_t nHeight);
// A top-level window of another program, to host a preview; main thread.
WindowHandle HeadlessCreateHostWindow(int32_t nWidth, int32_t nHeight);
// Destroys a host window and, on the main thread inside PlatformGetMessage, its children. Any thread.
void HeadlessDestroyHostWindow(WindowHandle hHost);
// Messages posted and not yet taken, in order (the quit message is not listed).
std::vector<WindowMsg> HeadlessQueuedMessages();
// True while the window exists.
bool HeadlessWindowAlive(WindowHandle hWnd);
// The mode the window was created with: 1 full screen, 2 windowed, 3 preview child, 0 none.
uint8_t HeadlessWindowMode(WindowHandle hWnd);
// The window's client size; false when it does not exist.
bool HeadlessWindowClientSize(WindowHandle hWnd, int32_t* pnWidth, int32_t* pnHeight);
