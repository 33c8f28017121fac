// Previews on Linux: our own child X11 window inside another program's window, which SDL cannot make,
// on a connection of our own that watches the host and the child for their end. And the X error
// handlers, which keep a vanished host window from ending the process as Xlib's default handlers would.
// Main thread, except the noting of errors (any thread).
#pragma once

#include <cstdint>

// After SDL's video start-up: our handlers replace SDL's own.
void X11InstallErrorHandlers();
// Errors on one more connection of ours (pDisplay, a Display*; the render thread's) are noted for it;
// X11TakeNotedError returns the last one's code since the previous call, 0 for none.
void X11NoteErrorsOf(void* pDisplay);
int X11TakeNotedError();
// A mapped child window filling the host window xHost, watched with it; 0 when the host cannot be reached
// or the child cannot be made.
unsigned long X11CreatePreviewChild(unsigned long xHost, const char* pszTitle);
// Starts watching a window of SDL's (a plain or full-screen window) for being unmapped or covered.
void X11Watch(unsigned long xWindow);
// True when the X server may run OpenGL on a GPU (it offers a direct-rendering extension, or our
// connection cannot ask); false where OpenGL could only run on the processor.
bool X11ServerRendersDirect();

// What our connection saw happen to a watched window.
enum X11Change {
    X11_DESTROYED,
    X11_MAPPED,
    X11_UNMAPPED,
    X11_COVERED,   // fully covered by other windows
    X11_UNCOVERED, // at least partly in sight
};
// Calls pfnChanged with every change of the watched windows since the last call, in order.
void X11TakeChanges(void (*pfnChanged)(unsigned long xWindow, X11Change change));
// Destroys a child made by X11CreatePreviewChild whose host is still there.
void X11DestroyPreviewChild(unsigned long xChild);
// Paints the window black (nWidth x nHeight from its origin), without SDL's window surface.
void X11PaintBlack(unsigned long xWindow, int32_t nWidth, int32_t nHeight);
// The file descriptor of our connection, -1 when it is not open.
int X11ConnectionFd();
// Events already read from our connection and not yet taken (no call to the server).
bool X11HasQueued();
// At the end of the program: closes our connection.
void X11ClosePreviews();
