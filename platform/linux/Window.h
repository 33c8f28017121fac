// The Linux window host's interface to the other services of platform/linux. SDL2 allows video calls on
// the main thread only (the thread that created the first window); the host makes, finds and guards the
// windows there, and the present module (Present.h) shows pictures in them.
#pragma once

#include "platform/Window.h"

#include <cstdint>

// What a window is, as the framework asks for it.
enum WindowMode : uint8_t {
    WINDOW_NONE = 0, // no such window
    WINDOW_FULL_SCREEN = 1,
    WINDOW_PLAIN = 2, // a top-level window of a given client size
    WINDOW_CHILD = 3, // a preview: our child window inside another program's window
};

// Any thread: the window's mode; WINDOW_NONE for no window.
WindowMode SdlHostWindowMode(WindowHandle hWnd);
// Any thread: true on the main thread once a window was made.
bool SdlHostIsMainThread();
// Async-signal-safe: a close request for every window, taken by the next PlatformGetMessage. False
// when no window was ever made (the caller then ends the process its own way).
bool SdlHostRequestCloseFromSignal();
// Main thread, at the end of the program (after the music's output is closed): frees the windows still
// there and closes SDL.
void SdlHostShutdown();
