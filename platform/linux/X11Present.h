// The X11 side of showing a picture. Main thread: whether the server can run OpenGL on a GPU (which
// decides the present path) and painting a window black. Render thread, holding the window host's lock
// so that a window cannot end while a picture goes to it: the surface path's direct way to the screen,
// the render thread's own X connection putting each picture into the window through shared memory
// (MIT-SHM; a plain XPutImage where the server cannot share memory with us, as on a remote display). The
// main thread is not woken for pictures at all, which on an idle machine is most of what showing one
// used to cost. Every drawing request uses a graphics context made for the window itself, so that a
// window on any screen of the server, of any depth we can draw, is served.
#pragma once

#include <cstddef>
#include <cstdint>

// Main thread: true when the X server may run OpenGL on a GPU (it offers a direct-rendering extension,
// or the server cannot be asked); false where OpenGL could only run on the processor.
bool X11ServerRendersDirect();
// Main thread: paints the window black (nWidth x nHeight from its origin), without SDL's window surface.
void X11PaintBlack(unsigned long xWindow, int32_t nWidth, int32_t nHeight);

// True when the window's pixels are 24-bit XRGB, as our scaler writes them, on the render thread's
// connection (opened at the first call); false when another way must be used.
bool X11DirectUsable(unsigned long xWindow);
// Memory for picture nImage (0, 1, ...: one per distinct size the window shows), nWidth x nHeight, rows
// *pPitch bytes apart; nullptr when none can be had.
uint32_t* X11DirectImage(uint32_t nImage, int32_t nWidth, int32_t nHeight, int32_t* pPitch);
enum X11PutResult {
    X11_PUT_DONE,
    X11_PUT_REFUSED, // the server answered a request of ours into the window with an error
    X11_PUT_NOTHING, // no picture from X11DirectImage to put
};
// One picture from X11DirectImage put at (x, y) of the window.
struct X11Put {
    uint32_t nImage;
    int32_t x;
    int32_t y;
};
// Paints the window (nWindowWidth x nWindowHeight) black when bBars, then makes the puts; the next
// X11DirectImage of an image waits until the server has read it. The first puts into a window wait for
// the server's answer; later errors are seen at the next puts.
X11PutResult X11DirectShow(unsigned long xWindow, bool bBars, int32_t nWindowWidth, int32_t nWindowHeight,
                           const X11Put* pPuts, size_t nPuts);
// Whether the pictures go through shared memory (after X11DirectImage).
bool X11DirectShares();
// At the end of the program, after the render thread: closes the render thread's connection.
void X11CloseDirect();
