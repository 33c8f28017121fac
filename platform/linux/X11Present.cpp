#include "platform/linux/X11Present.h"

#include "platform/linux/X11MainConnection.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>

#include <cstdlib>
#include <initializer_list>
#include <sys/ipc.h>
#include <sys/shm.h>

namespace {

Display* g_pDisplay = nullptr;
bool g_bOpenTried = false;
bool g_bShmTried = false;
bool g_bShm = false; // the server shares memory with us
unsigned long g_xChecked = 0;
bool g_bCheckedUsable = false;
GC g_gc = nullptr;        // made for g_xChecked: a window's own screen and depth
bool g_bFirstPut = false; // the next put is the first into g_xChecked: wait for the server's answer
Visual* g_pVisual = nullptr;
int g_nDepth = 0;

// The picture's memory: shared with the server, or our own for XPutImage.
XImage* g_pImage = nullptr;
XShmSegmentInfo g_shm{};
// A shared picture was put and the server's word that it has read it has not been taken yet.
bool g_bPutPending = false;
int g_nCompletionType = 0;

// Before the shared memory is written again: the server has read the last picture. Its completion event
// has almost always come long before (the next picture is a frame later); otherwise a round trip makes
// sure, which also covers a put that failed (a window that vanished gets an error instead).
void WaitForPut() {
    if (!g_bPutPending) {
        return;
    }
    g_bPutPending = false;
    XEvent event;
    if (XCheckTypedEvent(g_pDisplay, g_nCompletionType, &event)) {
        return;
    }
    XSync(g_pDisplay, False);
    while (XCheckTypedEvent(g_pDisplay, g_nCompletionType, &event)) {
    }
}

Display* Connection() {
    if (!g_bOpenTried) {
        g_bOpenTried = true;
        g_pDisplay = XOpenDisplay(nullptr);
        X11NoteErrorsOf(g_pDisplay);
    }
    return g_pDisplay;
}

void FreeGc() {
    if (g_gc != nullptr) {
        XFreeGC(g_pDisplay, g_gc);
        g_gc = nullptr;
    }
}

void FreeImage() {
    if (g_pImage == nullptr) {
        return;
    }
    if (g_bShm) {
        WaitForPut();
        XShmDetach(g_pDisplay, &g_shm);
        XSync(g_pDisplay, False);
        shmdt(g_shm.shmaddr);
        g_pImage->data = nullptr; // not XDestroyImage's to free
    }
    XDestroyImage(g_pImage);
    g_pImage = nullptr;
}

// A shared image, or nullptr when the server cannot share memory with us (then never asked again).
XImage* MakeSharedImage(int32_t nWidth, int32_t nHeight) {
    XImage* pImage = XShmCreateImage(g_pDisplay, g_pVisual, static_cast<unsigned>(g_nDepth), ZPixmap, nullptr,
                                     &g_shm, static_cast<unsigned>(nWidth), static_cast<unsigned>(nHeight));
    if (pImage == nullptr) {
        return nullptr;
    }
    const size_t nBytes = static_cast<size_t>(pImage->bytes_per_line) * static_cast<size_t>(nHeight);
    g_shm.shmid = shmget(IPC_PRIVATE, nBytes, IPC_CREAT | 0600);
    if (g_shm.shmid < 0) {
        XDestroyImage(pImage);
        return nullptr;
    }
    g_shm.shmaddr = static_cast<char*>(shmat(g_shm.shmid, nullptr, 0));
    if (g_shm.shmaddr == reinterpret_cast<char*>(-1)) {
        shmctl(g_shm.shmid, IPC_RMID, nullptr);
        XDestroyImage(pImage);
        return nullptr;
    }
    pImage->data = g_shm.shmaddr;
    g_shm.readOnly = True;
    X11TakeNotedError();
    const bool bAttached = XShmAttach(g_pDisplay, &g_shm) != 0;
    XSync(g_pDisplay, False);
    // Marked for removal now, so that the segment goes with the last of us to detach, however we end.
    shmctl(g_shm.shmid, IPC_RMID, nullptr);
    if (!bAttached || X11TakeNotedError() != 0) {
        shmdt(g_shm.shmaddr);
        pImage->data = nullptr;
        XDestroyImage(pImage);
        return nullptr;
    }
    return pImage;
}

XImage* MakePlainImage(int32_t nWidth, int32_t nHeight) {
    const size_t nPitch = static_cast<size_t>(nWidth) * 4;
    char* pData = static_cast<char*>(std::malloc(nPitch * static_cast<size_t>(nHeight)));
    if (pData == nullptr) {
        return nullptr;
    }
    XImage* pImage = XCreateImage(g_pDisplay, g_pVisual, static_cast<unsigned>(g_nDepth), ZPixmap, 0, pData,
                                  static_cast<unsigned>(nWidth), static_cast<unsigned>(nHeight), 32,
                                  static_cast<int>(nPitch));
    if (pImage == nullptr) {
        std::free(pData);
    }
    return pImage; // XDestroyImage frees the data
}

} // namespace

bool X11DirectUsable(unsigned long xWindow) {
    Display* pDisplay = Connection();
    if (pDisplay == nullptr) {
        return false;
    }
    if (xWindow == g_xChecked) {
        return g_bCheckedUsable;
    }
    FreeGc();
    g_xChecked = xWindow;
    g_bCheckedUsable = false;
    X11TakeNotedError();
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(pDisplay, static_cast<Window>(xWindow), &attributes) == 0 ||
        X11TakeNotedError() != 0 || attributes.visual == nullptr) {
        return false;
    }
    const Visual* pVisual = attributes.visual;
    if ((attributes.depth != 24 && attributes.depth != 32) || pVisual->red_mask != 0xFF0000 ||
        pVisual->green_mask != 0xFF00 || pVisual->blue_mask != 0xFF) {
        return false;
    }
    // A screen's default GC serves only that screen's root depth: a window on another screen (or of
    // another depth) gets BadMatch for every put.
    g_gc = XCreateGC(pDisplay, static_cast<Window>(xWindow), 0, nullptr);
    XSetForeground(pDisplay, g_gc, 0); // black in XRGB
    if (g_pVisual != attributes.visual || g_nDepth != attributes.depth) {
        FreeImage();
        g_pVisual = attributes.visual;
        g_nDepth = attributes.depth;
    }
    g_bFirstPut = true;
    g_bCheckedUsable = true;
    return true;
}

