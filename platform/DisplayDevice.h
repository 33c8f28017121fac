// Presentation device service: what SDisplay puts the 320x240 frame on the screen with. It has the shape of
// the first DirectDraw interfaces, so that SDisplay keeps one order of steps and one set of messages on
// every platform: an exclusive 320x240 16-bit mode presented by flipping a two-buffer chain, or a 32-bit
// off-screen surface stretched over a window's client area through drawing contexts.
//
// SDisplay calls Init's and Release's steps on the main thread and the present steps on the render thread,
// never two at once. Results are HRESULT values (DISP_OK, or a failure with the top bit set).
// Windows: DirectDraw and GDI; Linux: memory surfaces whose Flip or StretchBlt returns once the picture is
// shown (put into the X window from the render thread, or handed to the main thread for SDL, whose calls
// are the main thread's); headless: memory surfaces whose presented pictures are captured.
#pragma once

#include "platform/Window.h"

#include <cstdint>

using DisplayResult = uint32_t;

enum : uint32_t {
    DISP_OK = 0,
    DISP_ERR_GENERIC = 0x80004005,
    DISP_ERR_OUTOFMEMORY = 0x8007000E,
    DISP_ERR_INVALIDPARAMS = 0x80070057,
    DISP_ERR_SURFACELOST = 0x887601C2, // the surface's memory was taken; Restore gives it back
    DISP_ERR_NOEXCLUSIVEMODE = 0x887600E1,
    DISP_ERR_UNSUPPORTEDMODE = 0x8876024E,
};

// Cooperative levels.
enum : uint32_t {
    DISP_SCL_FULLSCREEN = 0x01,
    DISP_SCL_ALLOWREBOOT = 0x02,
    DISP_SCL_NORMAL = 0x08,
    DISP_SCL_EXCLUSIVE = 0x10,
};

// Which fields of a SurfaceDesc are valid.
enum : uint32_t {
    DISP_SD_CAPS = 0x0001,
    DISP_SD_HEIGHT = 0x0002,
    DISP_SD_WIDTH = 0x0004,
    DISP_SD_PITCH = 0x0008,
    DISP_SD_BACKBUFFERCOUNT = 0x0020,
    DISP_SD_PIXELFORMAT = 0x1000,
};

// Surface capabilities.
enum : uint32_t {
    DISP_SCAPS_BACKBUFFER = 0x0004,
    DISP_SCAPS_COMPLEX = 0x0008,
    DISP_SCAPS_FLIP = 0x0010,
    DISP_SCAPS_PRIMARYSURFACE = 0x0200,
    DISP_SCAPS_OFFSCREENPLAIN = 0x0040,
    DISP_SCAPS_SYSTEMMEMORY = 0x0800,
};

enum : uint32_t {
    DISP_PF_RGB = 0x40,
    DISP_LOCK_WAIT = 1,
    DISP_FLIP_WAIT = 1,
    DISP_WAITVB_BLOCKBEGIN = 1,
};

// A surface's pixel layout (32 bytes, as DDPIXELFORMAT).
struct DisplayPixelFormat {
    uint32_t dwSize;
    uint32_t dwFlags;
    uint32_t dwFourCC;
    uint32_t dwRGBBitCount;
    uint32_t dwRBitMask;
    uint32_t dwGBitMask;
    uint32_t dwBBitMask;
    uint32_t dwRGBAlphaBitMask;
};

// What a surface is asked to be, and what a lock returns.
struct DisplaySurfaceDesc {
    uint32_t dwSize;
    uint32_t dwFlags;
    uint32_t dwHeight;
    uint32_t dwWidth;
    int32_t lPitch; // bytes from one row to the next; may exceed the row's bytes
    uint32_t dwBackBufferCount;
    void* lpSurface; // the locked memory, between Lock and Unlock
    DisplayPixelFormat ddpfPixelFormat;
    uint32_t dwCaps;
};

// A drawing context of a window or a surface (HDC on Windows); 0 is none.
using DrawContext = uintptr_t;

struct ClientRect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

class DisplaySurface {
public:
    // DISP_ERR_SURFACELOST when the surface's memory was taken by another program or a mode change.
    virtual DisplayResult IsLost() = 0;
    virtual DisplayResult Restore() = 0;
    // The whole surface, writable at pDesc->lpSurface with pDesc->lPitch, until Unlock.
    virtual DisplayResult Lock(DisplaySurfaceDesc* pDesc, uint32_t dwFlags) = 0;
    virtual DisplayResult Unlock() = 0;
    // Primary of a flip chain: shows the back buffer and exchanges the two; with DISP_FLIP_WAIT it returns
    // once the flip is under way, which paces the render loop at the display's rate.
    virtual DisplayResult Flip(uint32_t dwFlags) = 0;
    // Primary of a flip chain: its back buffer (not a separate reference: released with the primary).
    virtual DisplayResult GetAttachedSurface(uint32_t dwCaps, DisplaySurface** ppSurface) = 0;
    virtual DisplayResult GetPixelFormat(DisplayPixelFormat* pFormat) = 0;
    // A drawing context on the surface's pixels, for PlatformStretchBlt; ReleaseDC gives it back.
    virtual DisplayResult GetDC(DrawContext* phDC) = 0;
    virtual DisplayResult ReleaseDC(DrawContext hDC) = 0;
    // Gives the surface back (a flip chain's primary gives back its back buffer too).
    virtual void Release() = 0;

protected:
    ~DisplaySurface() = default;
};

class DisplayDevice {
public:
    virtual DisplayResult SetCooperativeLevel(WindowHandle hWnd, uint32_t dwFlags) = 0;
    virtual DisplayResult SetDisplayMode(uint32_t dwWidth, uint32_t dwHeight, uint32_t dwBpp) = 0;
    virtual DisplayResult RestoreDisplayMode() = 0;
    virtual DisplayResult CreateSurface(DisplaySurfaceDesc* pDesc, DisplaySurface** ppSurface) = 0;
    // Returns at the start of the next vertical blank (emulated at the display's rate where the driver
    // gives no wait).
    virtual DisplayResult WaitForVerticalBlank(uint32_t dwFlags) = 0;
    // Gives the device back; its surfaces must have been released first.
    virtual void Release() = 0;

protected:
    ~DisplayDevice() = default;
};

// Main thread: the device of the default display.
DisplayResult PlatformDirectDrawCreate(DisplayDevice** ppDevice);
// The window's client area; false when hWnd is no window.
bool PlatformGetClientRect(WindowHandle hWnd, ClientRect* pRect);
// A drawing context on the window's client area; 0 when there is none. Render thread.
DrawContext PlatformGetDC(WindowHandle hWnd);
void PlatformReleaseDC(WindowHandle hWnd, DrawContext hDC);
// Copies the source rectangle of hSrc stretched onto the destination rectangle of hDest (SRCCOPY, the
// context's default stretch mode). On Linux this is the windowed present: it returns once shown.
bool PlatformStretchBlt(DrawContext hDest, int32_t nDestX, int32_t nDestY, int32_t nDestWidth,
                        int32_t nDestHeight, DrawContext hSrc, int32_t nSrcX, int32_t nSrcY,
                        int32_t nSrcWidth, int32_t nSrcHeight);
