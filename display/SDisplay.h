// SDisplay: puts the scene's finished 320x240 frame on the screen through the presentation device
// (platform/DisplayDevice.h). Full screen: the display taken exclusively at 320x240x16, each frame
// converted to its 16-bit layout in the back buffer of a two-buffer flip chain and flipped. Window (the
// windowed and preview runs): each frame copied into a 320x240 32-bit off-screen surface and stretched
// over the window's client area after the vertical blank.
//
//     SDisplay* pDisplay = NewObject<SDisplay>();
//     pDisplay->Init(hWnd, SCR_WINDOW);   // main thread; throws SString
//     pDisplay->Present(frame);           // render thread, once per frame; never throws
//     pDisplay->Release(); DeleteObject(pDisplay);   // main thread, after the render thread has ended
//
// Init's failures throw SString naming the failed call ("failed DirectDrawCreate( NULL, &m_lpDD, NULL )
// returned %x\n", ...); what was made until then stays in the members for Release. Present returns the result
// of the call that decided its outcome; a failed lock drops the frame.
#pragma once

#include "imaging/SImage.h"
#include "platform/DisplayDevice.h"

#include <cstdint>

enum ScreenMode : uint8_t {
    SCR_FULLSCREEN = 1,
    SCR_WINDOW = 2,
};

class SDisplay {
public:
    SDisplay();

    void Init(WindowHandle hWnd, uint8_t bMode);
    // Reads exactly 320x240 pixels of pFrame.
    DisplayResult Present(const SImage* pFrame);
    // Display mode restored, surfaces and device given back, every member zero; safe to call again.
    void Release();

    WindowHandle m_hWnd;
    uint8_t bScrMode; // SCR_FULLSCREEN or SCR_WINDOW; 0 before Init and after Release
    DisplayDevice* m_lpDD;
    DisplaySurface* m_lpPrimarySurface;
    DisplaySurface* m_lpBackBuffer; // full screen: the flip chain's back buffer; window: the 32-bit surface
    DisplayPixelFormat m_ddpf;      // the primary's format, read in full-screen mode only
};
