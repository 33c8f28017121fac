#include "platform/linux/X11Present.h"

#include "platform/linux/X11MainConnection.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>

#include <cstdlib>
#include <deque>
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

// The pictures' memory, one image per distinct picture size (a full-screen run over monitors of several
// sizes puts each image into every monitor of its size): shared with the server, or our own for
// XPutImage.
struct Image {
    XImage* pImage = nullptr;
    XShmSegmentInfo shm{};
    bool bShared = false;
    int nPutsPending = 0; // puts of it whose completion (the server has read it) has not been taken yet
};
// A deque: each XImage points at its segment's info, which must not move as images are added.
std::deque<Image> g_images;
int g_nCompletionType = 0;

// Takes the completion events already read, each for its image.
void TakeCompletions() {
    XEvent event;
    while (XCheckTypedEvent(g_pDisplay, g_nCompletionType, &event)) {
        const ShmSeg seg = reinterpret_cast<XShmCompletionEvent*>(&event)->shmseg;
        for (Image& image : g_images) {
            if (image.bShared && image.shm.shmseg == seg && image.nPutsPending > 0) {
                --image.nPutsPending;
                break;
            }
        }
    }
}

// Before the shared memory is written again: the server has read the last picture. Its completion event
// has almost always come long before (the next picture is a frame later); otherwise a round trip makes
// sure, which also covers a put that failed (a window that vanished gets an error instead).
void WaitForPut(Image& image) {
    if (image.nPutsPending == 0) {
        return;
    }
    TakeCompletions();
    if (image.nPutsPending > 0) {
        XSync(g_pDisplay, False);
        TakeCompletions();
        image.nPutsPending = 0;
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

void FreeImage(Image& image) {
    if (image.pImage == nullptr) {
        return;
    }
    if (image.bShared) {
        WaitForPut(image);
        XShmDetach(g_pDisplay, &image.shm);
        XSync(g_pDisplay, False);
        shmdt(image.shm.shmaddr);
        image.pImage->data = nullptr; // not XDestroyImage's to free
    }
    XDestroyImage(image.pImage);
    image = Image{};
}

void FreeImages() {
    for (Image& image : g_images) {
        FreeImage(image);
    }
    g_images.clear();
}

// A shared image, or nullptr when the server cannot share memory with us (then never asked again).
XImage* MakeSharedImage(XShmSegmentInfo& shm, int32_t nWidth, int32_t nHeight) {
    XImage* pImage = XShmCreateImage(g_pDisplay, g_pVisual, static_cast<unsigned>(g_nDepth), ZPixmap, nullptr,
                                     &shm, static_cast<unsigned>(nWidth), static_cast<unsigned>(nHeight));
    if (pImage == nullptr) {
        return nullptr;
    }
    const size_t nBytes = static_cast<size_t>(pImage->bytes_per_line) * static_cast<size_t>(nHeight);
    shm.shmid = shmget(IPC_PRIVATE, nBytes, IPC_CREAT | 0600);
    if (shm.shmid < 0) {
        XDestroyImage(pImage);
        return nullptr;
    }
    shm.shmaddr = static_cast<char*>(shmat(shm.shmid, nullptr, 0));
    if (shm.shmaddr == reinterpret_cast<char*>(-1)) {
        shmctl(shm.shmid, IPC_RMID, nullptr);
        XDestroyImage(pImage);
        return nullptr;
    }
    pImage->data = shm.shmaddr;
    shm.readOnly = True;
    X11TakeNotedError();
    const bool bAttached = XShmAttach(g_pDisplay, &shm) != 0;
    XSync(g_pDisplay, False);
    // Marked for removal now, so that the segment goes with the last of us to detach, however we end.
    shmctl(shm.shmid, IPC_RMID, nullptr);
    if (!bAttached || X11TakeNotedError() != 0) {
        shmdt(shm.shmaddr);
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
        FreeImages();
        g_pVisual = attributes.visual;
        g_nDepth = attributes.depth;
    }
    g_bFirstPut = true;
    g_bCheckedUsable = true;
    return true;
}

uint32_t* X11DirectImage(uint32_t nImage, int32_t nWidth, int32_t nHeight, int32_t* pPitch) {
    if (g_pDisplay == nullptr || g_pVisual == nullptr || nWidth <= 0 || nHeight <= 0) {
        return nullptr;
    }
    if (nImage >= g_images.size()) {
        g_images.resize(nImage + 1);
    }
    Image& image = g_images[nImage];
    if (image.pImage == nullptr || image.pImage->width != nWidth || image.pImage->height != nHeight) {
        FreeImage(image);
        if (!g_bShmTried) {
            g_bShmTried = true;
            g_bShm = XShmQueryExtension(g_pDisplay) != 0;
            g_nCompletionType = XShmGetEventBase(g_pDisplay) + ShmCompletion;
        }
        if (g_bShm) {
            image.pImage = MakeSharedImage(image.shm, nWidth, nHeight);
            image.bShared = g_bShm = image.pImage != nullptr;
        }
        if (image.pImage == nullptr) {
            image.pImage = MakePlainImage(nWidth, nHeight);
        }
        if (image.pImage == nullptr || image.pImage->bits_per_pixel != 32) {
            FreeImage(image);
            return nullptr;
        }
    }
    WaitForPut(image);
    *pPitch = image.pImage->bytes_per_line;
    return reinterpret_cast<uint32_t*>(image.pImage->data);
}

X11PutResult X11DirectShow(unsigned long xWindow, bool bBars, int32_t nWindowWidth, int32_t nWindowHeight,
                           const X11Put* pPuts, size_t nPuts) {
    if (g_pDisplay == nullptr || g_gc == nullptr || xWindow != g_xChecked) {
        return X11_PUT_NOTHING;
    }
    for (size_t n = 0; n < nPuts; ++n) {
        if (pPuts[n].nImage >= g_images.size() || g_images[pPuts[n].nImage].pImage == nullptr) {
            return X11_PUT_NOTHING;
        }
    }
    const Window xTarget = static_cast<Window>(xWindow);
    if (bBars) {
        XFillRectangle(g_pDisplay, xTarget, g_gc, 0, 0, static_cast<unsigned>(nWindowWidth),
                       static_cast<unsigned>(nWindowHeight));
    }
    for (size_t n = 0; n < nPuts; ++n) {
        Image& image = g_images[pPuts[n].nImage];
        XImage* pImage = image.pImage;
        const unsigned nWidth = static_cast<unsigned>(pImage->width);
        const unsigned nHeight = static_cast<unsigned>(pImage->height);
        if (image.bShared) {
            // The server says when it has read the memory (WaitForPut), instead of a round trip now.
            XShmPutImage(g_pDisplay, xTarget, g_gc, pImage, 0, 0, pPuts[n].x, pPuts[n].y, nWidth, nHeight,
                         True);
            ++image.nPutsPending;
        } else {
            XPutImage(g_pDisplay, xTarget, g_gc, pImage, 0, 0, pPuts[n].x, pPuts[n].y, nWidth,
                      nHeight); // copied as it is sent
        }
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
    return !g_images.empty() && g_images[0].bShared;
}

void X11CloseDirect() {
    if (g_pDisplay != nullptr) {
        FreeGc();
        FreeImages();
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
