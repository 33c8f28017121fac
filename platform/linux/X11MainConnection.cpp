#include "platform/linux/X11MainConnection.h"

#include "framework/Debug.h"

#include <X11/Xlib.h>

#include <atomic>
#include <unistd.h>

namespace {

Display* g_pXDisplay = nullptr; // the main thread's own connection
std::atomic<int> g_nLastXError{0};
std::atomic<Display*> g_pNotedDisplay{nullptr}; // the render thread's connection (X11Present.cpp)
std::atomic<int> g_nNotedError{0};

// A host window may vanish at any moment; a request on it must then fail quietly instead of ending the
// process as Xlib's default handler does.
int OnXError(Display* pDisplay, XErrorEvent* pEvent) {
    // SDL's own connection shares the handler; only our connection's errors answer our questions.
    if (pDisplay == g_pXDisplay) {
        g_nLastXError.store(pEvent->error_code);
    } else if (pDisplay == g_pNotedDisplay.load()) {
        g_nNotedError.store(pEvent->error_code);
    }
    return 0;
}

// The X server went away (it ended, or the session was closed): nothing can be drawn or received any
// more, and Xlib's default handler would run exit() with the render and timer threads still running.
// The run ends at once as after any other error; the synthesizer is in this process, so no note can
// keep sounding after it.
int OnXIOError(Display*) {
    DebugPrint("%s", Tr("The connection to the display was lost.\n"));
    _exit(0);
}

} // namespace

void X11InstallErrorHandlers() {
    XSetErrorHandler(OnXError);
    XSetIOErrorHandler(OnXIOError);
}

void X11NoteErrorsOf(void* pDisplay) {
    g_pNotedDisplay.store(static_cast<Display*>(pDisplay));
    g_nNotedError.store(0);
}

int X11TakeNotedError() {
    return g_nNotedError.exchange(0);
}

namespace {

Display* OurDisplay() {
    if (g_pXDisplay == nullptr) {
        g_pXDisplay = XOpenDisplay(nullptr);
    }
    return g_pXDisplay;
}

} // namespace

void* X11MainDisplay() {
    return OurDisplay();
}

unsigned long X11CreatePreviewChild(unsigned long xHostId, const char* pszTitle) {
    Display* pDisplay = OurDisplay();
    if (pDisplay == nullptr) {
        return 0;
    }
    const Window xHost = static_cast<Window>(xHostId);
    g_nLastXError.store(0);
    XWindowAttributes host{};
    if (XGetWindowAttributes(pDisplay, xHost, &host) == 0 || g_nLastXError.load() != 0) {
        return 0;
    }
    const int nScreen = XScreenNumberOfScreen(host.screen);
    const Window xChild =
        XCreateSimpleWindow(pDisplay, xHost, 0, 0, static_cast<unsigned>(host.width > 0 ? host.width : 1),
                            static_cast<unsigned>(host.height > 0 ? host.height : 1), 0,
                            BlackPixel(pDisplay, nScreen), BlackPixel(pDisplay, nScreen));
    XSelectInput(pDisplay, xHost, StructureNotifyMask);
    XSelectInput(pDisplay, xChild, StructureNotifyMask | VisibilityChangeMask);
    XStoreName(pDisplay, xChild, pszTitle);
    XMapWindow(pDisplay, xChild);
    XSync(pDisplay, False);
    if (g_nLastXError.load() != 0) {
        return 0;
    }
    return xChild;
}

void X11Watch(unsigned long xWindow) {
    if (Display* pDisplay = OurDisplay()) {
        XSelectInput(pDisplay, static_cast<Window>(xWindow), StructureNotifyMask | VisibilityChangeMask);
        XFlush(pDisplay);
    }
}

// SDL reports nothing when a foreign window disappears, and nothing of a window's visibility: our own
// connection watches the host and the child, and SDL's windows, for both.
bool X11NextChange(unsigned long* pxWindow, X11Change* pChange) {
    while (g_pXDisplay != nullptr && XPending(g_pXDisplay) > 0) {
        XEvent event;
        XNextEvent(g_pXDisplay, &event);
        switch (event.type) {
        case DestroyNotify:
            *pxWindow = event.xdestroywindow.window;
            *pChange = X11_DESTROYED;
            return true;
        case MapNotify:
            *pxWindow = event.xmap.window;
            *pChange = X11_MAPPED;
            return true;
        case UnmapNotify:
            *pxWindow = event.xunmap.window;
            *pChange = X11_UNMAPPED;
            return true;
        case VisibilityNotify:
            *pxWindow = event.xvisibility.window;
            *pChange = event.xvisibility.state == VisibilityFullyObscured ? X11_COVERED : X11_UNCOVERED;
            return true;
        default:
            break;
        }
    }
    return false;
}

void X11DestroyPreviewChild(unsigned long xChild) {
    if (g_pXDisplay != nullptr) {
        XDestroyWindow(g_pXDisplay, xChild);
        XSync(g_pXDisplay, False);
    }
}

int X11ConnectionFd() {
    return g_pXDisplay != nullptr ? ConnectionNumber(g_pXDisplay) : -1;
}

bool X11HasQueued() {
    return g_pXDisplay != nullptr && XQLength(g_pXDisplay) > 0;
}

void X11CloseMainConnection() {
    if (g_pXDisplay != nullptr) {
        XCloseDisplay(g_pXDisplay);
        g_pXDisplay = nullptr;
    }
}
