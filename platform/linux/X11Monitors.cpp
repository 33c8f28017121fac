// Reading the monitors from the X server, the way desktops read them: RandR 1.5's monitors (which a
// desktop may set apart from the outputs, as xrandr --setmonitor does), else Xinerama's screens (older
// servers, or one logical screen over several X screens).
#include "platform/linux/Monitors.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xinerama.h>
#include <X11/extensions/Xrandr.h>

namespace {

bool ReadRandrMonitors(Display* pDisplay, std::vector<ScaleRect>* pMonitors) {
    int nEvent = 0;
    int nError = 0;
    int nMajor = 0;
    int nMinor = 0;
    int nOpcode = 0;
    // Asked of Xlib first: libXrandr would keep a record of a display without the extension for good.
    if (!XQueryExtension(pDisplay, "RANDR", &nOpcode, &nEvent, &nError) ||
        !XRRQueryExtension(pDisplay, &nEvent, &nError) || !XRRQueryVersion(pDisplay, &nMajor, &nMinor) ||
        nMajor < 1 || (nMajor == 1 && nMinor < 5)) {
        return false;
    }
    int nCount = 0;
    XRRMonitorInfo* pInfo = XRRGetMonitors(pDisplay, DefaultRootWindow(pDisplay), True, &nCount);
    if (pInfo == nullptr) {
        return false;
    }
    for (int n = 0; n < nCount; ++n) {
        pMonitors->push_back(ScaleRect{pInfo[n].x, pInfo[n].y, pInfo[n].width, pInfo[n].height});
    }
    XRRFreeMonitors(pInfo);
    return nCount > 0;
}

bool ReadXineramaScreens(Display* pDisplay, std::vector<ScaleRect>* pMonitors) {
    int nEvent = 0;
    int nError = 0;
    if (!XineramaQueryExtension(pDisplay, &nEvent, &nError) || !XineramaIsActive(pDisplay)) {
        return false;
    }
    int nCount = 0;
    XineramaScreenInfo* pInfo = XineramaQueryScreens(pDisplay, &nCount);
    if (pInfo == nullptr) {
        return false;
    }
    for (int n = 0; n < nCount; ++n) {
        pMonitors->push_back(ScaleRect{pInfo[n].x_org, pInfo[n].y_org, pInfo[n].width, pInfo[n].height});
    }
    XFree(pInfo);
    return nCount > 0;
}

} // namespace

std::vector<ScaleRect> X11ReadMonitors(void* pDisplayPtr, const char** ppszSource) {
    Display* pDisplay = static_cast<Display*>(pDisplayPtr);
    std::vector<ScaleRect> monitors;
    *ppszSource = "";
    if (pDisplay == nullptr) {
        return monitors;
    }
    if (ReadRandrMonitors(pDisplay, &monitors)) {
        *ppszSource = "RandR";
    } else if (monitors.clear(), ReadXineramaScreens(pDisplay, &monitors)) {
        *ppszSource = "Xinerama";
    } else {
        monitors.clear();
    }
    return monitors;
}

void X11AskFullScreenSpan(void* pDisplayPtr, unsigned long xWindowId, const MonitorSpan& span, bool bMapped) {
    Display* pDisplay = static_cast<Display*>(pDisplayPtr);
    if (pDisplay == nullptr) {
        return;
    }
    const Window xWindow = static_cast<Window>(xWindowId);
    const Atom state = XInternAtom(pDisplay, "_NET_WM_STATE", False);
    const Atom fullScreen = XInternAtom(pDisplay, "_NET_WM_STATE_FULLSCREEN", False);
    const Atom monitors = XInternAtom(pDisplay, "_NET_WM_FULLSCREEN_MONITORS", False);
    if (!bMapped) {
        // A manager reads the state when the window is mapped, and fullscreens it on one monitor; the
        // monitors' property tells the ones that read it at that moment to span them all.
        XChangeProperty(pDisplay, xWindow, state, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&fullScreen), 1);
        XChangeProperty(pDisplay, xWindow, monitors, XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(span.edges), 4);
    } else {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = xWindow;
        event.xclient.message_type = monitors;
        event.xclient.format = 32;
        for (int n = 0; n < 4; ++n) {
            event.xclient.data.l[n] = span.edges[n];
        }
        event.xclient.data.l[4] = 1; // from a normal program
        XSendEvent(pDisplay, DefaultRootWindow(pDisplay), False,
                   SubstructureRedirectMask | SubstructureNotifyMask, &event);
    }
    XSync(pDisplay, False); // before SDL's own connection maps the window
}

bool X11IsDefaultRoot(void* pDisplayPtr, unsigned long xWindow) {
    Display* pDisplay = static_cast<Display*>(pDisplayPtr);
    return pDisplay != nullptr && DefaultRootWindow(pDisplay) == static_cast<Window>(xWindow);
}

X11Manager X11WindowManager(void* pDisplayPtr) {
    Display* pDisplay = static_cast<Display*>(pDisplayPtr);
    if (pDisplay == nullptr) {
        return X11_MANAGER_NONE;
    }
    const Window xRoot = DefaultRootWindow(pDisplay);
    Atom type = None;
    int nFormat = 0;
    unsigned long nItems = 0;
    unsigned long nAfter = 0;
    unsigned char* pData = nullptr;
    // A manager that follows the desktop conventions names a window of its own on the root.
    const Atom check = XInternAtom(pDisplay, "_NET_SUPPORTING_WM_CHECK", False);
    if (XGetWindowProperty(pDisplay, xRoot, check, 0, 1, False, XA_WINDOW, &type, &nFormat, &nItems, &nAfter,
                           &pData) != Success ||
        pData == nullptr || nItems == 0) {
        XFree(pData);
        return X11_MANAGER_NONE;
    }
    XFree(pData);
    pData = nullptr;
    const Atom supported = XInternAtom(pDisplay, "_NET_SUPPORTED", False);
    const Atom monitors = XInternAtom(pDisplay, "_NET_WM_FULLSCREEN_MONITORS", False);
    X11Manager manager = X11_MANAGER_ONE_MONITOR;
    if (XGetWindowProperty(pDisplay, xRoot, supported, 0, 4096, False, XA_ATOM, &type, &nFormat, &nItems,
                           &nAfter, &pData) == Success &&
        pData != nullptr && nFormat == 32) {
        const Atom* pAtoms = reinterpret_cast<const Atom*>(pData);
        for (unsigned long n = 0; n < nItems; ++n) {
            manager = pAtoms[n] == monitors ? X11_MANAGER_SPANS : manager;
        }
    }
    XFree(pData);
    return manager;
}
