#include "platform/linux/X11Preview.h"

#include "framework/Debug.h"

#include <X11/Xlib.h>

#include <atomic>
#include <unistd.h>

namespace {

Display* g_pXDisplay = nullptr; // our own connection for preview windows
std::atomic<int> g_nLastXError{0};

// A host window may vanish at any moment; a request on it must then fail quietly instead of ending the
// process as Xlib's default handler does.
int OnXError(Display* pDisplay, XErrorEvent* pEvent) {
    // SDL's own connection shares the handler; only our connection's errors answer our questions.
    if (pDisplay == g_pXDisplay) {
        g_nLastXError.store(pEvent->error_code);
    }
    return 0;
}

// The X server went away (it ended, or the session was closed): nothing can be drawn or received any
// more, and Xlib's default handler would run exit() with the render and timer threads still running.
// The run ends at once as after any other error; the synthesizer is in this process, so no note can
// keep sounding after it.
int OnXIOError(Display*) {
    DebugPrint("%s", "ディスプレイとの接続が切れました。\n");
    _exit(0);
}

} // namespace

void X11InstallErrorHandlers() {
    XSetErrorHandler(OnXError);
    XSetIOErrorHandler(OnXIOError);
}

unsigned long X11CreatePreviewChild(unsigned long xHostId, const char* pszTitle) {
    if (g_pXDisplay == nullptr) {
        g_pXDisplay = XOpenDisplay(nullptr);
        if (g_pXDisplay == nullptr) {
            return 0;
        }
    }
    Display* pDisplay = g_pXDisplay;
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
    XSelectInput(pDisplay, xChild, StructureNotifyMask);
    XStoreName(pDisplay, xChild, pszTitle);
    XMapWindow(pDisplay, xChild);
    XSync(pDisplay, False);
    if (g_nLastXError.load() != 0) {
        return 0;
    }
    return xChild;
}

// SDL reports nothing when a foreign window disappears; our own connection watches the host and the
// child for DestroyNotify.
void X11TakeDestroyed(void (*pfnDestroyed)(unsigned long xWindow)) {
    if (g_pXDisplay == nullptr) {
        return;
    }
    while (XPending(g_pXDisplay) > 0) {
        XEvent event;
        XNextEvent(g_pXDisplay, &event);
        if (event.type == DestroyNotify) {
            pfnDestroyed(event.xdestroywindow.window);
        }
    }
}

void X11DestroyPreviewChild(unsigned long xChild) {
    if (g_pXDisplay != nullptr) {
        XDestroyWindow(g_pXDisplay, xChild);
        XSync(g_pXDisplay, False);
    }
}

void X11ClosePreviews() {
    if (g_pXDisplay != nullptr) {
        XCloseDisplay(g_pXDisplay);
        g_pXDisplay = nullptr;
    }
}
