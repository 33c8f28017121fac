// The main thread's own X connection, beside SDL's: it makes previews' child windows inside another
// program's window (which SDL cannot), watches them, their hosts and SDL's windows for their end and for
// being unmapped or covered (which SDL does not report), and asks the server what it offers. Also the X
// error handlers, which keep a vanished host window from ending the process as Xlib's default handlers
// would. Main thread, except the noting of errors (any thread).
#pragma once

#include <cstdint>

// After SDL's video start-up: our handlers replace SDL's own.
void X11InstallErrorHandlers();
// Errors on one more connection of ours (pDisplay, a Display*; the render thread's) are noted for it;
// X11TakeNotedError returns the last one's code since the previous call, 0 for none.
void X11NoteErrorsOf(void* pDisplay);
int X11TakeNotedError();
// The connection (a Display*), opened at the first call; nullptr when the server cannot be reached.
void* X11MainDisplay();
// A mapped child window filling the host window xHost, watched with it; 0 when the host cannot be reached
// or the child cannot be made.
unsigned long X11CreatePreviewChild(unsigned long xHost, const char* pszTitle);
// Starts watching a window of SDL's (a plain or full-screen window) for being unmapped or covered.
void X11Watch(unsigned long xWindow);

// What the connection saw happen to a watched window.
enum X11Change {
    X11_DESTROYED,
    X11_MAPPED,
    X11_UNMAPPED,
    X11_COVERED,   // fully covered by other windows
    X11_UNCOVERED, // at least partly in sight
};
// The next change of a watched window, in order; false when there is none left.
bool X11NextChange(unsigned long* pxWindow, X11Change* pChange);
// Destroys a child made by X11CreatePreviewChild whose host is still there.
void X11DestroyPreviewChild(unsigned long xChild);
// The file descriptor of the connection, -1 when it is not open.
int X11ConnectionFd();
// Events already read from the connection and not yet taken (no call to the server).
bool X11HasQueued();
// At the end of the program: closes the connection.
void X11CloseMainConnection();