uint32_t* X11DirectImage(int32_t nWidth, int32_t nHeight, int32_t* pPitch) {
    if (g_pDisplay == nullptr || g_pVisual == nullptr || nWidth <= 0 || nHeight <= 0) {
        return nullptr;
    }
    if (g_pImage == nullptr || g_pImage->width != nWidth || g_pImage->height != nHeight) {
        FreeImage();
        if (!g_bShmTried) {
            g_bShmTried = true;
            g_bShm = XShmQueryExtension(g_pDisplay) != 0;
            g_nCompletionType = XShmGetEventBase(g_pDisplay) + ShmCompletion;
        }
        if (g_bShm) {
            g_pImage = MakeSharedImage(nWidth, nHeight);
            g_bShm = g_pImage != nullptr;
        }
        if (g_pImage == nullptr) {
            g_pImage = MakePlainImage(nWidth, nHeight);
        }
        if (g_pImage == nullptr || g_pImage->bits_per_pixel != 32) {
            FreeImage();
            return nullptr;
        }
    }
    WaitForPut();
    *pPitch = g_pImage->bytes_per_line;
    return reinterpret_cast<uint32_t*>(g_pImage->data);
}

X11PutResult X11DirectShow(unsigned long xWindow, bool bBars, int32_t nWindowWidth, int32_t nWindowHeight,
                           int32_t x, int32_t y) {
    if (g_pDisplay == nullptr || g_pImage == nullptr || g_gc == nullptr || xWindow != g_xChecked) {
        return X11_PUT_NOTHING;
    }
    const Window xTarget = static_cast<Window>(xWindow);
    if (bBars) {
        XFillRectangle(g_pDisplay, xTarget, g_gc, 0, 0, static_cast<unsigned>(nWindowWidth),
                       static_cast<unsigned>(nWindowHeight));
    }
    const unsigned nWidth = static_cast<unsigned>(g_pImage->width);
    const unsigned nHeight = static_cast<unsigned>(g_pImage->height);
    if (g_bShm) {
        // The server says when it has read the memory (WaitForPut), instead of a round trip now.
        XShmPutImage(g_pDisplay, xTarget, g_gc, g_pImage, 0, 0, x, y, nWidth, nHeight, True);
        g_bPutPending = true;
    } else {
        XPutImage(g_pDisplay, xTarget, g_gc, g_pImage, 0, 0, x, y, nWidth, nHeight); // copied as it is sent
    }
    if (g_bFirstPut) {
        g_bFirstPut = false;
        XSync(g_pDisplay, False);
    } else {
        // And reads what the server has already answered, without waiting for it.
        XFlush(g_pDisplay);
        XEventsQueued(g_pDisplay, QueuedAfterReading);
    }
    // Errors come back as the server reads our requests: those of the first put now, later ones at one of
    // the next puts. A window that vanished (a preview's host) gives one too.
    return X11TakeNotedError() != 0 ? X11_PUT_REFUSED : X11_PUT_DONE;
}

bool X11DirectShares() {
    return g_bShm && g_pImage != nullptr;
}

void X11CloseDirect() {
    if (g_pDisplay != nullptr) {
        FreeGc();
        FreeImage();
        X11NoteErrorsOf(nullptr);
        XCloseDisplay(g_pDisplay);
        g_pDisplay = nullptr;
    }
    g_bOpenTried = false;
    g_bShmTried = false;
    g_bShm = false;
    g_xChecked = 0;
    g_bCheckedUsable = false;
    g_pVisual = nullptr;
}

bool X11ServerRendersDirect() {
    Display* pDisplay = static_cast<Display*>(X11MainDisplay());
    if (pDisplay == nullptr) {
        return true; // not ours to judge: let OpenGL find out
    }
    int nOpcode = 0;
    int nEvent = 0;
    int nError = 0;
    // Mesa's hardware drivers come through DRI2 or DRI3, NVIDIA's own through NV-GLX.
    for (const char* pszName : {"DRI3", "DRI2", "NV-GLX"}) {
        if (XQueryExtension(pDisplay, pszName, &nOpcode, &nEvent, &nError)) {
            return true;
        }
    }
    return false;
}

void X11PaintBlack(unsigned long xWindow, int32_t nWidth, int32_t nHeight) {
    Display* pDisplay = static_cast<Display*>(X11MainDisplay());
    XWindowAttributes attributes{};
    if (pDisplay == nullptr || nWidth <= 0 || nHeight <= 0 ||
        XGetWindowAttributes(pDisplay, static_cast<Window>(xWindow), &attributes) == 0) {
        return;
    }
    // The window's own screen and depth, as for the pictures.
    GC gc = XCreateGC(pDisplay, static_cast<Window>(xWindow), 0, nullptr);
    XSetForeground(pDisplay, gc, BlackPixelOfScreen(attributes.screen));
    XFillRectangle(pDisplay, static_cast<Window>(xWindow), gc, 0, 0, static_cast<unsigned>(nWidth),
                   static_cast<unsigned>(nHeight));
    XFreeGC(pDisplay, gc);
    XFlush(pDisplay);
}
