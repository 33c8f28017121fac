// Previews on Linux: our own child X11 window inside another program's window, which SDL cannot make,
// on a connection of our own that watches the host and the child for their end. And the X error
// handlers, which keep a vanished host window from ending the process as Xlib's default handlers would.
// Main thread.
#pragma once

// After SDL's video start-up: our handlers replace SDL's own.
void X11InstallErrorHandlers();
// A mapped child window filling the host window xHost, watched with it; 0 when the host cannot be reached
// or the child cannot be made.
unsigned long X11CreatePreviewChild(unsigned long xHost, const char* pszTitle);
// Calls pfnDestroyed with every watched window destroyed since the last call.
void X11TakeDestroyed(void (*pfnDestroyed)(unsigned long xWindow));
// Destroys a child made by X11CreatePreviewChild whose host is still there.
void X11DestroyPreviewChild(unsigned long xChild);
// At the end of the program: closes our connection.
void X11ClosePreviews();
