// The surface path's direct way to the screen: the render thread's own X connection puts each picture
// into the window through shared memory (MIT-SHM; a plain XPutImage where the server cannot share
// memory with us, as on a remote display). The main thread is not woken for pictures at all, which on
// an idle machine is most of what showing one used to cost. Render thread, holding the window host's
// lock, so that a window cannot end while a picture goes to it.
#pragma once

#include <cstdint>

// True when the window's pixels are 24-bit XRGB, as our scaler writes them, on a connection of our own
// (opened at the first call); false when another way must be used.
bool X11DirectUsable(unsigned long xWindow);
// Memory for a picture nWidth x nHeight, rows *pPitch bytes apart; nullptr when none can be had.
uint32_t* X11DirectImage(int32_t nWidth, int32_t nHeight, int32_t* pPitch);
// Paints the window (nWindowWidth x nWindowHeight) black when bBars, then puts the picture from
// X11DirectImage at (x, y); the next X11DirectImage waits until the server has read it. False when
// there is no picture to put.
bool X11DirectShow(unsigned long xWindow, bool bBars, int32_t nWindowWidth, int32_t nWindowHeight, int32_t x,
                   int32_t y);
// Whether the pictures go through shared memory (after X11DirectImage).
bool X11DirectShares();
// At the end of the program, after the render thread: closes the connection.
void X11CloseDirect();
